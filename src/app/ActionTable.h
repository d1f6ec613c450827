// The fifteen actions, in the order in which their names are matched.
#pragma once

#include <string>

namespace quorvel {

// Every handler takes the first plain argument and, for the two actions that
// write a named output, the second (the empty text when absent).
using ActionHandler = int (*)(const std::string& input, const std::string& output);

struct ActionEntry {
  const char* name;
  const char* announcement;  // printf format; "%d" only for UpdateFILE05 (sn)
  bool bAnnounceSerialNumber;
  ActionHandler handler;      // null: not available in this build
};

extern const ActionEntry kActions[];
extern const int kActionCount;

}  // namespace quorvel
