// The one line reader of the program: every text file is read through it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace quorvel {

// Reads a file line by line exactly as fgets into a 4096-byte buffer does:
// a line of at most 4095 characters arrives whole with its '\n'; a longer one
// arrives in pieces of 4095 characters. In text mode a carriage return directly
// before a line feed is dropped first, so files written on Windows (CRLF) read
// exactly like LF files; in binary mode every byte arrives as it is.
class LineReader {
 public:
  enum Mode { kText, kBinary };
  static constexpr size_t kLineBufferSize = 4096;

  LineReader() = default;
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Opens the file for reading; false when it cannot be opened. The file is
  // noted as an input of the run (FileSafety.h), which no output replaces,
  // unless it is an earlier output that the run reads to add to it.
  enum Use { kInput, kEarlierOutput };
  bool Open(const std::string& path, Mode mode = kText, Use use = kInput);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  // Reads the next piece as fgets would; false at end of file (nothing read).
  bool ReadLine();
  // The piece read last, terminated; it may be modified in place (up to its
  // terminator), as readers trim and cut their line buffers. It stays valid
  // until the next read, rewind or close.
  char* Line() { return line_; }
  size_t Length() const { return length_; }

  // Reads pieces until one contains any of the n needles (as strstr finds
  // them in the piece), which is then the current piece; false at end of
  // file. The same as calling ReadLine and testing each piece, but the
  // pieces in between are passed over in the buffer without being handed
  // out one by one. Needles must not contain line ends.
  bool ReadLineContaining(const char* const* needles, int n);
  bool ReadLineContaining(const char* needle) { return ReadLineContaining(&needle, 1); }

  // Reads one whole line of any length, without its line end ('\n', and in
  // text mode a preceding '\r'). For files where a line is one record however
  // long it is (the INI file).
  bool ReadWholeLine(std::string& line);

  // Back to the start of the file.
  void Rewind();
  // Bytes of the file consumed so far.
  long long Position() const { return consumed_; }

 private:
  bool Fill();  // ensures at least kWindow bytes are buffered unless at end

  void RestoreBorrowedByte();
  bool PieceContains(const char* const* needles, int n) const;

  static constexpr size_t kWindow = kLineBufferSize + 1;  // 4095 chars, CR, LF
  std::FILE* file_ = nullptr;
  Mode mode_ = kText;
  // The file's bytes, read in large chunks. A line is delivered where it
  // lies in this buffer, without copying: its terminator takes the place of
  // the byte after it, which is put back before the next read.
  static constexpr size_t kBufferSize = (1 << 16) + kWindow + 1;  // 64 KB read at a time
  std::unique_ptr<char[]> buffer_;
  size_t begin_ = 0, end_ = 0;
  bool eof_ = false;
  long long consumed_ = 0;
  char empty_[1] = {0};
  char* line_ = empty_;
  size_t length_ = 0;
  char* borrowed_ = nullptr;  // the byte the terminator replaced, if any
  char borrowedValue_ = 0;
};

}  // namespace quorvel
