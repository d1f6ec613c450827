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
#include <vector>

#include "analysis/RDF.h"
#include "system/Platform.h"
#include "text/TextUtil.h"
#include "crystal/Crystal.h"
#include "formats/CIFWriter.h"
#include "formats/XSFWriter.h"

namespace quorvel {

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
  crystal.AllocateAtomTypes(CCrystal::kConverterAtomTypes);
  crystal.AllocateAtomAsymSites(CCrystal::kConverterAtomSites);
  crystal.AllocateAtomSites(CCrystal::kConverterAtomSites);
}

void PrepareStructure(CCrystal& crystal, const std::string& name, const CDatabasePaths& databases) {
  crystal.Name = name;
  crystal.Databases = databases;
  ResetToEmpty(crystal);
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

}  // namespace

CPlimo::CFileSet CPlimo::GetFileSet(const std::string& input) {
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

double CPlimo::GetxFactor(const std::string& file05) {
  LineReader in;
  if (!in.Open(file05, LineReader::kText) || !in.ReadLine()) return 1.0;
  if (StartsWithNoCase(in.Line(), "MD")) return 1.0 / 9000.0;
  if (StartsWithNoCase(in.Line(), "XD")) return 1.0 / 2000.0;
  return 1.0;
}

int CPlimo::ReadFILE07(const std::string& path, CCrystal& crystal) {
  LineReader in;
  if (!in.Open(path, LineReader::kText)) return 0;
  crystal.Name = path;
  const std::string kEnds = "the file ends early";

  // Title and the two counts.
  if (!in.ReadLine()) return FILE07Error(crystal, path, kEnds);
  std::string title = in.Line();
  Trim(title);
  if (!in.ReadLine()) return FILE07Error(crystal, path, kEnds);
  long long nAtoms = 0, nTypes = 0;
  {
    char* p = in.Line();
    char* end = nullptr;
    errno = 0;
    nAtoms = std::strtoll(p, &end, 10);
    bool bOk = end != p && errno == 0;
    p = end;
    nTypes = std::strtoll(p, &end, 10);
    bOk = bOk && end != p && errno == 0;
    if (!bOk) return FILE07Error(crystal, path, "line 2 does not hold the numbers of atoms and atom types");
  }
  if (nAtoms < 0 || nAtoms > kMaxFILE07Atoms || nTypes < 0 || nTypes > kMaxFILE07AtomTypes)
    return FILE07Error(crystal, path,
                       Format("nAtomSites [%lld] or nAtomTypes [%lld] is out of range (0 to %d and 0 to %d)", nAtoms,
                              nTypes, kMaxFILE07Atoms, kMaxFILE07AtomTypes));
  int nAtomSites = static_cast<int>(nAtoms), nAtomTypes = static_cast<int>(nTypes);

  // Tables sized to the declared counts. A table that cannot be had leaves
  // the structure empty without a message.
  if (crystal.AllocateAtomTypes(nAtomTypes) != nAtomTypes || crystal.nMaxAtomTypes != nAtomTypes ||
      crystal.AllocateAtomAsymSites(nAtomSites) != nAtomSites || crystal.nMaxAtomAsymSites != nAtomSites) {
    ResetToEmpty(crystal);
    return -1;
  }
  // The unit cell lists the same atoms, so it must hold them all as well.
  if (nAtomSites > crystal.nMaxAtomSites && crystal.AllocateAtomSites(nAtomSites) != nAtomSites) {
    ResetToEmpty(crystal);
    return -1;
  }
  crystal.ChemicalName = title;

  // Type names, then the number of atoms of each type.
  CWordReader words(in);
  std::vector<std::string> names(static_cast<size_t>(nAtomTypes));
  for (int i = 0; i < nAtomTypes; ++i)
    if (!words.Next(names[i])) return FILE07Error(crystal, path, kEnds);
  words.SkipRestOfLine();
  std::vector<int> counts(static_cast<size_t>(nAtomTypes));
  long long sum = 0;
  for (int i = 0; i < nAtomTypes; ++i) {
    std::string word;
    if (!words.Next(word)) return FILE07Error(crystal, path, kEnds);
    long long n = 0;
    if (!ParseCount(word, n))
      return FILE07Error(crystal, path, Format("the number of atoms of type %s is not a number: [%s]",
                                               names[i].c_str(), word.c_str()));
    if (n < 0 || n > nAtomSites)
      return FILE07Error(crystal, path, Format("the number of atoms of type %s [%lld] is not between 0 and %d",
                                               names[i].c_str(), n, nAtomSites));
    counts[i] = static_cast<int>(n);
    sum += n;
  }
  words.SkipRestOfLine();
  if (sum != nAtomSites)
    return FILE07Error(crystal, path,
                       Format("the atoms of the types add up to %lld, not to nAtomSites [%d]", sum, nAtomSites));
  for (int i = 0; i < nAtomTypes; ++i) {
    CAtomType& type = crystal.AtomTypes[i];
    type = CAtomType();
    type.Name = names[i];
    type.Label = names[i];
    type.AtomicNumber = i + 1;  // types are numbered in file order; the XSF file shows them so
    type.Charge = 0;
    crystal.nAtomsInFormula[i] = counts[i];
  }
  crystal.nAtomTypes = nAtomTypes;

  // Three lines, then the cell: an unused number and a, b, c in Angstrom.
  for (int i = 0; i < 3; ++i)
    if (!in.ReadLine()) return FILE07Error(crystal, path, kEnds);
  if (!in.ReadLine()) return FILE07Error(crystal, path, kEnds);
  double unused, a, b, c;
  if (std::sscanf(in.Line(), "%lg %lg %lg %lg", &unused, &a, &b, &c) < 4)
    return FILE07Error(crystal, path, "the cell line does not hold four numbers");
  crystal.SetLatticeParameters(a * 0.1, b * 0.1, c * 0.1, 90.0, 90.0, 90.0);
  // One more line; an "H-TENSOR" line has three more lines after it.
  if (!in.ReadLine()) return FILE07Error(crystal, path, kEnds);
  if (std::strstr(in.Line(), "H-TENSOR"))
    for (int i = 0; i < 3; ++i)
      if (!in.ReadLine()) return FILE07Error(crystal, path, kEnds);

  // Atom lines, type by type: fractional x, y, z in columns 54-62, 63-71,
  // 72-80, folded into the cell. Labels count from 1 within each type.
  for (int t = 0; t < nAtomTypes; ++t) {
    for (int j = 0; j < counts[t]; ++j) {
      if (!in.ReadLine())
        return FILE07Error(crystal, path, Format("the file ends before its %d atoms", nAtomSites));
      const char* line = in.Line();
      double x = FoldToUnitCell(AtoF(Field(line, 53, 9)));
      double y = FoldToUnitCell(AtoF(Field(line, 62, 9)));
      double z = FoldToUnitCell(AtoF(Field(line, 71, 9)));
      // The types are all in place, so the site is added as a record of
      // type t (adding it by type name would look the type up again, and
      // two types may carry the same name).
      CAtomSite site;
      site.iAtomType = t;
      site.iAsymSite = crystal.nAtomAsymSites;
      site.Label = Format("%s%d", names[t].c_str(), j + 1);
      site.x = x;
      site.y = y;
      site.z = z;
      site.Occupancy = 1.0;
      crystal.AddAtomAsymSiteRecord(site);
    }
  }
  in.Close();
  crystal.SpaceGroup.Initialize();
  crystal.CalculateLatticeVectors();
  // The unit cell lists every atom, so the site and frame counts that follow
  // see the atoms that were read.
  crystal.CopyAsymSitesToSites();
  return 1;
}

int CPlimo::GetnFrameInFile09(const std::string& path, int nAtomSites) {
  LineReader in;
  if (!in.Open(path, LineReader::kBinary)) {
    std::printf("Error in CPlimo::GetnFrameInFile09: Can not read [%s].\n", path.c_str());
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
  crystal.SetLatticeParameters(field(2) * 0.1, field(3) * 0.1, field(4) * 0.1, angles[0], angles[1], angles[2]);
  reader_.ReadLine();
  reader_.ReadLine();
  crystal.CalculateLatticeVectors();
}

int CPlimo::ConvF09p(const std::string& input, const CConversionSettings& settings, const CAveragingRange& range) {
  // The three structures are large records; they live on the heap.
  auto current = std::make_unique<CCrystal>();
  auto initial = std::make_unique<CCrystal>();
  auto accumulator = std::make_unique<CCrystal>();
  PrepareStructure(*current, input, settings.Databases);
  PrepareStructure(*initial, input, settings.Databases);
  PrepareStructure(*accumulator, input, settings.Databases);

  CFileSet files = GetFileSet(input);
  std::printf("\n");
  std::printf("Input file  : %s\n", input.c_str());
  std::printf("FILE05 file : %s\n", files.FILE05.c_str());
  std::printf("FILE07 file : %s\n", files.FILE07.c_str());
  std::printf("FILE09P file: %s\n", files.FILE09P.c_str());
  std::printf("FILE09V file: %s\n", files.FILE09V.c_str());
  std::printf("XSF file    : %s\n", files.XSF.c_str());
  std::printf("\n");

  ReadFILE07(files.FILE07, *current);

  int nStep = GetnFrameInFile09(files.FILE09P, current->nAtomSites);
  // A positive nLastStep replaces the count, whatever the file holds.
  CXSFTrajectory frames(settings.Plan, nStep, true);
  nStep = frames.nStep;
  double xFactor = GetxFactor(files.FILE05);
  int iAvrFirstStep = range.iAvrFirstStep;
  if (iAvrFirstStep <= 0) iAvrFirstStep = 1;
  int iAvrLastStep = range.iAvrLastStep;
  if (iAvrLastStep <= 0) iAvrLastStep = nStep;
  std::printf("nAtomSites: %d  nAtomType: %d\n", current->nAtomSites, current->nAtomTypes);
  std::printf("nStep: %d\n", nStep);
  std::printf("xFactor: %lg\n", xFactor);
  std::printf("nOutputInterval: %d\n", frames.nOutputInterval);
  std::printf("nOutput: %d\n", frames.nOutput);
  std::printf("For averaged crystal structure: use steps in %d - %d\n", iAvrFirstStep, iAvrLastStep);

  int AvrCount = 0;
  {
    CFILE09PReader file09P;
    if (!file09P.Open(files.FILE09P)) {
      std::printf("Can not read [%s].\n", files.FILE09P.c_str());
      return -1;
    }
    CFILE09VReader file09V;
    if (!file09V.Open(files.FILE09V)) {
      std::printf("Can not read [%s].\n", files.FILE09V.c_str());
      return -1;
    }
    // The header (ANIMSTEPS nOutput) is written as the file is created, so
    // a run whose first frame is missing still leaves a well-formed file.
    if (!frames.Create(files.XSF, true)) {
      std::printf("Can not write to [%s].\n", files.XSF.c_str());
      return -1;
    }

    // Only the three structures and one frame of positions are held,
    // however many steps the run has.
    std::vector<double> xyz;
    for (int step = 0; step < nStep; ++step) {
      // A frame cut short ends the loop; the structure keeps the last
      // complete step.
      if (!file09P.ReadFrame(current->nAtomAsymSites, xFactor, xyz)) break;
      for (int i = 0; i < current->nAtomAsymSites; ++i) {
        CAtomSite& site = current->AtomAsymSites[i];
        double* p[3] = {&site.x, &site.y, &site.z};
        for (int k = 0; k < 3; ++k) {
          double value = xyz[3 * static_cast<size_t>(i) + k];
          if (step > 0) {
            // Unwrapped: the atom takes the shortest way from its last position.
            double d = FoldToUnitCell(value - *p[k]);
            if (d > 0.5) d -= 1.0;
            value = *p[k] + d;
          }
          *p[k] = value;
        }
        site.Occupancy = 1.0;
        site.Force[0] = site.Force[1] = site.Force[2] = 0;
      }
      current->CopyAsymSitesToSites();
      file09V.ReadRecord(*current);

      if (step == 0) initial->Copy(*current);
      frames.WriteStep(step, *current);
      if (step == 0) {
        accumulator->Copy(*current);
        for (int i = 0; i < accumulator->nAtomAsymSites; ++i) {
          CAtomSite& site = accumulator->AtomAsymSites[i];
          site.x = site.y = site.z = 0;
        }
        accumulator->SetLatticeParameters(0, 0, 0, 0, 0, 0);
      }
      if (iAvrFirstStep <= step && step <= iAvrLastStep) {
        int nTypes = std::min(current->nAtomTypes, accumulator->nMaxAtomTypes);
        for (int i = 0; i < nTypes; ++i) accumulator->AtomTypes[i] = current->AtomTypes[i];
        accumulator->nAtomTypes = nTypes;
        int nSites = std::min(current->nAtomAsymSites, accumulator->nAtomAsymSites);
        for (int i = 0; i < nSites; ++i) {
          const CAtomSite& from = current->AtomAsymSites[i];
          CAtomSite& to = accumulator->AtomAsymSites[i];
          to.x += from.x;
          to.y += from.y;
          to.z += from.z;
        }
        accumulator->a += current->a;
        accumulator->b += current->b;
        accumulator->c += current->c;
        accumulator->alpha += current->alpha;
        accumulator->beta += current->beta;
        accumulator->gamma += current->gamma;
        ++AvrCount;
      }
    }
    frames.Close();
  }

  std::printf("CIFHeader: %s\n", files.CIFStem.c_str());
  std::printf("\n");
  std::string initialCIF = files.CIFStem + "-initial.cif";
  initial->FormulaSum = current->FormulaSum;
  std::printf("Make CIFFile of initial structure [%s].\n", initialCIF.c_str());
  WriteCIF(*initial, initialCIF);

  std::string finalCIF = files.CIFStem + "-final.cif";
  std::printf("Make CIFFile of final structure [%s].\n", finalCIF.c_str());
  WriteCIF(*current, finalCIF);

  std::printf("AvrCount: %d\n", AvrCount);
  if (AvrCount > 0) {
    for (int i = 0; i < accumulator->nAtomAsymSites; ++i) {
      CAtomSite& site = accumulator->AtomAsymSites[i];
      site.x /= AvrCount;
      site.y /= AvrCount;
      site.z /= AvrCount;
    }
    CCrystal& avr = *accumulator;
    avr.SetLatticeParameters(avr.a / AvrCount, avr.b / AvrCount, avr.c / AvrCount, avr.alpha / AvrCount,
                             avr.beta / AvrCount, avr.gamma / AvrCount);
    avr.FormulaSum = current->FormulaSum;
    avr.CalculateLatticeVectors();
    avr.CopyAsymSitesToSites();
    avr.CalculateDensity();
    std::string averagedCIF = files.CIFStem + "-averaged.cif";
    std::printf("Make CIFFile of averaged structure [%s].\n", averagedCIF.c_str());
    WriteCIF(avr, averagedCIF);
  }

  if (settings.RDF.bCalculate) {
    std::printf("Calculate RDF for final structure.\n");
    CalculateRDF(*current, settings.RDF, 0);
    if (AvrCount > 0) {
      std::printf("Calculate RDF for averaged structure.\n");
      CalculateRDF(*accumulator, settings.RDF, 2);
    }
  }
  return 1;
}

}  // namespace quorvel
