#include "text/Messages.h"

#include <cstdio>

namespace quorvel {

void ReportCanNotRead(const std::string& path, const char* context) {
  std::printf("%sCan not read [%s].\n", context, path.c_str());
}

void ReportCanNotWrite(const std::string& path, const char* context) {
  std::printf("%sCan not write to [%s].\n", context, path.c_str());
}

void WarnNoAtoms(const std::string& path) {
  std::printf("Warning: [%s] holds a structure of 0 atoms.\n", path.c_str());
}

}  // namespace quorvel
