// GULP input files (keywords title, name, cell, fractional, space) to CIF.
#pragma once

#include <string>

#include "crystal/DatabasePaths.h"

namespace quorvel {
class CCrystal;

class CGULP {
 public:
  // Reads the structure of a GULP input file into crystal: the asymmetric
  // unit with its space group, without expanding it. 1 after reading, -1
  // when the file cannot be opened.
  static int ReadCrystalStructure(const std::string& path, CCrystal& crystal);

  // Finds a space group by its symbol in the space-group database: the first
  // record whose name equals key once white space is removed from both,
  // ignoring letter case. 1 with number and secondKey set when found, 0 when
  // not found, -1 (with its message) when the database cannot be read.
  static int FindSpaceGroupByName(const std::string& key, const std::string& databasePath, int& number,
                                  int& secondKey);
};

// The action GULPMakeCIFFromInput: the structure of a GULP input file to a CIF
// file of the same name with the extension "cif". Returns 1.
int GULPMakeCIFFromInput(const std::string& path, const CDatabasePaths& databases);

}  // namespace quorvel
