#include "programs/other/CASTEP.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "analysis/RDF.h"
#include "app/NumberFormat.h"
#include "app/Options.h"
#include "app/Platform.h"
#include "app/TextUtil.h"
#include "crystal/Crystal.h"
#include "formats/CARWriter.h"
#include "formats/CIFWriter.h"
#include "formats/XSFWriter.h"
#include "programs/other/OutputScan.h"

namespace quorvel {

namespace {

// The cell block: "Unit Cell", later "Lattice parameters(A)", then three
// lines "a = 3.811962  alpha = 60.000000" (b and beta, c and gamma below).
// False when the file ends before the block; lines or numbers missing inside
// it give 0.
bool ReadCellBlock(LineReader& stream, CCrystal& crystal) {
  if (!ReadUntilContaining(stream, "Unit Cell") || !ReadUntilContaining(stream, "Lattice parameters(A)")) return false;
  double length[3] = {0, 0, 0}, angle[3] = {0, 0, 0};
  for (int i = 0; i < 3 && stream.ReadLine(); ++i) {
    const char* first = std::strchr(stream.Line(), '=');
    if (!first) continue;
    length[i] = AtoF(first + 1);
    const char* second = std::strchr(first + 1, '=');
    if (second) angle[i] = AtoF(second + 1);
  }
  crystal.SetLatticeParameters(0.1 * length[0], 0.1 * length[1], 0.1 * length[2], angle[0], angle[1], angle[2]);
  FastPrintf("Lattice parameters: %lg %lg %lg nm  %lg %lg %lg\n", crystal.a, crystal.b, crystal.c, crystal.alpha,
              crystal.beta, crystal.gamma);
  crystal.CalculateLatticeVectors();
  return true;
}

// The progress line of an atom, printf("%s (%lg,%lg,%lg)\n", element, u, v,
// w), composed without the format parser: it is printed for every atom of
// every step. The element is a word of the file, without NUL bytes.
void PrintAtomLine(const std::string& element, const double uvw[3]) {
  std::fwrite(element.data(), 1, element.size(), stdout);
  char text[3 * kFormatRoom + 8];
  char* p = text;
  *p++ = ' ';
  *p++ = '(';
  for (int k = 0; k < 3; ++k) {
    p = FormatGeneral(p, uvw[k], 0, 6);
    *p++ = k < 2 ? ',' : ')';
  }
  *p++ = '\n';
  std::fwrite(text, 1, static_cast<size_t>(p - text), stdout);
}

// One row of the atom table, "x  Si  1  0.000000  0.250000  0.250000  x",
// added as a site with the given force. A row without an element name (such
// as the closing "xxxx" line) adds nothing; coordinates missing after the
// name are 0.
void AddAtomLine(const char* line, CCrystal& crystal, std::string& element, const double force[3]) {
  const char* p = line;
  const char* word = nullptr;
  size_t length = 0;
  if (!ScanWord(p, word, length) || !ScanWord(p, word, length)) return;
  element.assign(word, length);
  double uvw[3] = {0, 0, 0};
  int number = 0;
  if (ScanInt(p, number)) ScanDoubles(p, uvw, 3);
  PrintAtomLine(element, uvw);
  crystal.AddAtomAsymSite("", element, 1.0, uvw[0], uvw[1], uvw[2], force[0], force[1], force[2]);
}

// One line of a force block. Both "word number fx fy fz" and CASTEP's own
// "* Si  1  fx fy fz *" give the three numbers after the atom number; a
// component of a constrained ion ("0.00000(cons'd)") counts with its number.
// What cannot be found is 0.
void ScanForceLine(const char* line, double force[3]) {
  force[0] = force[1] = force[2] = 0.0;
  const char* p = line;
  const char* word = nullptr;
  size_t length = 0;
  int number = 0;
  if (!ScanWord(p, word, length)) return;
  if (!ScanInt(p, number) && !(ScanWord(p, word, length) && ScanInt(p, number))) return;
  for (int i = 0; i < 3; ++i) {
    if (!ScanDouble(p, force[i])) return;
    while (*p && !IsScanSpace(*p)) ++p;
  }
}

}  // namespace

namespace CASTEP {

int ReadStartingStructure(LineReader& stream, CCrystal& crystal) {
  crystal.nAtomAsymSites = 0;
  crystal.nAtomSites = 0;
  // The table ends at its closing "xxxx" line.
  if (ReadCellBlock(stream, crystal) && ReadUntilContaining(stream, "Fractional coordinates of atoms") &&
      SkipLines(stream, 2)) {
    const double noForce[3] = {0, 0, 0};
    std::string element;
    while (stream.ReadLine() && !std::strstr(stream.Line(), "xxxxxx"))
      AddAtomLine(stream.Line(), crystal, element, noForce);
  }
  return crystal.CopyAsymSitesToSites();
}

int ReadNextCrystalStructureFromOutput(LineReader& stream, CCrystal& crystal) {
  // The step has as many atoms as the one before.
  const int n = crystal.nAtomAsymSites;
  crystal.nAtomAsymSites = 0;
  crystal.nAtomSites = 0;
  std::vector<double> forces(3 * static_cast<size_t>(n), 0.0);
  if (ReadUntilContaining(stream, "** Forces **") && SkipLines(stream, 5)) {
    for (int k = 0; k < n && stream.ReadLine(); ++k) ScanForceLine(stream.Line(), &forces[3 * static_cast<size_t>(k)]);
  }
  // A file that ends inside the step leaves it with the atoms read so far,
  // none when its cell block is missing.
  if (ReadCellBlock(stream, crystal) && ReadUntilContaining(stream, "Fractional coordinates of atoms") &&
      SkipLines(stream, 2)) {
    std::string element;
    for (int k = 0; k < n && stream.ReadLine(); ++k)
      AddAtomLine(stream.Line(), crystal, element, &forces[3 * static_cast<size_t>(k)]);
  }
  crystal.CopyAsymSitesToSites();
  return 1;
}

}  // namespace CASTEP

int CASTEPConvOutput(const std::string& argument, const std::string& /*unused*/) {
  const std::string base = CutAtLastDot(argument);
  std::string castepPath = base + ".castep";
  std::string xsfPath = argument;
  ReplaceExtension(xsfPath, "xsf");
  std::string initialCifPath = base + "-initial.cif";
  std::string finalCifPath = base + "-final.cif";
  std::string carPath = base + ".car.new";

  std::printf("\n");
  std::printf("CASTEP file : %s\n", castepPath.c_str());
  std::printf("XSF file    : %s\n", xsfPath.c_str());

  // One pass counts the steps, a second one reads them. Every step pairs a
  // force block with the cell and atom table after it; the last force block
  // has none after it.
  LineReader castep;
  int nStep = 0;
  if (castep.Open(castepPath)) nStep = CountLinesContaining(castep, "** Forces **") - 1;
  CXSFTrajectory frames(nStep, false);
  nStep = frames.nStep;

  auto crystal = std::make_unique<CCrystal>();
  auto initial = std::make_unique<CCrystal>();
  crystal->Name = castepPath;
  crystal->CopyRunDatabasePaths();
  crystal->SpaceGroup.Initialize();
  crystal->AllocateAtomTypes(CCrystal::kConverterAtomTypes);
  crystal->AllocateAtomAsymSites(CCrystal::kConverterAtomSites);
  crystal->AllocateAtomSites(CCrystal::kConverterAtomSites);

  if (!castep.IsOpen()) {
    std::printf("Can not read [%s].\n", castepPath.c_str());
    return -1;
  }
  // The header announces the frames and comes with the first step: a run
  // without steps leaves the file empty.
  if (!frames.Create(xsfPath)) {
    std::printf("Can not write to [%s].\n", xsfPath.c_str());
    return -1;
  }

  castep.Rewind();
  CASTEP::ReadStartingStructure(castep, *crystal);
  initial->Copy(*crystal);

  frames.PrintPlan(*crystal);

  for (int i = 0; i < nStep; ++i) {
    if (CASTEP::ReadNextCrystalStructureFromOutput(castep, *crystal) <= 0) break;
    frames.WriteStep(i, *crystal);
  }
  castep.Close();
  frames.Close();
  std::printf("\n");

  if (initial->nAtomAsymSites == 0) {
    std::printf("  **No data for initial structure.\n");
    std::printf("    Skipped.\n");
  } else {
    std::printf("Make CIFFile of initial structure [%s].\n", initialCifPath.c_str());
    if (!crystal->FormulaSum.empty()) initial->FormulaSum = crystal->FormulaSum;
    WriteCIF(*initial, initialCifPath);
  }

  if (crystal->nAtomAsymSites == 0) {
    std::printf("  **No data for final structure.\n");
    std::printf("    Skipped.\n");
  } else {
    std::printf("Make CIFFile of final structure [%s].\n", finalCifPath.c_str());
    WriteCIF(*crystal, finalCifPath);
    std::printf("Create update CAR file: %s\n", carPath.c_str());
    WriteCAR(carPath, *crystal);
  }

  if (GetOptionInt("CalcRDF") != 0) {
    // The final structure's tables are named "-Final-" so that they do not
    // replace those of the starting structure.
    std::printf("Calculate RDF for initial structure.\n");
    if (initial->nAtomAsymSites == 0) {
      std::printf("  **No data for initial structure.\n");
      std::printf("    Skipped.\n");
    } else {
      CalculateRDF(*initial, 0);
    }
    std::printf("Calculate RDF for final structure.\n");
    if (crystal->nAtomAsymSites == 0) {
      std::printf("  **No data for final structure.\n");
      std::printf("    Skipped.\n");
    } else {
      CalculateRDF(*crystal, 1);
    }
  }
  return 1;
}

}  // namespace quorvel
