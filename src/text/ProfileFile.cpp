#include "text/ProfileFile.h"

#include "text/LineReader.h"
#include "text/TextUtil.h"

namespace quorvel {

static std::string TrimBlanks(const std::string& s) {
  size_t begin = 0, end = s.size();
  while (begin < end && IsWhite(s[begin])) ++begin;
  while (end > begin && IsWhite(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName) {
  if (fileName.empty()) return defaultValue;
  LineReader reader;
  if (!reader.Open(fileName, LineReader::kText)) return defaultValue;
  bool inSection = false;
  std::string line;
  while (reader.ReadWholeLine(line)) {
    std::string text = TrimBlanks(line);
    if (text.empty() || text[0] == ';') continue;
    if (text[0] == '[') {
      size_t close = text.find(']');
      inSection = close != std::string::npos && EqualNoCase(TrimBlanks(text.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection) continue;
    size_t eq = text.find('=');
    if (eq == std::string::npos || !EqualNoCase(TrimBlanks(text.substr(0, eq)), key)) continue;
    std::string value = TrimBlanks(text.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return defaultValue;
}

}  // namespace quorvel
