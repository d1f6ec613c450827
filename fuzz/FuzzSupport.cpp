#include "FuzzSupport.h"

#include "app/RunFrame.h"

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

void WriteScratchFiles(const uint8_t* data, size_t size, const std::vector<std::string>& names) {
  static const std::string kSeparator = "----8<----\n";
  std::string all(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    std::string path = ScratchDirectory() + "/" + names[i];
    std::remove(path.c_str());
    if (start > all.size()) continue;
    size_t end = all.find(kSeparator, start);
    std::string part = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? all.size() + 1 : end + kSeparator.size();
    WriteScratchFile(reinterpret_cast<const uint8_t*>(part.data()), part.size(), names[i].c_str());
  }
}

int RunAction(const std::vector<std::string>& arguments) {
  std::vector<const char*> argv{"quorvel"};
  for (const auto& a : arguments) argv.push_back(a.c_str());
  return quorvel::RunQuorvel(static_cast<int>(argv.size()), argv.data());
}

void SilenceStdout() {
  static bool done = false;
  if (!done && !std::getenv("QUORVEL_FUZZ_VERBOSE")) {
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  }
  done = true;
}

}  // namespace quorvel_fuzz
