#include "text/OutputFile.h"

#include <cerrno>
#include <cstring>

#include "system/Platform.h"
#include "text/Messages.h"

namespace quorvel {

namespace {

// Copies what the file at path holds to out; a file that does not exist
// holds nothing.
bool CopyEarlierContents(const std::string& path, std::FILE* out) {
  std::FILE* in = OpenFile(path, "rb");
  if (!in) return errno == ENOENT;
  char buffer[1 << 15];
  size_t n;
  bool ok = true;
  while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) ok = std::fwrite(buffer, 1, n, out) == n;
  ok = ok && !std::ferror(in);
  std::fclose(in);
  return ok;
}

}  // namespace

COutputFile::~COutputFile() { Discard(); }

bool COutputFile::Open(const std::string& path, const char* mode) {
  Discard();
  bRefused_ = false;
  // Checked first: nothing is created beside a file that is not replaced.
  if (IsInputOfRun(path)) {
    std::printf("Error: [%s] is an input of this run: it is not replaced.\n", path.c_str());
    bRefused_ = true;
    return false;
  }
  const bool bAppend = mode[0] == 'a';
  target_ = ReplacedFile(path);
  const std::string& target = target_;
  switch (ClassifyDestination(target)) {
    case EDestination::kUnwritable:
      return false;
    case EDestination::kDevice:
      // Nothing to keep whole and nothing to rename over.
      file_ = OpenFile(target, mode);
      break;
    case EDestination::kFile: {
      std::string writeMode = bAppend ? "w" : mode;
      if (std::strchr(mode, 'b') && bAppend) writeMode += "b";
      if (!CreateTemporary(target, writeMode.c_str(), temporary_)) return false;
      if (bAppend && !CopyEarlierContents(target, temporary_.file)) {
        RemoveTemporary(temporary_);
        return false;
      }
      file_ = temporary_.file;
      break;
    }
  }
  if (!file_) return false;
  path_ = path;
  return true;
}

bool COutputFile::Commit(const char* context) {
  if (!file_) return false;
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
  if (temporary_.file) {
    // A full disk may show only now, as the last block is written out.
    ok = ok && std::fclose(temporary_.file) == 0;
    temporary_.file = nullptr;
    if (ok)
      ok = MoveTemporaryOver(temporary_, target_);
    else
      RemoveTemporary(temporary_);
  } else {
    ok = std::fclose(file_) == 0 && ok;
  }
  file_ = nullptr;
  if (!ok) ReportCanNotWrite(path_, context);
  return ok;
}

void COutputFile::Discard() {
  if (temporary_.file || !temporary_.path.empty())
    RemoveTemporary(temporary_);
  else if (file_)
    std::fclose(file_);
  file_ = nullptr;
}

}  // namespace quorvel
