#include "programs/other/TranSIESTA.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "crystal/Crystal.h"
#include "numerics/CellInverse.h"
#include "numerics/Constants.h"
#include "programs/TrajectoryConversion.h"
#include "system/Platform.h"
#include "text/LineReader.h"
#include "text/Messages.h"
#include "text/NumberFormat.h"
#include "text/NumberScan.h"
#include "text/OutputScan.h"
#include "text/TextUtil.h"

namespace quorvel {
namespace TranSIESTA {

namespace {

// Markers of the log. A step of the forces-table dialect starts at the
// forces heading; one of the coordinate-update dialect at "NumOrb: Forces"
// and ends with its "Updating coords" table.
const char kLatticeConstant[] = "UnitCell::LatticeConstant";
const char kForcesTable[] = "#   Forces     in eV/Ang";
const char kForcesList[] = "NumOrb: Forces";
const char kUpdatingCoords[] = "Updating coords";
const char kFullAtomList[] = "TwoProbe::FullAtomList";
const char kBulkAtomList[] = "Bulk::AtomList";

// The names the log's reading prints with its progress and its messages.
const char kReadStart[] = "TranSIESTA::ReadInitialCrystalStructureFromOutput";
const char kReadStep[] = "TranSIESTA::ReadNextCrystalStructureFromOutput";

bool Contains(const char* line, const char* text) { return std::strstr(line, text) != nullptr; }

// An atom line without its element adds no atom; it is reported unless it
// is empty.
void ReportUnreadableAtomLine(const char* function, char* line) {
  Trim(line);
  if (*line) std::printf("Error in %s: Can not read the atom line [%s].\n", function, line);
}

// Prints the position as read (Angstrom), converts it to fractional
// coordinates with the inverse of the log's cell and prints the result. A
// singular cell puts the position at the origin, with a message every time.
void ConvertAndPrint(const CCellInverse& cell, const double position[3], double& fx, double& fy, double& fz) {
  FastPrintf("(%lg,%lg,%lg) => ", position[0], position[1], position[2]);
  fx = fy = fz = 0;
  if (cell.IsValid())
    cell.ToFractional(kNmPerAngstrom * position[0], kNmPerAngstrom * position[1], kNmPerAngstrom * position[2], fx, fy,
                      fz);
  else
    ReportSingularCell(cell.Status());
  FastPrintf("(%lg,%lg,%lg)\n", fx, fy, fz);
}

// The conversion of a log (TranSIESTAConvOutput). The head of the log echoes
// the starting structure; a step is a forces table or a force list with its
// coordinate update.
//
// Cartesian positions are converted to fractional ones with the cell the log
// gives (rows a, b, c) rather than with the crystal's vectors, which are
// rebuilt in the standard orientation (a along x, b in the xy plane): the
// two agree only when the log's cell already lies that way.
class CLogConversion final : public CTrajectoryConversion {
 public:
  CLogConversion(const std::string& logPath, const std::string& atkPath, const CConversionSettings& settings,
                 CLayout layout)
      : CTrajectoryConversion(settings, std::move(layout)), logPath_(logPath), atkPath_(atkPath) {}

 private:
  // The log is streamed twice through one reader: once to count the steps
  // (and to see that it holds a cell at all), then to convert them.
  int CountSteps() override;
  bool OpenSteps() override;
  void ReadStartingStructure(CCrystal& crystal) override;
  int ReadNextStep(CCrystal& crystal) override;
  void WriteMoreFiles() override { UpdateAtkFile(atkPath_, *crystal_); }

  bool ReadCell(CCrystal& crystal);
  void ReadStartingAtoms(CCrystal& crystal);
  void ReadForcesTable(CCrystal& crystal, int n);
  void ReadCoordinateUpdate(CCrystal& crystal, int n);

