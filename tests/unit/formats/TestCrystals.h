// Small crystals built in code for the writer and analysis tests, and the
// option and working-directory set-up that the analyses read.
#pragma once

#include <unistd.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "app/Options.h"
#include "crystal/Crystal.h"
#include "tests/unit/RunOptions.h"

namespace quorvel {

// A cell with its vectors and metric tensor; P1, no types, no sites.
inline void SetCell(CCrystal& crystal, double a, double b, double c, double alpha, double beta, double gamma) {
  crystal.SetLatticeParameters(a, b, c, alpha, beta, gamma);
  crystal.CalculateLatticeVectors();
}

// A type with the given fields, without any database lookup; its index.
inline int AddTestType(CCrystal& crystal, const std::string& name, double charge = 0, double atomicNumber = 0) {
  CAtomType type;
  type.Name = name;
  type.Charge = charge;
  type.AtomicNumber = atomicNumber;
  crystal.AddAtomTypeRecord(type);
  return crystal.nAtomTypes - 1;
}

// A site of the unit cell only (a neighbour, never a centre).
inline void AddCellSite(CCrystal& crystal, const std::string& label, int iType, double occupancy, double x, double y,
                        double z) {
  crystal.AddAtomSite(label, iType, -1, occupancy, x, y, z, 0, 0, 0);
}

// A site of the asymmetric unit and the same site in the unit cell.
inline void AddBothSites(CCrystal& crystal, const std::string& label, int iType, double occupancy, double x, double y,
                         double z) {
  CAtomSite site;
  site.Label = label;
  site.iAtomType = iType;
  site.iAsymSite = crystal.nAtomAsymSites;
  site.Occupancy = occupancy;
  site.x = x;
  site.y = y;
  site.z = z;
  crystal.AddAtomAsymSiteRecord(site);
  crystal.AddAtomSite(label, iType, site.iAsymSite, occupancy, x, y, z, 0, 0, 0);
}

// Runs the rest of a scope in another working directory (the analyses write
// their tables there).
class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const std::string& dir) {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer)) previous_ = buffer;
    if (chdir(dir.c_str()) != 0) previous_.clear();
  }
  ~ScopedWorkingDirectory() {
    if (!previous_.empty() && chdir(previous_.c_str()) != 0) {
    }
  }

 private:
  std::string previous_;
};

// The lines of a text.
inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// True when text has the shape given: in the shape, '9' stands for a digit,
// '#' for a blank or a digit, '?' for any character, every other character
// for itself.
inline bool HasShape(const std::string& text, const std::string& shape) {
  if (text.size() != shape.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    bool digit = text[i] >= '0' && text[i] <= '9';
    if (shape[i] == '?') continue;
    if (shape[i] == '9' ? !digit : shape[i] == '#' ? !(digit || text[i] == ' ') : text[i] != shape[i]) return false;
  }
  return true;
}

}  // namespace quorvel
