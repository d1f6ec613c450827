#include "system/FileSafety.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <climits>
#include <cstdlib>
#include <unistd.h>
#endif

#include "system/Platform.h"

namespace quorvel {

namespace {

// ---- The inputs of the run ----

struct CFileId {
  unsigned long long device = 0, inode = 0;
  bool operator==(const CFileId& o) const { return device == o.device && inode == o.inode; }
};

std::mutex gInputsLock;
std::vector<CFileId> gInputs;

#ifdef _WIN32
// Windows gives no inode through stat; the file index of the open file
// serves instead.
bool IdOfHandle(HANDLE h, CFileId& id) {
  BY_HANDLE_FILE_INFORMATION info;
  if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &info)) return false;
  id.device = info.dwVolumeSerialNumber;
  id.inode = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}
bool IdOfFile(std::FILE* file, CFileId& id) {
  return IdOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), id);
}
bool IdOfPath(const std::string& path, CFileId& id) {
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  bool ok = IdOfHandle(h, id);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return ok;
}
#else
bool IdOfStat(const struct stat& st, CFileId& id) {
  id.device = static_cast<unsigned long long>(st.st_dev);
  id.inode = static_cast<unsigned long long>(st.st_ino);
  return true;
}
bool IdOfFile(std::FILE* file, CFileId& id) {
  struct stat st;
  return fstat(fileno(file), &st) == 0 && IdOfStat(st, id);
}
bool IdOfPath(const std::string& path, CFileId& id) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && IdOfStat(st, id);
}
#endif

void NoteInput(const CFileId& id) {
  std::lock_guard<std::mutex> lock(gInputsLock);
  for (const CFileId& known : gInputs)
    if (known == id) return;
  gInputs.push_back(id);
}

// ---- Temporaries removed when the run is stopped ----
//
// A run stopped by SIGTERM, SIGINT or SIGHUP removes the temporaries it has
// open before it dies, in a signal handler: it may only unlink names it finds
// ready, so the names are kept in fixed slots, filled before they are marked
// held. A run killed with SIGKILL runs nothing: the earlier outputs are whole
// all the same (they are only ever replaced by a rename), but the temporary
// of an output being written stays behind as a hidden ".<name>.<pid>.tmp".
// The same holds for a temporary whose name does not fit a slot, or that
// finds every slot taken (a run has two or three outputs open at most).

constexpr int kSlots = 16;
constexpr size_t kNameRoom = 4096;
char gNames[kSlots][kNameRoom];
// Set once the name is complete (release), read before it (acquire): the
// handler may run on the trajectory's writing thread too.
std::atomic<int> gHeld[kSlots];
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the signal handler reads the slots without a lock");
bool gTaken[kSlots];  // under gSlotsLock; gHeld is what the handler reads
std::mutex gSlotsLock;
bool gHandlersInstalled = false;

#ifndef _WIN32
const int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void RemoveTemporariesAndStop(int signal) {
  const int savedErrno = errno;
  for (int i = 0; i < kSlots; ++i)
    if (gHeld[i].load(std::memory_order_acquire)) unlink(gNames[i]);
  errno = savedErrno;
  // The handler was reset to the default action on entry: the signal, raised
  // again, ends the run as it would have without the handler.
  raise(signal);
}

void InstallHandlers() {
  for (int signal : kStopSignals) {
    struct sigaction current;
    if (sigaction(signal, nullptr, &current) != 0) continue;
    // A signal the run was told to ignore (nohup) stays ignored.
    if (current.sa_handler == SIG_IGN) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = RemoveTemporariesAndStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(signal, &action, nullptr);
  }
}
#else
void InstallHandlers() {}
#endif

int HoldName(const std::string& path) {
  std::lock_guard<std::mutex> lock(gSlotsLock);
  if (!gHandlersInstalled) {
    InstallHandlers();
    gHandlersInstalled = true;
  }
  if (path.size() >= kNameRoom) return -1;
  for (int i = 0; i < kSlots; ++i) {
    if (gTaken[i]) continue;
    gTaken[i] = true;
    std::memcpy(gNames[i], path.c_str(), path.size() + 1);
    gHeld[i].store(1, std::memory_order_release);
    return i;
  }
  return -1;
}

void ReleaseName(int slot) {
  if (slot < 0) return;
  std::lock_guard<std::mutex> lock(gSlotsLock);
  gHeld[slot].store(0, std::memory_order_release);
  gTaken[slot] = false;
}

#ifdef _WIN32
int ProcessId() { return _getpid(); }
#else
int ProcessId() { return static_cast<int>(getpid()); }
#endif

