// Every output file of the program is written through COutputFile, so that
// a run that fails or is stopped half-way never leaves a half-written file
// in place of a whole one, and never replaces a file it has read.
#pragma once

#include <cstdio>
#include <string>

#include "system/FileSafety.h"

namespace quorvel {

// An output file written to a temporary beside it and renamed over the
// earlier file when complete (Commit). Destroyed without Commit, it removes
// the temporary: the earlier file stays as it was.
class COutputFile {
 public:
  COutputFile() = default;
  ~COutputFile();
  COutputFile(const COutputFile&) = delete;
  COutputFile& operator=(const COutputFile&) = delete;

  // Opens the output to path with mode "w" or "wb", or with "a" or "ab" to
  // add to the end of what the file holds (which is copied into the
  // temporary first). False when it cannot be opened; the caller reports
  // that in its own words, unless Refused(): path is one of the files this
  // run has read, which is never replaced; that was said already:
  //   "Error: [path] is an input of this run: it is not replaced."
  bool Open(const std::string& path, const char* mode);
  bool Refused() const { return bRefused_; }

  std::FILE* get() const { return file_; }

  // Writes out what is buffered and puts the file in place of the earlier
  // one. When any of it fails, says "<context>Can not write to [path]." and
  // returns false; the earlier file is then left as it was.
  bool Commit(const char* context = "");
  // Closes the file without putting it in place.
  void Discard();

 private:
  std::string path_;    // as the caller named it
  std::string target_;  // the file replaced (where a link leads)
  std::FILE* file_ = nullptr;
  CTemporary temporary_;  // empty when the file is written directly (a device)
  bool bRefused_ = false;
};

}  // namespace quorvel
