#pragma once

#include <string>

namespace quorvel {

// The action ShowCIFInf: a plain-text report of a CIF structure.
int ShowCIFInf(const std::string& path, const std::string& unused);

}  // namespace quorvel
