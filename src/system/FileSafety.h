// What keeps a run from losing a file: the inputs it has read, which no
// output may replace, and the temporaries that outputs are written to before
// they take the place of the earlier file in one rename.
#pragma once

#include <cstdio>
#include <string>

namespace quorvel {

// Notes a file the run has opened for reading as one of its inputs, by its
// device and inode, so that every spelling of its path (./a, dir/../a, a
// link) is recognised.
void NoteInputFile(std::FILE* file);
void NoteInputPath(const std::string& path);
// True when path names a file noted as an input.
bool IsInputOfRun(const std::string& path);
// Forgets the inputs noted: a run starts with none. The program runs one
// action per process, but the fuzz targets and the tests run many in one,
// and a file of an earlier run, deleted since, may leave its inode number
// to a file of the next.
void ForgetInputFiles();

// The file an output to path replaces: where path is a symbolic link, the
// file it leads to (written through the link, as opening it would), else
// path itself.
std::string ReplacedFile(const std::string& path);
// What stands at the path an output goes to.
enum class EDestination {
  kFile,        // nothing, or a file: replaced by a temporary in one rename
  kUnwritable,  // a directory, or a file this user may not write
  kDevice,      // a device or a pipe (/dev/null, /dev/stdout): written directly
};
EDestination ClassifyDestination(const std::string& path);

// A temporary file beside the file it will replace.
struct CTemporary {
  std::FILE* file = nullptr;
  std::string path;
  int slot = -1;  // its place among the names removed when the run is stopped
};
// Creates a new temporary ".<name>.<pid>.tmp" in the folder of destination,
// opened with mode ("w", "wb"); with the permissions of an existing
// destination, else those a new file gets. False when it cannot be created.
bool CreateTemporary(const std::string& destination, const char* mode, CTemporary& temporary);
// Renames the closed temporary over destination; false when that fails (the
// temporary is then removed).
bool MoveTemporaryOver(CTemporary& temporary, const std::string& destination);
// Closes the temporary if it is open and removes it.
void RemoveTemporary(CTemporary& temporary);

}  // namespace quorvel
