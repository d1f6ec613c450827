// The platform layer: everything that differs between Linux and Windows lives
// here, and no other file talks to the operating system directly.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

namespace quorvel {

// The separator this platform inserts when it joins a directory and a name.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Both '/' and '\' separate directories wherever a path is taken apart.
inline bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

// Position of the last separator of a path, or std::string::npos.
size_t FindLastSeparator(const std::string& path);

// Double-byte lead-byte test of the system code page. Text is UTF-8 on Linux,
// where no byte is a lead byte.
bool IsDBCSLeadByte(unsigned char c);

// The directory that holds the running program, without a trailing separator:
// argv[0] up to its last separator, or the directory of the executable image
// when argv[0] holds none (the program was found through PATH).
std::string ProgramDirectory(const char* argv0);

// Local date and time now.
std::tm LocalTimeNow();

// Opens a file as the C library does. Text-mode reading drops the CR of CRLF
// in the line reader (LineReader.h); on Linux the mode is passed through.
std::FILE* OpenFile(const std::string& path, const char* mode);

// Standard output that goes to a file or a pipe is written in 64 KB blocks
// instead of the C library's 4 KB ones (a trajectory conversion prints a
// line per atom and step); a terminal keeps its line buffering. Call before
// anything is printed.
void BufferStandardOutput();

}  // namespace quorvel
