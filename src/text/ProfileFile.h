// Settings files of the INI kind: the per-element atom database is one.
#pragma once

#include <string>

namespace quorvel {

// Private-profile (INI) lookup: section and key compared ignoring ASCII case,
// blanks around names and values trimmed, one pair of matching quotes removed,
// lines starting with ';' ignored. The default is returned when the file name
// is empty or the file, section or key is missing.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName);

}  // namespace quorvel
