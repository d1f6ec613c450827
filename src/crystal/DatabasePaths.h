// Where the run's databases are: the action handler fills this once from the
// command line (or the program's directory) and passes it down as a value.
#pragma once

#include <string>

namespace quorvel {

struct CDatabasePaths {
  std::string NONRELPath;  // electron configurations, by element
  std::string ASFDCPath;   // atomic weights
  std::string SPGDBPath;   // space groups and their operations
};

}  // namespace quorvel
