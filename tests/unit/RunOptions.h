// The process-wide option table set as a command line would set it (what
// parsing prints is dropped), and the capture of what a call prints.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Options.h"

namespace quorvel {

inline void SetRunOptions(const std::vector<std::string>& args) {
  OptionTable.Reset();
  DeclareOptions(OptionTable);
  std::vector<const char*> argv{"quorvel"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  testing::internal::CaptureStdout();
  OptionTable.ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  testing::internal::GetCapturedStdout();
}

// Runs f with standard output captured; returns what it printed.
template <typename F>
std::string Printed(F f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

}  // namespace quorvel
