#pragma once

#include <string>

namespace quorvel {
class CCrystal;

// Writes the unit cell as a BIOSYM archive .car file. 1, or -1 when the file
// cannot be created.
int WriteCAR(const std::string& path, const CCrystal& crystal);

}  // namespace quorvel
