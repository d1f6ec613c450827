#include "app/Platform.h"

#include <cstring>
#include <vector>

#include "app/LineReader.h"
#include "app/TextUtil.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace quorvel {

size_t FindLastSeparator(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsPathSeparator(path[i - 1])) return i - 1;
  return std::string::npos;
}

bool IsDBCSLeadByte(unsigned char c) {
#ifdef _WIN32
  return ::IsDBCSLeadByte(c) != 0;
#else
  (void)c;
  return false;
#endif
}

static std::string ExecutablePath() {
#ifdef _WIN32
  std::vector<char> buffer(32768);
  DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::string(buffer.data(), n);
#else
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
#endif
}

std::string ProgramDirectory(const char* argv0) {
  std::string path = argv0 ? argv0 : "";
  if (FindLastSeparator(path) == std::string::npos) path = ExecutablePath();
  size_t sep = FindLastSeparator(path);
  if (sep == std::string::npos) return std::string();
  // A program in the root directory keeps the root as its directory, which an
  // empty text (the current directory) would not name.
  if (sep == 0) return path.substr(0, 1);
  return path.substr(0, sep);
}

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

std::tm LocalTimeNow() {
  std::time_t now = std::time(nullptr);
  std::tm result{};
  if (const std::tm* t = std::localtime(&now)) result = *t;
  return result;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

void BufferStandardOutput() {
#ifdef _WIN32
  if (_isatty(_fileno(stdout))) return;
#else
  if (isatty(fileno(stdout))) return;
#endif
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

}  // namespace quorvel
