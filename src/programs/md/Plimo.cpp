// The file set of a Plimo run (FILE05, FILE07, FILE09P, FILE09V) and its
// conversion into an XSF trajectory and initial, final and averaged CIF files.
#include "programs/md/Plimo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analysis/RDF.h"
#include "crystal/Crystal.h"
#include "formats/XSFWriter.h"
#include "numerics/Constants.h"
#include "programs/TrajectoryConversion.h"
#include "system/Platform.h"
#include "text/Messages.h"
#include "text/TextUtil.h"

namespace quorvel {
namespace CPlimo {

namespace {

// Atom lines of FILE09P: six atoms of three four-character fields a line.
constexpr int kAtomsPerLine = 6;
constexpr int kFieldWidth = 4;

// Drive and directory (with its trailing separator), base name and extension
// (from the last dot of the file name) of a path.
struct CPathParts {
  std::string Directory, Base;
};

CPathParts SplitPath(const std::string& path) {
  size_t driveLength = (path.size() >= 2 && path[1] == ':') ? 2 : 0;
  size_t sep = FindLastSeparator(path);
  size_t nameStart = (sep == std::string::npos || sep < driveLength) ? driveLength : sep + 1;
  CPathParts parts;
  parts.Directory = path.substr(0, nameStart);
  std::string name = path.substr(nameStart);
  parts.Base = name.substr(0, name.rfind('.'));
  return parts;
}

// A structure of the conversion, empty: P1, the run's database paths and the
// capacities of a converter. Name and paths survive the reset.
void ResetToEmpty(CCrystal& crystal) {
  std::string name = crystal.Name;
  crystal.Initialize();
  crystal.Name = name;
  AllocateConverterTables(crystal);
}

// Reads whitespace-separated words that may run over several lines.
class CWordReader {
 public:
  explicit CWordReader(LineReader& in) : in_(in) {}
  bool Next(std::string& word) {
    for (;;) {
      if (!bLine_) {
        if (!in_.ReadLine()) return false;
        line_.assign(in_.Line());
        pos_ = 0;
        bLine_ = true;
      }
      while (pos_ < line_.size() && IsWhite(line_[pos_])) ++pos_;
      if (pos_ < line_.size()) {
        size_t end = pos_;
        while (end < line_.size() && !IsWhite(line_[end])) ++end;
        word = line_.substr(pos_, end - pos_);
        pos_ = end;
        return true;
      }
      bLine_ = false;
    }
  }
  // The rest of the line that held the last word is not read.
  void SkipRestOfLine() { bLine_ = false; }

