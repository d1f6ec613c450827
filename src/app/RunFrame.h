// The run: banner, options, database paths, dispatch, finish.
#pragma once

#include <string>

namespace quorvel {

// The four database paths of the run, set before the action starts.
extern std::string NONRELPath;
extern std::string ASFDCPath;
extern std::string AtomDBPath;
extern std::string SPGDBPath;

// Runs the program; returns the process exit code (-1 for an invalid or empty
// command line, otherwise 0).
int RunQuorvel(int argc, const char* const* argv);

}  // namespace quorvel
