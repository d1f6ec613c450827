#include "system/Platform.h"

#include <cstring>
#include <vector>

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
