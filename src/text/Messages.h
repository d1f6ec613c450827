// The messages that many readers and writers print, worded in one place.
// context is empty or names the caller ("Error in CalRDF: ").
#pragma once

#include <string>

namespace quorvel {

// "<context>Can not read [<path>].\n"
void ReportCanNotRead(const std::string& path, const char* context = "");
// "<context>Can not write to [<path>].\n"
void ReportCanNotWrite(const std::string& path, const char* context = "");
// "Warning: [<path>] holds a structure of 0 atoms.\n": said once for each
// file written of a structure without atoms.
void WarnNoAtoms(const std::string& path);

}  // namespace quorvel
