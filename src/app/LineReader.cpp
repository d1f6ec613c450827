#include "app/LineReader.h"

#include <cstring>

#include "app/Platform.h"

namespace quorvel {

namespace {
constexpr size_t kChunk = 1 << 16;
constexpr size_t kMaxPiece = LineReader::kLineBufferSize - 1;  // characters per fgets call
}  // namespace

LineReader::~LineReader() { Close(); }

bool LineReader::Open(const std::string& path, Mode mode) {
  Close();
  file_ = OpenFile(path, mode == kText ? "r" : "rb");
  if (!file_) return false;
  mode_ = mode;
  // One byte beyond the data for the terminator of the last piece.
  buffer_.resize(kChunk + kWindow + 1);
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
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  while (!eof_ && end_ - begin_ < kWindow) {
    size_t n = std::fread(buffer_.data() + end_, 1, buffer_.size() - 1 - end_, file_);
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
  char* raw = buffer_.data() + begin_;
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