 private:
  LineReader& in_;
  std::string line_;
  size_t pos_ = 0;
  bool bLine_ = false;
};

// An integer word, entirely digits with an optional sign.
bool ParseCount(const std::string& word, long long& value) {
  if (word.empty()) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtoll(word.c_str(), &end, 10);
  return errno == 0 && end && *end == '\0';
}

int FILE07Error(CCrystal& crystal, const std::string& path, const std::string& reason) {
  std::printf("Error in CPlimo::ReadFILE07: %s in [%s].\n", reason.c_str(), path.c_str());
  ResetToEmpty(crystal);
  return -1;
}

const char kFILE07Ends[] = "the file ends early";

// The head of FILE07: the title and the numbers of atoms and atom types.
// Empty, or why the head cannot be read.
std::string ReadFILE07Head(LineReader& in, std::string& title, int& nAtomSites, int& nAtomTypes) {
  if (!in.ReadLine()) return kFILE07Ends;
  title = in.Line();
  Trim(title);
  if (!in.ReadLine()) return kFILE07Ends;
  char* p = in.Line();
  char* end = nullptr;
  errno = 0;
  const long long nAtoms = std::strtoll(p, &end, 10);
  bool bOk = end != p && errno == 0;
  p = end;
  const long long nTypes = std::strtoll(p, &end, 10);
  bOk = bOk && end != p && errno == 0;
  if (!bOk) return "line 2 does not hold the numbers of atoms and atom types";
  if (nAtoms < 0 || nAtoms > kMaxFILE07Atoms || nTypes < 0 || nTypes > kMaxFILE07AtomTypes)
    return Format("nAtomSites [%lld] or nAtomTypes [%lld] is out of range (0 to %d and 0 to %d)", nAtoms, nTypes,
                  kMaxFILE07Atoms, kMaxFILE07AtomTypes);
  nAtomSites = static_cast<int>(nAtoms);
  nAtomTypes = static_cast<int>(nTypes);
  return "";
}

// Tables sized to the declared counts; false when one cannot be had. The
// unit cell lists the same atoms, so it must hold them all as well.
bool SizeFILE07Tables(CCrystal& crystal, int nAtomSites, int nAtomTypes) {
  if (crystal.AllocateAtomTypes(nAtomTypes) != nAtomTypes || crystal.nMaxAtomTypes != nAtomTypes ||
      crystal.AllocateAtomAsymSites(nAtomSites) != nAtomSites || crystal.nMaxAtomAsymSites != nAtomSites)
    return false;
  return nAtomSites <= crystal.nMaxAtomSites || crystal.AllocateAtomSites(nAtomSites) == nAtomSites;
}

// The atom types of FILE07: their names, then the number of atoms of each,
// which must add up to nAtomSites. Empty, or why they cannot be read.
struct CFILE07Types {
  std::vector<std::string> names;
  std::vector<int> counts;
};

std::string ReadFILE07Types(LineReader& in, int nAtomSites, int nAtomTypes, CFILE07Types& types) {
  CWordReader words(in);
  types.names.assign(static_cast<size_t>(nAtomTypes), std::string());
  for (int i = 0; i < nAtomTypes; ++i)
    if (!words.Next(types.names[i])) return kFILE07Ends;
  words.SkipRestOfLine();
  types.counts.assign(static_cast<size_t>(nAtomTypes), 0);
  long long sum = 0;
  for (int i = 0; i < nAtomTypes; ++i) {
    std::string word;
    if (!words.Next(word)) return kFILE07Ends;
    long long n = 0;
    const char* name = types.names[i].c_str();
    if (!ParseCount(word, n)) return Format("the number of atoms of type %s is not a number: [%s]", name, word.c_str());
    if (n < 0 || n > nAtomSites)
      return Format("the number of atoms of type %s [%lld] is not between 0 and %d", name, n, nAtomSites);
    types.counts[i] = static_cast<int>(n);
    sum += n;
  }
  words.SkipRestOfLine();
  if (sum != nAtomSites)
    return Format("the atoms of the types add up to %lld, not to nAtomSites [%d]", sum, nAtomSites);
  return "";
}

// The types into the crystal, numbered in file order (the XSF file shows
// them so).
void StoreFILE07Types(const CFILE07Types& types, CCrystal& crystal) {
  const int nAtomTypes = static_cast<int>(types.names.size());
  for (int i = 0; i < nAtomTypes; ++i) {
    CAtomType& type = crystal.AtomTypes[i];
    type = CAtomType();
    type.Name = types.names[i];
    type.Label = types.names[i];
    type.AtomicNumber = i + 1;
    type.Charge = 0;
    crystal.nAtomsInFormula[i] = types.counts[i];
  }
  crystal.nAtomTypes = nAtomTypes;
}

// Three lines, then the cell: an unused number and a, b, c in Angstrom; one
// more line, and an "H-TENSOR" line has three more lines after it. Empty, or
// why the cell cannot be read.
std::string ReadFILE07Cell(LineReader& in, CCrystal& crystal) {
  for (int i = 0; i < 3; ++i)
    if (!in.ReadLine()) return kFILE07Ends;
  if (!in.ReadLine()) return kFILE07Ends;
  double unused, a, b, c;
  if (std::sscanf(in.Line(), "%lg %lg %lg %lg", &unused, &a, &b, &c) < 4)
    return "the cell line does not hold four numbers";
  crystal.SetLatticeParameters(a * kNmPerAngstrom, b * kNmPerAngstrom, c * kNmPerAngstrom, 90.0, 90.0, 90.0);
  if (!in.ReadLine()) return kFILE07Ends;
  if (std::strstr(in.Line(), "H-TENSOR"))
    for (int i = 0; i < 3; ++i)
      if (!in.ReadLine()) return kFILE07Ends;
  return "";
}

// Atom lines, type by type: fractional x, y, z in columns 54-62, 63-71,
// 72-80, folded into the cell. Labels count from 1 within each type. Empty,
// or why the atoms cannot be read.
std::string ReadFILE07Atoms(LineReader& in, const CFILE07Types& types, int nAtomSites, CCrystal& crystal) {
  const int nAtomTypes = static_cast<int>(types.names.size());
  for (int t = 0; t < nAtomTypes; ++t) {
    for (int j = 0; j < types.counts[t]; ++j) {
      if (!in.ReadLine()) return Format("the file ends before its %d atoms", nAtomSites);
      const char* line = in.Line();
      // The types are all in place, so the site is added as a record of
      // type t (adding it by type name would look the type up again, and
      // two types may carry the same name).
      CAtomSite site;
      site.iAtomType = t;
      site.iAsymSite = crystal.nAtomAsymSites;
      site.Label = Format("%s%d", types.names[t].c_str(), j + 1);
      site.x = FoldToUnitCell(AtoF(Field(line, 53, 9)));
      site.y = FoldToUnitCell(AtoF(Field(line, 62, 9)));
      site.z = FoldToUnitCell(AtoF(Field(line, 71, 9)));
      site.Occupancy = 1.0;
      crystal.AddAtomAsymSiteRecord(site);
    }
  }
  return "";
}

}  // namespace

CFileSet GetFileSet(const std::string& input) {
  CPathParts parts = SplitPath(input);
  bool bFixedNames = StartsWithNoCase(parts.Base.c_str(), "FILE");
  CFileSet files;
  JoinPath(files.FILE05, parts.Directory, bFixedNames ? "FILE05.DAT" : parts.Base + ".f05");
  JoinPath(files.FILE07, parts.Directory, bFixedNames ? "FILE07.DAT" : parts.Base + ".f07");
  JoinPath(files.FILE09P, parts.Directory, bFixedNames ? "FILE09P.DAT" : parts.Base + ".f9p");
  JoinPath(files.FILE09V, parts.Directory, bFixedNames ? "FILE09V.DAT" : parts.Base + ".f9v");
  files.XSF = input;
  ReplaceExtension(files.XSF, "xsf");
  JoinPath(files.CIFStem, parts.Directory, parts.Base);
  return files;
}

double GetxFactor(const std::string& file05) {
  LineReader in;
  if (!in.Open(file05, LineReader::kText) || !in.ReadLine()) return 1.0;
  if (StartsWithNoCase(in.Line(), "MD")) return 1.0 / 9000.0;
  if (StartsWithNoCase(in.Line(), "XD")) return 1.0 / 2000.0;
  return 1.0;
}

int ReadFILE07(const std::string& path, CCrystal& crystal) {
  LineReader in;
  if (!in.Open(path, LineReader::kText)) return 0;
  crystal.Name = path;
  std::string title;
  int nAtomSites = 0, nAtomTypes = 0;
  std::string error = ReadFILE07Head(in, title, nAtomSites, nAtomTypes);
  if (!error.empty()) return FILE07Error(crystal, path, error);
  // A table that cannot be had leaves the structure empty without a message.
  if (!SizeFILE07Tables(crystal, nAtomSites, nAtomTypes)) {
    ResetToEmpty(crystal);
    return -1;
  }
  crystal.ChemicalName = title;
  CFILE07Types types;
  error = ReadFILE07Types(in, nAtomSites, nAtomTypes, types);
  if (error.empty()) {
    StoreFILE07Types(types, crystal);
    error = ReadFILE07Cell(in, crystal);
  }
  if (error.empty()) error = ReadFILE07Atoms(in, types, nAtomSites, crystal);
  if (!error.empty()) return FILE07Error(crystal, path, error);
  in.Close();
  crystal.SpaceGroup.Initialize();
  crystal.CalculateLatticeVectors();
  // The unit cell lists every atom, so the site and frame counts that follow
  // see the atoms that were read.
  crystal.CopyAsymSitesToSites();
  return 1;
}

int GetnFrameInFile09(const std::string& path, int nAtomSites) {
  LineReader in;
  if (!in.Open(path, LineReader::kBinary)) {
    ReportCanNotRead(path, "Error in CPlimo::GetnFrameInFile09: ");
    return 0;
  }
  int nLines = (nAtomSites - 1) / kAtomsPerLine + 1;
  int nFrames = 0;
  // A frame is its header line and its atom lines; a last frame cut short
  // still counts.
  while (in.ReadLine()) {
    for (int i = 0; i < nLines; ++i) in.ReadLine();
    ++nFrames;
  }
  return nFrames;
}

bool CFILE09PReader::NextChar(char& c) {
  while (pos_ >= reader_.Length()) {
    if (!reader_.ReadLine()) return false;
    pos_ = 0;
  }
  c = reader_.Line()[pos_++];
  return true;
}

// The rest of the line after the last atom, as one more read of a line:
// the remainder of the current piece, or the next line when the piece was
// used up by the last field.
void CFILE09PReader::SkipRestOfLine() {
  if (pos_ < reader_.Length())
    pos_ = reader_.Length();
  else
    reader_.ReadLine();
  pos_ = reader_.Length();
}

bool CFILE09PReader::ReadFrame(int nAtoms, double xFactor, std::vector<double>& xyz) {
  // A frame that does not even begin ends the frames as well.
  if (!reader_.ReadLine()) return false;
  pos_ = reader_.Length();
  xyz.resize(static_cast<size_t>(nAtoms) * 3);
  for (int i = 0; i < nAtoms; ++i) {
    char fields[3 * kFieldWidth];
    // Line ends stand only between atoms.
    do {
      if (!NextChar(fields[0])) return false;
    } while (fields[0] == '\r' || fields[0] == '\n');
    for (int k = 1; k < 3 * kFieldWidth; ++k)
      if (!NextChar(fields[k])) return false;
    for (int f = 0; f < 3; ++f) {
      char field[kFieldWidth + 1];
      std::memcpy(field, fields + kFieldWidth * f, kFieldWidth);
      field[kFieldWidth] = '\0';
      xyz[3 * static_cast<size_t>(i) + f] = AtoF(field) * xFactor;
    }
  }
  SkipRestOfLine();
  return true;
}

void CFILE09VReader::ReadRecord(CCrystal& crystal) {
  // A first line shorter than 40 characters: no record for this step.
  if (!reader_.ReadLine() || reader_.Length() < 40) return;
  crystal.Temperature = AtoF(reader_.Line());
  crystal.Pressure = AtoF(reader_.Line() + 8);
  reader_.ReadLine();
  if (!reader_.ReadLine()) return;
  // Nine-character fields: density, an unused field, a, b, c in Angstrom and
  // the three angles, where 0 stands for 90 degrees.
  const char* line = reader_.Line();
  auto field = [line](int i) { return AtoF(Field(line, static_cast<size_t>(9 * i), 9)); };
  double angles[3];
  for (int i = 0; i < 3; ++i) {
    angles[i] = field(5 + i);
    if (angles[i] == 0) angles[i] = 90.0;
  }
  crystal.Density = field(0);
  crystal.SetLatticeParameters(field(2) * kNmPerAngstrom, field(3) * kNmPerAngstrom, field(4) * kNmPerAngstrom,
                               angles[0], angles[1], angles[2]);
  reader_.ReadLine();
  reader_.ReadLine();
  crystal.CalculateLatticeVectors();
}

namespace {

// The conversion of one run (ConvF09p). FILE07 gives the starting structure;
// a step is a frame of FILE09P, unwrapped so that every atom takes the
// shortest way from its last position, with the record of FILE09V. Only the
// three structures (current, initial, averaged) and one frame of positions
// are held, however many steps the run has.
class CF09pConversion final : public CTrajectoryConversion {
 public:
  CF09pConversion(const CFileSet& files, const CConversionSettings& settings, const CAveragingRange& range,
                  CLayout layout)
      : CTrajectoryConversion(settings, std::move(layout)),
        files_(files),
        range_(range),
        xFactor_(GetxFactor(files.FILE05)),
        accumulator_(NewConverterCrystal(layout_.CrystalName, settings.Databases)) {}

