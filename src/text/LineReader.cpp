#include "text/LineReader.h"

#include <cstring>

#include "system/FileSafety.h"
#include "system/Platform.h"

namespace quorvel {

namespace {
constexpr size_t kMaxPiece = LineReader::kLineBufferSize - 1;  // characters per fgets call
}  // namespace

LineReader::~LineReader() { Close(); }

bool LineReader::Open(const std::string& path, Mode mode, Use use) {
  Close();
  file_ = OpenFile(path, mode == kText ? "r" : "rb");
  if (!file_) return false;
  if (use == kInput) NoteInputFile(file_);
  // The reader buffers the file itself: the stream's own buffer would only
  // copy every byte once more.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  mode_ = mode;
  // One byte beyond the data for the terminator of the last piece. The
  // buffer is kept from one file to the next and never needs clearing.
  if (!buffer_) buffer_.reset(new char[kBufferSize]);
  begin_ = end_ = 0;
  eof_ = false;
  consumed_ = 0;
  return true;
}

void LineReader::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  RestoreBorrowedByte();
  line_ = empty_;
  length_ = 0;
}

void LineReader::Rewind() {
  if (!file_) return;
  std::rewind(file_);
  RestoreBorrowedByte();
  begin_ = end_ = 0;
  eof_ = false;
  consumed_ = 0;
}

void LineReader::RestoreBorrowedByte() {
  if (borrowed_) *borrowed_ = borrowedValue_;
  borrowed_ = nullptr;
}

bool LineReader::Fill() {
  if (end_ - begin_ >= kWindow || eof_) return end_ > begin_;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  while (!eof_ && end_ - begin_ < kWindow) {
    size_t n = std::fread(buffer_.get() + end_, 1, kBufferSize - 1 - end_, file_);
    end_ += n;
    if (n == 0) eof_ = true;
  }
  return end_ > begin_;
}

bool LineReader::ReadLine() {
  RestoreBorrowedByte();
  line_ = empty_;
  empty_[0] = '\0';
  length_ = 0;
  if (!file_ || !Fill()) return false;
  char* raw = buffer_.get() + begin_;
  size_t available = end_ - begin_;
  size_t window = available < kWindow ? available : kWindow;
  const char* lf = static_cast<const char*>(std::memchr(raw, '\n', window));
  size_t take = 0;     // raw bytes consumed
  size_t keep = 0;     // characters delivered
  bool dropCR = false; // the CR of a CRLF pair is not delivered
  if (lf) {
    size_t i = static_cast<size_t>(lf - raw);
    dropCR = mode_ == kText && i > 0 && raw[i - 1] == '\r';
    keep = dropCR ? i : i + 1;
    take = i + 1;
  }
  if (!lf || keep > kMaxPiece) {
    // No line end within reach: deliver the first 4095 characters. None of
    // them is the CR of a CRLF pair, because the LF lies further on.
    dropCR = false;
    keep = take = available < kMaxPiece ? available : kMaxPiece;
  }
  if (dropCR) {
    // The LF's own place takes the terminator.
    raw[keep - 1] = '\n';
  } else {
    // The terminator borrows the first byte after the piece.
    borrowed_ = raw + keep;
    borrowedValue_ = raw[keep];
  }
  raw[keep] = '\0';
  line_ = raw;
  length_ = keep;
  begin_ += take;
  consumed_ += static_cast<long long>(take);
  return true;
}

bool LineReader::PieceContains(const char* const* needles, int n) const {
  for (int i = 0; i < n; ++i)
    if (std::strstr(line_, needles[i])) return true;
  return false;
}

namespace {

// The first occurrence of needle (length m > 0) in the n bytes at s, or null.
// Candidates are found by the needle's first letter rather than its first
// byte: output files are full of blanks, stars and digits, so that a needle
// like "** Forces **" would otherwise stop at every line of a force table.
const char* FindBytes(const char* s, size_t n, const char* needle, size_t m) {
  size_t k = 0;
  for (size_t i = 0; i < m; ++i)
    if ((needle[i] >= 'A' && needle[i] <= 'Z') || (needle[i] >= 'a' && needle[i] <= 'z')) {
      k = i;
      break;
    }
  const char* const end = s + n;
  while (static_cast<size_t>(end - s) >= m) {
    const char* p = static_cast<const char*>(std::memchr(s + k, needle[k], static_cast<size_t>(end - s) - m + 1));
    if (!p) return nullptr;
    p -= k;
    if (std::memcmp(p, needle, m) == 0) return p;
    s = p + 1;
  }
  return nullptr;
}

// The last '\n' among the n bytes at s, or null.
const char* FindLastLineEnd(const char* s, size_t n) {
  while (n > 0)
    if (s[--n] == '\n') return s + n;
  return nullptr;
}

}  // namespace

// The buffered bytes are searched for the needles directly. Every byte just
// after a '\n' starts a piece, and an occurrence of a needle never spans a
// line end; so the lines before the line of the first occurrence hold no
// piece with a needle and are dropped unread, and the search goes on with
// ReadLine from the start of that line. A piece found this way is still
// tested as ReadLine hands it out (an occurrence may lie behind a NUL byte
// or across the 4095-character cut of a long line), and when the buffer holds
// no line end at all the pieces are read one by one.
bool LineReader::ReadLineContaining(const char* const* needles, int n) {
  for (int i = 0; i < n; ++i)
    if (needles[i][0] == '\0') return ReadLine();  // every piece holds the empty text
  for (;;) {
    RestoreBorrowedByte();
    line_ = empty_;
    length_ = 0;
    if (!file_ || !Fill()) return false;
    const char* raw = buffer_.get() + begin_;
    const size_t available = end_ - begin_;
    // The needles are looked for in windows of the buffer that double in
    // size, so that the search costs what lies before the first occurrence:
    // a needle that occurs late or not at all is not looked for through the
    // whole buffer each time another one is found a line further on.
    const char* first = nullptr;
    for (size_t from = 0, window = 256; !first && from < available; from += window, window *= 2) {
      for (int i = 0; i < n; ++i) {
        const size_t m = std::strlen(needles[i]);
        size_t limit = first ? static_cast<size_t>(first - raw) + m : from + window + m - 1;
        if (limit > available) limit = available;
        const char* hit = FindBytes(raw + from, limit - from, needles[i], m);
        if (hit && (!first || hit < first)) first = hit;
      }
    }
    // Skip to the start of the line of the first occurrence, or without one
    // past the last complete line buffered.
    const char* lineEnd = FindLastLineEnd(raw, first ? static_cast<size_t>(first - raw) : available);
    if (lineEnd) {
      const size_t skip = static_cast<size_t>(lineEnd - raw) + 1;
      begin_ += skip;
      consumed_ += static_cast<long long>(skip);
      if (!first) continue;
    }
    if (!ReadLine()) return false;
    if (PieceContains(needles, n)) return true;
  }
}

bool LineReader::ReadWholeLine(std::string& line) {
  line.clear();
  bool any = false;
  while (ReadLine()) {
    any = true;
    if (length_ > 0 && line_[length_ - 1] == '\n') {
      line.append(line_, length_ - 1);
      return true;
    }
    line.append(line_, length_);
  }
  return any;
}

}  // namespace quorvel
