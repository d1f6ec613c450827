// The run: banner, options, database paths, dispatch, finish.
#pragma once

#include <string>

namespace quorvel {

// The exit statuses of a run, as a shell sees them.
constexpr int kExitDone = 0;         // the action did its job (also --help, --version)
constexpr int kExitFailed = 1;       // it could not: input unreadable or empty, nothing written, no such action
constexpr int kExitInvalidLine = 255;  // an invalid or empty command line

// Runs the program; returns the process exit status.
int RunQuorvel(int argc, const char* const* argv);

}  // namespace quorvel