 private:
  void ReadStartingStructure(CCrystal& crystal) override { bStartRead_ = ReadFILE07(files_.FILE07, crystal) == 1; }
  int CountSteps() override { return GetnFrameInFile09(files_.FILE09P, crystal_->nAtomSites); }
  void PrintPlan(const CXSFTrajectory& frames) override;
  bool OpenSteps() override;
  int ReadNextStep(CCrystal& crystal) override;
  void WriteResults() override;

  void TakePositions(CCrystal& crystal) const;
  void AddToAverage(const CCrystal& crystal);
  void WriteAveragedStructure();

  const CFileSet files_;
  const CAveragingRange range_;
  const double xFactor_;
  // The steps averaged, settled with the plan.
  int iAvrFirstStep_ = 0, iAvrLastStep_ = 0;
  CFILE09PReader file09P_;
  CFILE09VReader file09V_;
  std::vector<double> xyz_;
  int iStep_ = 0;  // the step being read
  bool bStartRead_ = false;  // FILE07 gave the structure
  // The sums of the averaged steps' cells and positions.
  std::unique_ptr<CCrystal> accumulator_;
  int avrCount_ = 0;
};

// The plan with the scale of FILE09P and the steps of the averaged
// structure, which the plan's number of steps settles.
void CF09pConversion::PrintPlan(const CXSFTrajectory& frames) {
  iAvrFirstStep_ = range_.iAvrFirstStep > 0 ? range_.iAvrFirstStep : 1;
  iAvrLastStep_ = range_.iAvrLastStep > 0 ? range_.iAvrLastStep : frames.nStep;
  std::printf("nAtomSites: %d  nAtomType: %d\n", crystal_->nAtomSites, crystal_->nAtomTypes);
  std::printf("nStep: %d\n", frames.nStep);
  std::printf("xFactor: %lg\n", xFactor_);
  std::printf("nOutputInterval: %d\n", frames.nOutputInterval);
  std::printf("nOutput: %d\n", frames.nOutput);
  std::printf("For averaged crystal structure: use steps in %d - %d\n", iAvrFirstStep_, iAvrLastStep_);
}

bool CF09pConversion::OpenSteps() {
  if (!file09P_.Open(files_.FILE09P)) {
    ReportCanNotRead(files_.FILE09P);
    return false;
  }
  if (!file09V_.Open(files_.FILE09V)) {
    ReportCanNotRead(files_.FILE09V);
    return false;
  }
  // Without the structure of FILE07 the steps have no atoms to move: the run
  // writes nothing.
  if (!bStartRead_) {
    std::printf("Error in ConvF09p: No structure was read from [%s]: nothing is written.\n", files_.FILE07.c_str());
    return false;
  }
  return true;
}

int CF09pConversion::ReadNextStep(CCrystal& crystal) {
  // A frame cut short ends the steps; the structure keeps the last complete
  // step.
  if (!file09P_.ReadFrame(crystal.nAtomAsymSites, xFactor_, xyz_)) return 0;
  TakePositions(crystal);
  crystal.CopyAsymSitesToSites();
  file09V_.ReadRecord(crystal);
  AddToAverage(crystal);
  ++iStep_;
  return 1;
}

// The frame's positions; after the first step unwrapped: each atom takes
// the shortest way from its last position.
void CF09pConversion::TakePositions(CCrystal& crystal) const {
  for (int i = 0; i < crystal.nAtomAsymSites; ++i) {
    CAtomSite& site = crystal.AtomAsymSites[i];
    double* p[3] = {&site.x, &site.y, &site.z};
    for (int k = 0; k < 3; ++k) {
      double value = xyz_[3 * static_cast<size_t>(i) + k];
      if (iStep_ > 0) {
        double d = FoldToUnitCell(value - *p[k]);
        if (d > 0.5) d -= 1.0;
        value = *p[k] + d;
      }
      *p[k] = value;
    }
    site.Occupancy = 1.0;
    site.Force[0] = site.Force[1] = site.Force[2] = 0;
  }
}

// The first step sets up the sums (types and sites of the structure, cell
// and positions 0); a step in the averaging range adds its cell and
// positions.
void CF09pConversion::AddToAverage(const CCrystal& crystal) {
  CCrystal& sum = *accumulator_;
  if (iStep_ == 0) {
    sum.Copy(crystal);
    for (int i = 0; i < sum.nAtomAsymSites; ++i) {
      CAtomSite& site = sum.AtomAsymSites[i];
      site.x = site.y = site.z = 0;
    }
    sum.SetLatticeParameters(0, 0, 0, 0, 0, 0);
  }
  if (iStep_ < iAvrFirstStep_ || iStep_ > iAvrLastStep_) return;
  const int nTypes = std::min(crystal.nAtomTypes, sum.nMaxAtomTypes);
  for (int i = 0; i < nTypes; ++i) sum.AtomTypes[i] = crystal.AtomTypes[i];
  sum.nAtomTypes = nTypes;
  const int nSites = std::min(crystal.nAtomAsymSites, sum.nAtomAsymSites);
  for (int i = 0; i < nSites; ++i) {
    const CAtomSite& from = crystal.AtomAsymSites[i];
    CAtomSite& to = sum.AtomAsymSites[i];
    to.x += from.x;
    to.y += from.y;
    to.z += from.z;
  }
  sum.a += crystal.a;
  sum.b += crystal.b;
  sum.c += crystal.c;
  sum.alpha += crystal.alpha;
  sum.beta += crystal.beta;
  sum.gamma += crystal.gamma;
  ++avrCount_;
}

// The CIF files of the initial, final and averaged structures, and on
// request the RDFs of the final structure (named as an initial one) and of
// the averaged structure.
void CF09pConversion::WriteResults() {
  std::printf("CIFHeader: %s\n", files_.CIFStem.c_str());
  std::printf("\n");
  WriteInitialAndFinalCIF();
  std::printf("AvrCount: %d\n", avrCount_);
  if (avrCount_ > 0) WriteAveragedStructure();
  if (settings_.RDF.bCalculate) {
    CalculateRDFOf("final", *crystal_, 0);
    if (avrCount_ > 0) CalculateRDFOf("averaged", *accumulator_, 2);
  }
}

// The sums divided by the number of steps averaged, with the final
// structure's formula.
void CF09pConversion::WriteAveragedStructure() {
  CCrystal& avr = *accumulator_;
  for (int i = 0; i < avr.nAtomAsymSites; ++i) {
    CAtomSite& site = avr.AtomAsymSites[i];
    site.x /= avrCount_;
    site.y /= avrCount_;
    site.z /= avrCount_;
  }
  avr.SetLatticeParameters(avr.a / avrCount_, avr.b / avrCount_, avr.c / avrCount_, avr.alpha / avrCount_,
                           avr.beta / avrCount_, avr.gamma / avrCount_);
  avr.FormulaSum = crystal_->FormulaSum;
  avr.CalculateLatticeVectors();
  avr.CopyAsymSitesToSites();
  avr.CalculateDensity();
  WriteStructureCIF("averaged", avr, files_.CIFStem + "-averaged.cif");
}

}  // namespace

int ConvF09p(const std::string& input, const CConversionSettings& settings, const CAveragingRange& range) {
  const CFileSet files = GetFileSet(input);
  std::printf("\n");
  std::printf("Input file  : %s\n", input.c_str());
  std::printf("FILE05 file : %s\n", files.FILE05.c_str());
  std::printf("FILE07 file : %s\n", files.FILE07.c_str());
  std::printf("FILE09P file: %s\n", files.FILE09P.c_str());
  std::printf("FILE09V file: %s\n", files.FILE09V.c_str());
  std::printf("XSF file    : %s\n", files.XSF.c_str());
  std::printf("\n");
  CTrajectoryConversion::CLayout layout;
  layout.Start = CTrajectoryConversion::EStart::kInputFile;
  layout.CrystalName = input;
  layout.XSF = files.XSF;
  layout.CIFStem = files.CIFStem;
  // A positive nLastStep replaces the count, whatever the file holds.
  layout.bLastStepReplaces = true;
  // A run whose first frame is missing still leaves a well-formed file.
  layout.bHeaderAlways = true;
  return CF09pConversion(files, settings, range, std::move(layout)).Run();
}

}  // namespace CPlimo
}  // namespace quorvel
