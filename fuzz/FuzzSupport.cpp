#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quorvel_fuzz {

const std::string& ScratchDirectory() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/quorvel-fuzz-XXXXXX";
    const char* made = mkdtemp(tmpl);
    std::string d = made ? made : "/tmp";
    if (chdir(d.c_str()) != 0) std::abort();
    return d;
  }();
  return dir;
}

std::string WriteScratchFile(const uint8_t* data, size_t size, const char* name) {
  std::string path = ScratchDirectory() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}

void SilenceStdout() {
  static bool done = false;
  if (!done && !std::getenv("QUORVEL_FUZZ_VERBOSE")) {
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  }
  done = true;
}

}  // namespace quorvel_fuzz
