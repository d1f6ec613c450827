#include "formats/CARWriter.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "crystal/Crystal.h"
#include "numerics/Constants.h"
#include "system/Platform.h"
#include "text/Messages.h"
#include "text/OutputFile.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// English abbreviations whatever the user's locale is.
const char* Abbreviation(const char* const* names, int count, int index) {
  return index >= 0 && index < count ? names[index] : "???";
}

}  // namespace

int WriteCAR(const std::string& path, const CCrystal& crystal) {
  COutputFile file;
  if (!file.Open(path, "w")) {
    if (!file.Refused()) ReportCanNotWrite(path);
    return -1;
  }
  if (crystal.nAtomSites == 0) WarnNoAtoms(path);
  std::FILE* f = file.get();

  std::tm now = LocalTimeNow();
  std::fprintf(f, "!BIOSYM archive 3\n");
  std::fprintf(f, "PBC=ON\n");
  // The archive's title line: readers take the line after it for the date
  // and the one after that for the cell, so that without it ASE's and Open
  // Babel's readers lose the cell and the first atom. The title is the
  // crystal's name (for a CASTEP run, its file as named on the command
  // line): its last 64 characters, the archive's title width, so that a long
  // directory does not push the file's own name out; control characters go
  // as blanks, since a line end would split the title.
  std::string title = crystal.Name.size() > 64 ? crystal.Name.substr(crystal.Name.size() - 64) : crystal.Name;
  for (char& c : title)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  std::fprintf(f, "%s\n", title.c_str());
  // Hour, minute and second padded with blanks, not zeros.
  std::fprintf(f, "!DATE %3s %3s %2d %2d:%2d:%2d %4d\n", Abbreviation(kWeekdays, 7, now.tm_wday),
               Abbreviation(kMonths, 12, now.tm_mon), now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec,
               now.tm_year + 1900);
  // The cell is written in P1 whatever the crystal's space group: every atom
  // of the unit cell follows.
  std::fprintf(f, "PBC  %8.4f  %8.4f  %8.4f  %8.4f  %8.4f  %8.4f (%s)\n", crystal.a * kAngstromPerNm,
               crystal.b * kAngstromPerNm, crystal.c * kAngstromPerNm, crystal.alpha, crystal.beta, crystal.gamma, "P 1");

  // Running numbers per atom type (Si1, Si2, O1, ...). The table has one
  // counter for each type of the crystal, however many types it holds.
  std::vector<int> counters(crystal.AtomTypes.size(), 0);
  for (int i = 0; i < crystal.nAtomSites && i < static_cast<int>(crystal.AtomSites.size()); ++i) {
    const CAtomSite& site = crystal.AtomSites[i];
    const CAtomType* type = crystal.TypeOf(site);
    // A site without a type is named by its own label and has no element.
    std::string name = site.Label;
    std::string element;
    if (type && site.iAtomType >= 0 && site.iAtomType < static_cast<int>(counters.size())) {
      int& counter = counters[static_cast<size_t>(site.iAtomType)];
      ++counter;
      name = Format("%s%d", type->Name.c_str(), counter);
      element = type->Name;
    }
    double x, y, z;
    crystal.FractionalToCartesian(site.x, site.y, site.z, x, y, z);
    std::fprintf(f, "%-5s %14.9f %14.9f %14.9f %-4s %-7s%-7s %-2s %6.3f\n", name.c_str(), x * kAngstromPerNm,
                 y * kAngstromPerNm, z * kAngstromPerNm, "XXXX", "1", "xx", element.c_str(), 0.0);
  }
  std::fprintf(f, "end\n");
  std::fprintf(f, "end\n");
  std::fprintf(f, "\n");
  return file.Commit() ? 1 : -1;
}

}  // namespace quorvel
