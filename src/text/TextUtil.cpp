#include "text/OutputFile.h"
#include "text/TextUtil.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "text/NumberScan.h"
#include "system/Platform.h"

namespace quorvel {

char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string ToLowerAscii(std::string text) {
  for (char& c : text) c = ToLowerAscii(c);
  return text;
}

bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (ToLowerAscii(*text) != ToLowerAscii(*prefix)) return false;
  return true;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
  return true;
}

int Trim(char* text) {
  if (!text || !*text) return -2;
  size_t n = std::strlen(text);
  while (n > 0 && IsWhite(text[n - 1])) --n;
  if (n > 0) text[n] = '\0';
  size_t lead = 0;
  while (IsWhite(text[lead])) ++lead;
  if (lead == 0) return -2;
  std::memmove(text, text + lead, std::strlen(text + lead) + 1);
  return 0;
}

void Trim(std::string& text) {
  size_t begin = 0, end = text.size();
  while (end > 0 && IsWhite(text[end - 1])) --end;
  while (begin < end && IsWhite(text[begin])) ++begin;
  text = text.substr(begin, end - begin);
}

static bool IsQuotePair(char first, char last) {
  return (first == '"' && last == '"') || (first == '\'' && last == '\'');
}

int StripQuotes(char* text) {
  Trim(text);
  if (!text) return -1;
  size_t n = std::strlen(text);
  if (n == 0 || !IsQuotePair(text[0], text[n - 1])) return -1;
  // A text of one quote character becomes empty.
  text[n - 1] = '\0';
  if (n > 1) std::memmove(text, text + 1, n - 1);
  return 0;
}

int StripQuotes(std::string& text) {
  Trim(text);
  if (text.empty() || !IsQuotePair(text.front(), text.back())) return -1;
  text = text.size() == 1 ? std::string() : text.substr(1, text.size() - 2);
  return 0;
}

const char* SkipBlanks(const char* text) {
  while (IsWhite(*text)) ++text;
  return text;
}
char* SkipBlanks(char* text) {
  while (IsWhite(*text)) ++text;
  return text;
}

bool NearModuloOne(double a, double b, double tolerance) {
  const double d = a - b;
  return std::fabs(d - std::round(d)) < tolerance;
}

double FoldToUnitCell(double x) {
  if (x >= 0 && x < 1) return x;
  // The whole part toward zero; equal to the 32-bit truncation wherever that
  // is defined, and still finite (no endless loop) for huge values.
  x -= std::trunc(x);
  while (x < 0) x += 1;
  while (x >= 0.9999999999) x -= 1;
  return x;
}

static bool EndsWithSeparator(const std::string& directory, bool checkLeadByte) {
  size_t n = directory.size();
  if (n == 0 || !IsPathSeparator(directory[n - 1])) return false;
  if (checkLeadByte && n >= 2 && IsDBCSLeadByte(static_cast<unsigned char>(directory[n - 2]))) return false;
  return true;
}

void JoinPath(std::string& out, const std::string& directory, const std::string& fileName) {
  if (directory.empty()) {
    out = fileName;
  } else if (EndsWithSeparator(directory, true)) {
    out = directory + fileName;
  } else {
    out = directory + kPathSeparator + fileName;
  }
}

std::string JoinPathString(const std::string& directory, const std::string& fileName) {
  if (directory.empty()) return fileName;
  if (EndsWithSeparator(directory, false)) return directory + fileName;
  return directory + kPathSeparator + fileName;
}

std::string& ReplaceExtension(std::string& path, const std::string& newExtension) {
  // Drive (two characters when the second is a colon), directory (up to and
  // including the last separator), base name, extension (from the last dot of
  // the file name). Each part is cut to 255 characters, as the run-time
  // library's splitter does.
  size_t driveLength = (path.size() >= 2 && path[1] == ':') ? 2 : 0;
  size_t sep = FindLastSeparator(path);
  size_t nameStart = (sep == std::string::npos || sep < driveLength) ? driveLength : sep + 1;
  std::string drive = path.substr(0, driveLength);
  std::string directory = path.substr(driveLength, nameStart - driveLength).substr(0, 255);
  std::string name = path.substr(nameStart);
  size_t dot = name.rfind('.');
  std::string base = (dot == std::string::npos ? name : name.substr(0, dot)).substr(0, 255);
  const char* ext = newExtension.c_str();
  if (*ext == '.') ++ext;
  std::string joined;
  JoinPath(joined, drive + directory, base + "." + ext);
  path = joined;
  return path;
}

std::string CutAtLastDot(const std::string& text) {
  size_t dot = text.rfind('.');
  return dot == std::string::npos ? text : text.substr(0, dot);
}

std::string StripExtension(const std::string& path) {
  size_t sep = FindLastSeparator(path);
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return path;
  return path.substr(0, dot);
}

int FileExists(const std::string& path) {
  std::FILE* f = OpenFile(path, "r");
  if (!f) return 0;
  std::fclose(f);
  return 1;
}

bool CopyFileContents(const std::string& source, const std::string& destination) {
  if (EqualNoCase(source, destination)) return true;
  FilePtr in = OpenFilePtr(source, "rb");
  if (!in) return false;
  // The first block is read before the destination is touched, so that a
  // source that cannot be read at all (a directory) leaves an earlier copy
  // as it was.
  char buffer[1 << 15];
  size_t n = std::fread(buffer, 1, sizeof buffer, in.get());
  if (std::ferror(in.get())) return false;
  COutputFile out;
  if (!out.Open(destination, "wb")) return false;
  while (n > 0) {
    if (std::fwrite(buffer, 1, n, out.get()) != n) return false;
    n = std::fread(buffer, 1, sizeof buffer, in.get());
  }
  // The copy is whole only when the source was read to its end and every
  // byte reached the disk: a full disk may show only when the last buffer is
  // flushed or the file is closed. (A backup taken for whole would otherwise
  // replace the file it saved.) The source is not noted as an input of the
  // run: it is saved, not read (DVXa rewrites it from the copy).
  if (std::ferror(in.get())) return false;
  return out.Commit();
}

// The number strtod reads (0 when there is none), by the one number scanner.
double AtoF(const char* text) {
  double value = 0.0;
  if (text && !ScanDouble(text, value)) value = 0.0;
  return value;
}

int AtoI(const char* text) {
  if (!text) return 0;
  errno = 0;
  long long v = std::strtoll(text, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

std::string Field(const char* line, size_t start, size_t width) {
  size_t n = std::strlen(line);
  if (start >= n) return std::string();
  return std::string(line + start, std::min(width, n - start));
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string result;
  if (n > 0) {
    std::vector<char> buffer(static_cast<size_t>(n) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    result.assign(buffer.data(), static_cast<size_t>(n));
  }
  va_end(args);
  return result;
}

FilePtr OpenFilePtr(const std::string& path, const char* mode) { return FilePtr(OpenFile(path, mode)); }

}  // namespace quorvel
