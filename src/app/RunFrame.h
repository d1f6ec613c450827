// The run: banner, options, database paths, dispatch, finish.
#pragma once

#include <string>

namespace quorvel {

// Runs the program; returns the process exit code (-1 for an invalid or empty
// command line, otherwise 0).
int RunQuorvel(int argc, const char* const* argv);

}  // namespace quorvel