// ".<name>.<pid>.tmp" (with "-<n>" after the pid from the second try on) in
// the folder of destination. A long name is cut, so that the temporary's
// name stays within the 255 bytes a file name may have.
std::string TemporaryName(const std::string& destination, int attempt) {
  const size_t sep = FindLastSeparator(destination);
  const std::string folder = sep == std::string::npos ? std::string() : destination.substr(0, sep + 1);
  std::string name = sep == std::string::npos ? destination : destination.substr(sep + 1);
  if (name.size() > 200) name.resize(200);
  std::string path = folder + "." + name + "." + std::to_string(ProcessId());
  if (attempt > 0) path += "-" + std::to_string(attempt);
  return path + ".tmp";
}

}  // namespace

void NoteInputFile(std::FILE* file) {
  CFileId id;
  if (file && IdOfFile(file, id)) NoteInput(id);
}

void NoteInputPath(const std::string& path) {
  CFileId id;
  if (IdOfPath(path, id)) NoteInput(id);
}

void ForgetInputFiles() {
  std::lock_guard<std::mutex> lock(gInputsLock);
  gInputs.clear();
}

bool IsInputOfRun(const std::string& path) {
  CFileId id;
  if (!IdOfPath(path, id)) return false;
  std::lock_guard<std::mutex> lock(gInputsLock);
  for (const CFileId& known : gInputs)
    if (known == id) return true;
  return false;
}

#ifdef _WIN32
std::string ReplacedFile(const std::string& path) { return path; }

EDestination ClassifyDestination(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return EDestination::kFile;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return EDestination::kUnwritable;
  return EDestination::kFile;
}
#else
std::string ReplacedFile(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  // A link that leads nowhere is replaced itself.
  char resolved[PATH_MAX];
  if (!realpath(path.c_str(), resolved)) return path;
  return resolved;
}

EDestination ClassifyDestination(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return EDestination::kFile;
  if (S_ISDIR(st.st_mode)) return EDestination::kUnwritable;
  if (!S_ISREG(st.st_mode)) return EDestination::kDevice;
  // Opening the file for writing would fail: so does replacing it.
  if (access(path.c_str(), W_OK) != 0) return EDestination::kUnwritable;
  return EDestination::kFile;
}
#endif

bool CreateTemporary(const std::string& destination, const char* mode, CTemporary& temporary) {
  RemoveTemporary(temporary);
#ifdef _WIN32
  const int permissions = _S_IREAD | _S_IWRITE;
  const int flags = _O_WRONLY | _O_CREAT | _O_EXCL | (std::strchr(mode, 'b') ? _O_BINARY : _O_TEXT);
#else
  // A new file's permissions (0666 less the umask), or the earlier file's.
  struct stat st;
  const bool bEarlier = stat(destination.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
  const int permissions = 0666;
#endif
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = TemporaryName(destination, attempt);
    // The name is held before the file exists, so that there is no moment
    // at which a stopped run would leave it behind.
    int slot = HoldName(path);
#ifdef _WIN32
    int fd = _open(path.c_str(), flags, permissions);
#else
    int fd = open(path.c_str(), flags, permissions);
#endif
    if (fd < 0) {
      const int error = errno;
      ReleaseName(slot);
      if (error == EEXIST) continue;  // left by an earlier run of the same process id
      return false;
    }
#ifdef _WIN32
    std::FILE* file = _fdopen(fd, mode);
#else
    if (bEarlier) fchmod(fd, st.st_mode & 07777);
    std::FILE* file = fdopen(fd, mode);
#endif
    temporary.path = path;
    temporary.slot = slot;
    if (!file) {
#ifdef _WIN32
      _close(fd);
#else
      close(fd);
#endif
      RemoveTemporary(temporary);
      return false;
    }
    temporary.file = file;
    return true;
  }
  return false;
}

bool MoveTemporaryOver(CTemporary& temporary, const std::string& destination) {
  if (temporary.file) {
    std::fclose(temporary.file);
    temporary.file = nullptr;
  }
#ifdef _WIN32
  const bool bMoved = MoveFileExA(temporary.path.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  const bool bMoved = std::rename(temporary.path.c_str(), destination.c_str()) == 0;
#endif
  if (!bMoved) {
    RemoveTemporary(temporary);
    return false;
  }
  // Released only now: a run stopped just before this finds the name gone.
  ReleaseName(temporary.slot);
  temporary = CTemporary();
  return true;
}

void RemoveTemporary(CTemporary& temporary) {
  if (temporary.file) std::fclose(temporary.file);
  if (!temporary.path.empty()) std::remove(temporary.path.c_str());
  ReleaseName(temporary.slot);
  temporary = CTemporary();
}

}  // namespace quorvel
