// Scratch files for unit tests.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "system/Platform.h"

namespace quorvel {

// A fresh directory, removed with its contents at the end of the test.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/quorvel-test-XXXXXX";
    const char* made = mkdtemp(tmpl);
    path_ = made ? made : "/tmp";
  }
  ~TempDir() {
    std::string cmd = "rm -rf '" + path_ + "'";
    if (std::system(cmd.c_str()) != 0) {
    }
  }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Dir() const { return path_; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace quorvel
