#include "programs/other/TranSIESTA.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "analysis/RDF.h"
#include "text/LineReader.h"
#include "text/NumberFormat.h"
#include "text/NumberScan.h"
#include "text/TextUtil.h"
#include "crystal/Crystal.h"
#include "formats/CIFWriter.h"
#include "formats/XSFWriter.h"
#include "numerics/MyVector.h"
#include "text/OutputScan.h"

namespace quorvel {

namespace {

constexpr int kMaxAtomTypes = CCrystal::kConverterAtomTypes;
constexpr int kMaxAtomSites = CCrystal::kConverterAtomSites;

// Markers of the log. A step of the forces-table dialect starts at the
// forces heading; one of the coordinate-update dialect at "NumOrb: Forces"
// and ends with its "Updating coords" table.
const char kLatticeConstant[] = "UnitCell::LatticeConstant";
const char kForcesTable[] = "#   Forces     in eV/Ang";
const char kForcesList[] = "NumOrb: Forces";
const char kUpdatingCoords[] = "Updating coords";
const char kFullAtomList[] = "TwoProbe::FullAtomList";
const char kBulkAtomList[] = "Bulk::AtomList";

bool Contains(const char* line, const char* text) { return std::strstr(line, text) != nullptr; }

// An atom line without its element adds no atom; it is reported unless it
// is empty.
void ReportUnreadableAtomLine(const char* function, char* line) {
  Trim(line);
  if (*line) std::printf("Error in %s: Can not read the atom line [%s].\n", function, line);
}

// Prints the position as read (Angstrom), converts it and prints the result.
void ConvertAndPrint(const TranSIESTA::CLogCell& cell, const double position[3], double& fx, double& fy,
                     double& fz) {
  FastPrintf("(%lg,%lg,%lg) => ", position[0], position[1], position[2]);
  cell.CartesianToFractional(0.1 * position[0], 0.1 * position[1], 0.1 * position[2], fx, fy, fz);
  FastPrintf("(%lg,%lg,%lg)\n", fx, fy, fz);
}

}  // namespace

namespace TranSIESTA {

int CLogCell::CartesianToFractional(double x, double y, double z, double& fx, double& fy, double& fz) const {
  // A position whose conversion fails is put at the origin.
  fx = fy = fz = 0;
  double m[9];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m[i * 3 + j] = Vector[i][j];
  double det = 0;
  const int result = minver(m, 3, 3, 1.0e-6, &det);
  if (result != 0) {
    std::printf("Error in CCrystal::CartesianToFractional: return of minver is %d\n", result);
    return 0;
  }
  // The row vector of Cartesian coordinates times the inverse.
  fx = m[0] * x + m[3] * y + m[6] * z;
  fy = m[1] * x + m[4] * y + m[7] * z;
  fz = m[2] * x + m[5] * y + m[8] * z;
  return 1;
}

int ReadInitialCrystalStructureFromOutput(LineReader& log, CCrystal& crystal, CLogCell& cell) {
  static const char kFunction[] = "TranSIESTA::ReadInitialCrystalStructureFromOutput";
  std::printf("%s in\n", kFunction);
  crystal.SpaceGroup.Initialize();
  crystal.AllocateAtomTypes(kMaxAtomTypes);
  crystal.AllocateAtomAsymSites(kMaxAtomSites);
  crystal.AllocateAtomSites(kMaxAtomSites);

  // The cell: the line after the lattice constant opens the cell block, the
  // next three lines are the vectors a, b, c.
  log.Rewind();
  const char* constantLine = nullptr;
  while (log.ReadLine())
    if ((constantLine = std::strstr(log.Line(), kLatticeConstant)) != nullptr) break;
  if (!constantLine) {
    std::printf("Error in %s: No %s line in the log.\n", kFunction, kLatticeConstant);
    return -1;
  }
  // The vectors are given in units of the lattice constant, in the .atk file
  // and in its echo in the log alike (the update writes them that way): they
  // are multiplied by it. A line without a positive constant leaves them as
  // they stand, in Angstrom.
  double constant = AtoF(constantLine + sizeof kLatticeConstant - 1);
  if (!(constant > 0)) constant = 1.0;
  SkipLines(log, 1);
  // A vector line that is missing or gives fewer than three numbers leaves
  // the missing components 0.
  double v[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  for (int i = 0; i < 3 && log.ReadLine(); ++i) std::sscanf(log.Line(), "%lg %lg %lg", &v[i][0], &v[i][1], &v[i][2]);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) cell.Vector[i][j] = v[i][j] * constant * 0.1;
  const double(*lv)[3] = cell.Vector;
  crystal.SetLatticeVectors(lv[0][0], lv[0][1], lv[0][2], lv[1][0], lv[1][1], lv[1][2], lv[2][0], lv[2][1], lv[2][2]);
  crystal.CalculateLatticeParameters();
  std::printf("Lattice parameters: %lg %lg %lg nm  %lg %lg %lg\n", crystal.a, crystal.b, crystal.c, crystal.alpha,
              crystal.beta, crystal.gamma);
  crystal.CalculateLatticeVectors();

  // The atom list: the full list of a two-probe run (index, element, x, y, z
  // after three heading lines) or the bulk list (element, x, y, z).
  log.Rewind();
  bool bFound = false, bFullList = false;
  while (log.ReadLine()) {
    const char* line = log.Line();
    if (Contains(line, "%block") && (Contains(line, kFullAtomList) || Contains(line, kBulkAtomList))) {
      bFound = true;
      bFullList = Contains(line, kFullAtomList);
      break;
    }
  }
  if (bFound) {
    if (bFullList) SkipLines(log, 3);
    char element[LineReader::kLineBufferSize];
    while (log.ReadLine()) {
      char* line = log.Line();
      if (Contains(line, "%endblock") || Contains(line, "# ----")) break;
      double p[3] = {0, 0, 0};
      int index = 0;
      const bool bElement = bFullList
                                ? std::sscanf(line, "%d %4095s %lg %lg %lg", &index, element, &p[0], &p[1], &p[2]) >= 2
                                : std::sscanf(line, "%4095s %lg %lg %lg", element, &p[0], &p[1], &p[2]) >= 1;
      if (!bElement) {
        ReportUnreadableAtomLine(kFunction, line);
        continue;
      }
      FastPrintf("%s ", element);
      double fx, fy, fz;
      ConvertAndPrint(cell, p, fx, fy, fz);
      crystal.AddAtomAsymSite("", element, 1.0, fx, fy, fz, 0, 0, 0);
    }
  }
  crystal.CopyAsymSitesToSites();
  std::printf("%s out\n", kFunction);
  return 1;
}

int ReadNextCrystalStructureFromOutput(LineReader& log, CCrystal& crystal, const CCrystal& initial,
                                       const CLogCell& cell) {
  static const char kFunction[] = "TranSIESTA::ReadNextCrystalStructureFromOutput";
  // The full atom count of the structure before this step.
  const int n = crystal.nAtomAsymSites;
  std::printf("%s in\n", kFunction);
  crystal.nAtomAsymSites = 0;
  crystal.nAtomSites = 0;

  bool bForcesTable = false;
  const char* const kHeadings[2] = {kForcesTable, kForcesList};
  if (log.ReadLineContaining(kHeadings, 2)) bForcesTable = Contains(log.Line(), kForcesTable);
  SkipLines(log, bForcesTable ? 3 : 1);

  // Fractional position and force per atom; what the log does not give
  // stays 0.
  std::vector<double> x(n, 0.0), y(n, 0.0), z(n, 0.0), fx(n, 0.0), fy(n, 0.0), fz(n, 0.0);

  if (bForcesTable) {
    // Rows of the central region: position (Angstrom), three numbers not
    // used, force (eV/Angstrom). A line starting with '#' closes the table.
    int m = 0;
    while (m < n && log.ReadLine()) {
      const char* line = log.Line();
      if (line[0] == '#') break;
      // "%lg" nine times; numbers after the first that cannot be read stay 0.
      double v[9];
      const char* p = line;
      ScanDoubles(p, v, 9);
      ConvertAndPrint(cell, v, x[m], y[m], z[m]);
      fx[m] = v[6];
      fy[m] = v[7];
      fz[m] = v[8];
      ++m;
    }
    std::printf("natoms: %d\n", m);
    // Two-probe runs list only the central region: the electrode atoms,
    // equally many at both ends of the full list, keep their starting
    // positions.
    const int half = (n - m) / 2;
    for (int j = 0; j < n; ++j) {
      const bool bInitial = j < initial.nAtomAsymSites;
      const std::string name = bInitial ? initial.GetAtomTypeName(initial.AtomAsymSites[j]) : std::string();
      FastPrintf("%s\n", name.c_str());
      if (j < half || j >= n - half) {
        const CAtomSite* start = bInitial ? &initial.AtomAsymSites[j] : nullptr;
        crystal.AddAtomAsymSite("", name, 1.0, start ? start->x : 0, start ? start->y : 0, start ? start->z : 0, 0,
                                0, 0);
      } else {
        const int row = j - half;
        crystal.AddAtomAsymSite("", name, 1.0, x[row], y[row], z[row], fx[row], fy[row], fz[row]);
      }
    }
  } else {
    // Forces "...: index fx fy fz", one line per atom; a line without ':'
    // leaves that atom's force 0.
    for (int k = 0; k < n && log.ReadLine(); ++k) {
      const char* colon = std::strchr(log.Line(), ':');
      int index = 0;
      if (colon) std::sscanf(colon + 1, "%d %lg %lg %lg", &index, &fx[k], &fy[k], &fz[k]);
    }
    while (log.ReadLine())
      if (Contains(log.Line(), kUpdatingCoords)) break;
    SkipLines(log, 2);
    // Updated positions "...: index element x y z"; lines without ':' add no
    // atom but count, so that atom k keeps the force of line k.
    char element[LineReader::kLineBufferSize];
    for (int k = 0; k < n && log.ReadLine(); ++k) {
      char* colon = std::strchr(log.Line(), ':');
      if (!colon) continue;
      double p[3] = {0, 0, 0};
      int index = 0;
      if (std::sscanf(colon + 1, "%d %4095s %lg %lg %lg", &index, element, &p[0], &p[1], &p[2]) < 2) {
        ReportUnreadableAtomLine(kFunction, log.Line());
        continue;
      }
      FastPrintf("%s ", element);
      double px, py, pz;
      ConvertAndPrint(cell, p, px, py, pz);
      crystal.AddAtomAsymSite("", element, 1.0, px, py, pz, fx[k], fy[k], fz[k]);
    }
  }

  crystal.CopyAsymSitesToSites();
  std::printf("%s out\n", kFunction);
  return 1;
}

int UpdateAtkFile(const std::string& atkPath, const CCrystal& crystal) {
  const std::string newPath = atkPath + ".new";
  std::printf("Create update file: %s\n", newPath.c_str());
  LineReader in;
  FilePtr out;
  if (!OpenForUpdate(in, atkPath, out, newPath, "wb", "")) return -1;
  std::FILE* f = out.get();
  while (in.ReadLine()) {
    const char* line = in.Line();
    if (Contains(line, kLatticeConstant)) {
      // The cell in units of its first vector's length (a lies along x).
      const double length = crystal.LatticeVector[0][0];
      std::fprintf(f, "UnitCell::LatticeConstant %lg Ang\n", 10.0 * length);
      std::fprintf(f, "%%block Bulk::UnitCell\n");
      for (int i = 0; i < 3; ++i)
        std::fprintf(f, "%12.8f %12.8f %12.8f\n", crystal.LatticeVector[i][0] / length,
                     crystal.LatticeVector[i][1] / length, crystal.LatticeVector[i][2] / length);
      std::fprintf(f, "%%endblock Bulk::UnitCell\n");
      // The old cell block goes, its closing line included.
      while (in.ReadLine())
        if (Contains(in.Line(), "%endblock")) break;
      continue;
    }
    if (Contains(line, "%block Bulk::AtomList")) {
      std::fputs(line, f);
      for (int i = 0; i < crystal.nAtomSites; ++i) {
        const CAtomSite& site = crystal.AtomSites[i];
        double cx, cy, cz;
        crystal.FractionalToCartesian(site.x, site.y, site.z, cx, cy, cz);
        std::fprintf(f, "%4s  %14.10f %14.10f %14.10f\n", crystal.GetAtomTypeName(site).c_str(), cx * 10.0,
                     cy * 10.0, cz * 10.0);
      }
      // The old rows go; the block's closing line stays.
      while (in.ReadLine()) {
        if (Contains(in.Line(), "%endblock")) {
          std::fputs(in.Line(), f);
          break;
        }
      }
      continue;
    }
    std::fputs(line, f);
  }
  return 1;
}

}  // namespace TranSIESTA

int TranSIESTAConvOutput(const std::string& argument, const CConversionSettings& settings) {
  const std::string base = CutAtLastDot(argument);
  const std::string atkPath = base + ".atk";
  const std::string outPath = base + ".out";
  std::string xsfPath = argument;
  ReplaceExtension(xsfPath, "xsf");
  const std::string initialCifPath = base + "-initial.cif";
  const std::string finalCifPath = base + "-final.cif";

  std::printf("\n");
  std::printf("ATK file    : %s\n", atkPath.c_str());
  std::printf("Output file : %s\n", outPath.c_str());
  std::printf("XSF file    : %s\n", xsfPath.c_str());

  // The log is streamed twice through one reader: once to count the steps
  // (and to see that it holds a cell at all), then to convert them.
  LineReader log;
  int nStep = 0;
  bool bCell = false;
  if (log.Open(argument)) {
    while (log.ReadLine()) {
      const char* line = log.Line();
      if (Contains(line, kUpdatingCoords) || Contains(line, kForcesTable)) ++nStep;
      if (!bCell && Contains(line, kLatticeConstant)) bCell = true;
    }
  }
  CXSFTrajectory frames(settings.Plan, nStep, false);
  nStep = frames.nStep;

  auto crystal = std::make_unique<CCrystal>();
  crystal->Databases = settings.Databases;
  crystal->Name = outPath;
  auto initial = std::make_unique<CCrystal>();

  if (!log.IsOpen()) {
    std::printf("Can not read [%s].\n", argument.c_str());
    return -1;
  }
  // Without a cell nothing can be converted: stop before any file is made.
  if (!bCell) {
    std::printf("Error in TranSIESTAConvOutput: No %s line in [%s].\n", kLatticeConstant, argument.c_str());
    return -1;
  }
  // A log whose own extension is xsf would be replaced by the XSF file while
  // it is being read.
  if (xsfPath == argument) {
    std::printf("Error in TranSIESTAConvOutput: The XSF file [%s] would replace the log.\n", xsfPath.c_str());
    return -1;
  }
  // The header announces nOutput frames; a log without any step leaves the
  // file empty.
  if (!frames.Create(xsfPath)) {
    std::printf("Can not write to [%s].\n", xsfPath.c_str());
    return -1;
  }

  TranSIESTA::CLogCell cell;
  TranSIESTA::ReadInitialCrystalStructureFromOutput(log, *crystal, cell);
  initial->Copy(*crystal);

  frames.PrintPlan(*crystal);

  for (int i = 0; i < nStep; ++i) {
    if (TranSIESTA::ReadNextCrystalStructureFromOutput(log, *crystal, *initial, cell) <= 0) break;
    frames.WriteStep(i, *crystal);
  }
  frames.Close();
  log.Close();
  std::printf("\n");

  std::printf("Make CIFFile of initial structure [%s].\n", initialCifPath.c_str());
  initial->FormulaSum = crystal->FormulaSum;
  WriteCIF(*initial, initialCifPath);
  std::printf("Make CIFFile of final structure [%s].\n", finalCifPath.c_str());
  WriteCIF(*crystal, finalCifPath);

  TranSIESTA::UpdateAtkFile(atkPath, *crystal);

  if (settings.RDF.bCalculate) {
    std::printf("Calculate RDF for initial structure.\n");
    CalculateRDF(*initial, settings.RDF, 0);
    // The final structure's tables are named as final ones, so that they do
    // not replace those of the initial structure.
    std::printf("Calculate RDF for final structure.\n");
    CalculateRDF(*crystal, settings.RDF, 1);
  }
  return 1;
}

}  // namespace quorvel