  const std::string logPath_, atkPath_;
  LineReader log_;
  bool bCell_ = false;  // the log holds a lattice constant line
  CCellInverse cell_;   // the inverse of the log's cell (nm)
};

int CLogConversion::CountSteps() {
  int nStep = 0;
  if (!log_.Open(logPath_)) return 0;
  while (log_.ReadLine()) {
    const char* line = log_.Line();
    if (Contains(line, kUpdatingCoords) || Contains(line, kForcesTable)) ++nStep;
    if (!bCell_ && Contains(line, kLatticeConstant)) bCell_ = true;
  }
  return nStep;
}

bool CLogConversion::OpenSteps() {
  if (!log_.IsOpen()) {
    ReportCanNotRead(logPath_);
    return false;
  }
  // Without a cell nothing can be converted: stop before any file is made.
  if (!bCell_) {
    std::printf("Error in TranSIESTAConvOutput: No %s line in [%s].\n", kLatticeConstant, logPath_.c_str());
    return false;
  }
  // A log whose own extension is xsf would be replaced by the XSF file while
  // it is being read.
  if (layout_.XSF == logPath_) {
    std::printf("Error in TranSIESTAConvOutput: The XSF file [%s] would replace the log.\n", layout_.XSF.c_str());
    return false;
  }
  return true;
}

// The starting structure from the beginning of the log: the cell and the
// atom list echoed there.
void CLogConversion::ReadStartingStructure(CCrystal& crystal) {
  std::printf("%s in\n", kReadStart);
  if (!ReadCell(crystal)) return;
  ReadStartingAtoms(crystal);
  crystal.CopyAsymSitesToSites();
  std::printf("%s out\n", kReadStart);
}

// The line after the lattice constant opens the cell block, the next three
// lines are the vectors a, b, c. False, with a message, when the log holds
// no lattice constant line.
bool CLogConversion::ReadCell(CCrystal& crystal) {
  log_.Rewind();
  const char* constantLine = nullptr;
  while (log_.ReadLine())
    if ((constantLine = std::strstr(log_.Line(), kLatticeConstant)) != nullptr) break;
  if (!constantLine) {
    std::printf("Error in %s: No %s line in the log.\n", kReadStart, kLatticeConstant);
    return false;
  }
  // The vectors are given in units of the lattice constant, in the .atk file
  // and in its echo in the log alike (the update writes them that way): they
  // are multiplied by it. A line without a positive constant leaves them as
  // they stand, in Angstrom.
  double constant = AtoF(constantLine + sizeof kLatticeConstant - 1);
  if (!(constant > 0)) constant = 1.0;
  SkipLines(log_, 1);
  // A vector line that is missing or gives fewer than three numbers leaves
  // the missing components 0.
  double v[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  for (int i = 0; i < 3 && log_.ReadLine(); ++i) std::sscanf(log_.Line(), "%lg %lg %lg", &v[i][0], &v[i][1], &v[i][2]);
  double lv[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) lv[i][j] = v[i][j] * constant * kNmPerAngstrom;
  cell_.Set(lv);
  crystal.SetLatticeVectors(lv[0][0], lv[0][1], lv[0][2], lv[1][0], lv[1][1], lv[1][2], lv[2][0], lv[2][1], lv[2][2]);
  crystal.CalculateLatticeParameters();
  std::printf("Lattice parameters: %lg %lg %lg nm  %lg %lg %lg\n", crystal.a, crystal.b, crystal.c, crystal.alpha,
              crystal.beta, crystal.gamma);
  crystal.CalculateLatticeVectors();
  return true;
}

// The atom list: the full list of a two-probe run (index, element, x, y, z
// after three heading lines) or the bulk list (element, x, y, z).
void CLogConversion::ReadStartingAtoms(CCrystal& crystal) {
  log_.Rewind();
  bool bFound = false, bFullList = false;
  while (log_.ReadLine()) {
    const char* line = log_.Line();
    if (Contains(line, "%block") && (Contains(line, kFullAtomList) || Contains(line, kBulkAtomList))) {
      bFound = true;
      bFullList = Contains(line, kFullAtomList);
      break;
    }
  }
  if (!bFound) return;
  if (bFullList) SkipLines(log_, 3);
  char element[LineReader::kLineBufferSize];
  while (log_.ReadLine()) {
    char* line = log_.Line();
    if (Contains(line, "%endblock") || Contains(line, "# ----")) break;
    double p[3] = {0, 0, 0};
    int index = 0;
    const bool bElement = bFullList
                              ? std::sscanf(line, "%d %4095s %lg %lg %lg", &index, element, &p[0], &p[1], &p[2]) >= 2
                              : std::sscanf(line, "%4095s %lg %lg %lg", element, &p[0], &p[1], &p[2]) >= 1;
    if (!bElement) {
      ReportUnreadableAtomLine(kReadStart, line);
      continue;
    }
    FastPrintf("%s ", element);
    double fx, fy, fz;
    ConvertAndPrint(cell_, p, fx, fy, fz);
    crystal.AddAtomAsymSite("", element, 1.0, fx, fy, fz, 0, 0, 0);
  }
}

// The next step, of the forces-table or the coordinate-update dialect, with
// as many atoms as the structure before it. Always 1.
int CLogConversion::ReadNextStep(CCrystal& crystal) {
  const int n = crystal.nAtomAsymSites;
  std::printf("%s in\n", kReadStep);
  crystal.nAtomAsymSites = 0;
  crystal.nAtomSites = 0;

  bool bForcesTable = false;
  const char* const kHeadings[2] = {kForcesTable, kForcesList};
  if (log_.ReadLineContaining(kHeadings, 2)) bForcesTable = Contains(log_.Line(), kForcesTable);
  SkipLines(log_, bForcesTable ? 3 : 1);
  if (bForcesTable)
    ReadForcesTable(crystal, n);
  else
    ReadCoordinateUpdate(crystal, n);

  crystal.CopyAsymSitesToSites();
  std::printf("%s out\n", kReadStep);
  return 1;
}

// Rows of the central region: position (Angstrom), three numbers not used,
// force (eV/Angstrom); a line starting with '#' closes the table. Two-probe
// runs list only the central region: the electrode atoms, equally many at
// both ends of the full list of n atoms, keep their starting positions.
void CLogConversion::ReadForcesTable(CCrystal& crystal, int n) {
  // Fractional position and force per row; what the log does not give
  // stays 0.
  std::vector<double> x(n, 0.0), y(n, 0.0), z(n, 0.0), fx(n, 0.0), fy(n, 0.0), fz(n, 0.0);
  int m = 0;
  while (m < n && log_.ReadLine()) {
    const char* line = log_.Line();
    if (line[0] == '#') break;
    // "%lg" nine times; numbers after the first that cannot be read stay 0.
    double v[9];
    const char* p = line;
    ScanDoubles(p, v, 9);
    ConvertAndPrint(cell_, v, x[m], y[m], z[m]);
    fx[m] = v[6];
    fy[m] = v[7];
    fz[m] = v[8];
    ++m;
  }
  std::printf("natoms: %d\n", m);
  const CCrystal& initial = *initial_;
  const int half = (n - m) / 2;
  for (int j = 0; j < n; ++j) {
    const bool bInitial = j < initial.nAtomAsymSites;
    const std::string name = bInitial ? initial.GetAtomTypeName(initial.AtomAsymSites[j]) : std::string();
    FastPrintf("%s\n", name.c_str());
    if (j < half || j >= n - half) {
      const CAtomSite* start = bInitial ? &initial.AtomAsymSites[j] : nullptr;
      crystal.AddAtomAsymSite("", name, 1.0, start ? start->x : 0, start ? start->y : 0, start ? start->z : 0, 0, 0, 0);
    } else {
      const int row = j - half;
      crystal.AddAtomAsymSite("", name, 1.0, x[row], y[row], z[row], fx[row], fy[row], fz[row]);
    }
  }
}

// Forces "Force: index fx fy fz", one line for each of the n atoms; a
// constrained atom's line is printed without "Force:" ("  3  0.0 0.0 -0.0625
// (constrained)") and is read the same way. Then the "Updating coords" table
// of positions "...: index element x y z".
void CLogConversion::ReadCoordinateUpdate(CCrystal& crystal, int n) {
  std::vector<double> fx(n, 0.0), fy(n, 0.0), fz(n, 0.0);
  for (int k = 0; k < n && log_.ReadLine(); ++k) {
    const char* colon = std::strchr(log_.Line(), ':');
    int index = 0;
    std::sscanf(colon ? colon + 1 : log_.Line(), "%d %lg %lg %lg", &index, &fx[k], &fy[k], &fz[k]);
  }
  while (log_.ReadLine())
    if (Contains(log_.Line(), kUpdatingCoords)) break;
  SkipLines(log_, 2);
  // Lines without ':' add no atom but count, so that atom k keeps the force
  // of line k.
  char element[LineReader::kLineBufferSize];
  for (int k = 0; k < n && log_.ReadLine(); ++k) {
    char* colon = std::strchr(log_.Line(), ':');
    if (!colon) continue;
    double p[3] = {0, 0, 0};
    int index = 0;
    if (std::sscanf(colon + 1, "%d %4095s %lg %lg %lg", &index, element, &p[0], &p[1], &p[2]) < 2) {
      ReportUnreadableAtomLine(kReadStep, log_.Line());
      continue;
    }
    FastPrintf("%s ", element);
    double px, py, pz;
    ConvertAndPrint(cell_, p, px, py, pz);
    crystal.AddAtomAsymSite("", element, 1.0, px, py, pz, fx[k], fy[k], fz[k]);
  }
}

}  // namespace

int UpdateAtkFile(const std::string& atkPath, const CCrystal& crystal) {
  const std::string newPath = atkPath + ".new";
  std::printf("Create update file: %s\n", newPath.c_str());
  LineReader in;
  COutputFile out;
  if (!OpenForUpdate(in, atkPath, out, newPath, "wb", "")) return -1;
  std::FILE* f = out.get();
  while (in.ReadLine()) {
    const char* line = in.Line();
    if (Contains(line, kLatticeConstant)) {
      // The cell in units of its first vector's length (a lies along x).
      const double length = crystal.LatticeVector[0][0];
      std::fprintf(f, "UnitCell::LatticeConstant %lg Ang\n", kAngstromPerNm * length);
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
        std::fprintf(f, "%4s  %14.10f %14.10f %14.10f\n", crystal.GetAtomTypeName(site).c_str(), cx * kAngstromPerNm,
                     cy * kAngstromPerNm, cz * kAngstromPerNm);
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
  return out.Commit() ? 1 : -1;
}

}  // namespace TranSIESTA

int TranSIESTAConvOutput(const std::string& argument, const CConversionSettings& settings) {
  const std::string base = CutAtLastDot(argument);
  const std::string atkPath = base + ".atk";
  const std::string outPath = base + ".out";
  auto layout = CTrajectoryConversion::CLayout::ForOutput(CTrajectoryConversion::EStart::kHeadOfLog, argument, outPath);

  std::printf("\n");
  std::printf("ATK file    : %s\n", atkPath.c_str());
  std::printf("Output file : %s\n", outPath.c_str());
  std::printf("XSF file    : %s\n", layout.XSF.c_str());
  return TranSIESTA::CLogConversion(argument, atkPath, settings, std::move(layout)).Run();
}

}  // namespace quorvel
