// The fifteen actions, in the order in which their names are matched.
#pragma once

#include <string>

#include "crystal/DatabasePaths.h"

namespace quorvel {

// What every action is given: the first plain argument, the second (the
// empty text when absent; two actions write to a named output) and the run's
// database paths. The handler reads its own options from the option table.
struct CActionArguments {
  std::string Input;
  std::string Output;
  CDatabasePaths Databases;
};

// A handler returns 1 when the action did its job, anything else when it
// could not (its input unreadable or empty, nothing written).
using ActionHandler = int (*)(const CActionArguments& arguments);

struct ActionEntry {
  const char* name;
  const char* announcement;  // printf format; "%d" only for UpdateFILE05 (sn)
  bool bAnnounceSerialNumber;
  ActionHandler handler;      // null: not available in this build
};

extern const ActionEntry kActions[];
extern const int kActionCount;

}  // namespace quorvel
