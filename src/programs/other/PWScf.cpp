#include "programs/other/PWScf.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "crystal/Crystal.h"
#include "numerics/Constants.h"
#include "programs/TrajectoryConversion.h"
#include "system/Platform.h"
#include "text/LineReader.h"
#include "text/Messages.h"
#include "text/OutputScan.h"
#include "text/TextUtil.h"

namespace quorvel {
namespace CPWScf {

namespace {

// The value after a pattern such as "A = " in a line, or false when the line
// does not hold the pattern.
bool ValueAfter(const char* line, const char* pattern, double& value) {
  const char* p = std::strstr(line, pattern);
  if (!p) return false;
  value = AtoF(p + std::strlen(pattern));
  return true;
}

// One cell line of the &SYSTEM namelist; the first pattern found decides.
// The patterns need one blank on each side of the '=' (A=5.43 sets nothing).
void ReadCellLine(const char* line, CCrystal& crystal) {
  double v = 0;
  if (ValueAfter(line, "cosBC = ", v))
    crystal.alpha = std::acos(v) * kRadToDeg;
  else if (ValueAfter(line, "cosAC = ", v))
    crystal.beta = std::acos(v) * kRadToDeg;
  else if (ValueAfter(line, "cosAB = ", v))
    crystal.gamma = std::acos(v) * kRadToDeg;
  else if (ValueAfter(line, "A = ", v))
    crystal.a = v * kNmPerAngstrom;
  else if (ValueAfter(line, "B = ", v))
    crystal.b = v * kNmPerAngstrom;
  else if (ValueAfter(line, "C = ", v))
    crystal.c = v * kNmPerAngstrom;
}

// A position line "species x y z". Lines without a species name (blank lines
// between the cards) give no atom; numbers missing after the name are 0.
bool ScanPositionLine(const char* line, std::string& species, double xyz[3]) {
  const char* p = line;
  const char* word = nullptr;
  size_t length = 0;
  if (!ScanWord(p, word, length)) return false;
  species.assign(word, length);
  ScanDoubles(p, xyz, 3);
  return true;
}

}  // namespace

int ReadInpFile(const std::string& path, CCrystal& crystal) {
  LineReader reader;
  if (!reader.Open(path)) {
    std::printf("Error: Can not read [%s]\n", path.c_str());
    return -1;
  }
  // Each search starts where the previous one stopped; a search that meets
  // the end of the file leaves nothing for the later ones.
  if (ReadUntilContaining(reader, "title=")) {
    std::string title = std::strstr(reader.Line(), "title=") + 6;
    StripQuotes(title);
    crystal.ChemicalName = title;
  }

  // The cell namelist ends at the first line holding a '/'. Its lines are
  // read like every other line, in pieces of at most 4095 characters.
  if (ReadUntilContaining(reader, "&SYSTEM")) {
    while (reader.ReadLine() && !std::strchr(reader.Line(), '/')) ReadCellLine(reader.Line(), crystal);
  }

  std::string name;
  if (ReadUntilContaining(reader, "ATOMIC_SPECIES")) {
    while (reader.ReadLine() && !std::strstr(reader.Line(), "ATOMIC_POSITIONS")) {
      // "name mass pseudopotential": only the name is used. A line without
      // a name (a blank line) adds no type.
      const char* p = reader.Line();
      const char* word = nullptr;
      size_t length = 0;
      if (!ScanWord(p, word, length)) continue;
      name.assign(word, length);
      crystal.AddAtomType(name, 0.0, true);
    }
  }

  // Positions are taken as fractional coordinates, whatever unit the
  // ATOMIC_POSITIONS line names. The block ends at K_POINTS.
  double xyz[3];
  while (reader.ReadLine() && !std::strstr(reader.Line(), "K_POINTS")) {
    if (!ScanPositionLine(reader.Line(), name, xyz)) continue;
    crystal.AddAtomAsymSite("", name, 1.0, xyz[0], xyz[1], xyz[2], 0.0, 0.0, 0.0);
  }

  crystal.CalculateLatticeVectors();
  crystal.CopyAsymSitesToSites();
  return 1;
}

int UpdateInpFile(const std::string& inputPath, const std::string& updatedPath, const CCrystal& crystal) {
  LineReader in;
  FilePtr out;
  if (!OpenForUpdate(in, inputPath, out, updatedPath, "w", "Error in CPWScf::UpdateInpFile: ")) return -1;
  std::FILE* f = out.get();
  // The 1.0e-15 keeps the cosine of a right angle from printing as -0.
  while (in.ReadLine()) {
    const char* line = in.Line();
    if (std::strstr(line, " A = ")) {
      std::fprintf(f, "    A =  %14.10f,\n", crystal.a * kAngstromPerNm);
    } else if (std::strstr(line, " B = ")) {
      std::fprintf(f, "    B =  %14.10f,\n", crystal.b * kAngstromPerNm);
    } else if (std::strstr(line, " C = ")) {
      std::fprintf(f, "    C =  %14.10f,\n", crystal.c * kAngstromPerNm);
    } else if (std::strstr(line, "cosAB = ")) {
      std::fprintf(f, "    cosAB = %14.10f ,\n", std::cos(crystal.gamma * kDegToRad) + 1.0e-15);
    } else if (std::strstr(line, "cosAC = ")) {
      std::fprintf(f, "    cosAC = %14.10f ,\n", std::cos(crystal.beta * kDegToRad) + 1.0e-15);
    } else if (std::strstr(line, "cosBC = ")) {
      std::fprintf(f, "    cosBC = %14.10f ,\n", std::cos(crystal.alpha * kDegToRad) + 1.0e-15);
    } else if (std::strstr(line, "ATOMIC_POSITIONS")) {
      std::fwrite(line, 1, in.Length(), f);
      // One line of the old block is dropped for every site written.
      for (int i = 0; i < crystal.nAtomSites; ++i) {
        in.ReadLine();
        const CAtomSite& site = crystal.AtomSites[static_cast<size_t>(i)];
        std::fprintf(f, " %6s  %14.10f  %14.10f  %14.10f\n", crystal.GetAtomTypeName(site).c_str(), site.x, site.y,
                     site.z);
      }
    } else {
      std::fwrite(line, 1, in.Length(), f);
    }
  }
  return 1;
}

namespace {

// The conversion of a run (PWScfConvOutput). The input file gives the
// starting structure; a step is a force block of the output file with the
// ATOMIC_POSITIONS block after it, each listing the atoms of the input file.
class COutputConversion final : public CTrajectoryConversion {
 public:
  COutputConversion(const std::string& outputPath, const std::string& inputPath, const CConversionSettings& settings,
                    CLayout layout)
      : CTrajectoryConversion(settings, std::move(layout)), outputPath_(outputPath), inputPath_(inputPath) {}

 private:
  void ReadStartingStructure(CCrystal& crystal) override {
    // Without an input file the run goes on with an empty crystal.
    ReadInpFile(inputPath_, crystal);
    nAtoms_ = std::max(crystal.nAtomAsymSites, 0);
  }
  // One pass counts the steps, a second one reads them.
  int CountSteps() override {
    return output_.Open(outputPath_) ? CountLinesContaining(output_, "ATOMIC_POSITIONS") : 0;
  }
  bool OpenSteps() override;
  int ReadNextStep(CCrystal& crystal) override;
  void WriteMoreFiles() override {
    const std::string updatedPath = inputPath_ + ".new";
    std::printf("Create update INP file: %s\n", updatedPath.c_str());
    UpdateInpFile(inputPath_, updatedPath, *crystal_);
  }

  const std::string outputPath_, inputPath_;
  LineReader output_;
  int nAtoms_ = 0;
  std::vector<double> forces_;  // of the step being read, kept across steps
};

bool COutputConversion::OpenSteps() {
  if (!output_.IsOpen()) {
    ReportCanNotRead(outputPath_);
    return false;
  }
  output_.Rewind();
  // An output file whose own extension is xsf would be replaced by the XSF
  // file while it is being read.
  if (layout_.XSF == outputPath_) {
    std::printf("Error in PWScfConvOutput: The XSF file [%s] would replace the output file.\n", layout_.XSF.c_str());
    return false;
  }
  return true;
}

// The forces of the next "Forces acting on atoms" block and the positions of
// the ATOMIC_POSITIONS block after it, nAtoms lines each; the step's atoms
// replace the crystal's sites. A step cut short keeps the atoms read.
int COutputConversion::ReadNextStep(CCrystal& crystal) {
  crystal.nAtomAsymSites = 0;
  crystal.nAtomSites = 0;
  // A force line without "force =", or one cut short, leaves 0 for what it
  // does not give.
  forces_.assign(3 * static_cast<size_t>(nAtoms_), 0.0);
  if (ReadUntilContaining(output_, "Forces acting on atoms")) {
    output_.ReadLine();  // the empty line under the title
    for (int k = 0; k < nAtoms_ && output_.ReadLine(); ++k) {
      const char* p = std::strstr(output_.Line(), "force =");
      if (!p) continue;
      p += 7;
      ScanDoubles(p, &forces_[3 * static_cast<size_t>(k)], 3);
    }
  }

  // The block's title may be written in either letter case.
  bool found = false;
  while (!found && output_.ReadLine()) found = StartsWithNoCase(output_.Line(), "ATOMIC_POSITIONS");
  if (found) {
    // A file that ends inside the block (a run cut short) gives the atoms
    // read so far.
    std::string species;
    double xyz[3];
    for (int k = 0; k < nAtoms_ && output_.ReadLine(); ++k) {
      if (!ScanPositionLine(output_.Line(), species, xyz)) continue;
      const double* f = &forces_[3 * static_cast<size_t>(k)];
      crystal.AddAtomAsymSite("", species, 1.0, xyz[0], xyz[1], xyz[2], f[0], f[1], f[2]);
    }
  }
  crystal.CopyAsymSitesToSites();
  return 1;
}

}  // namespace
}  // namespace CPWScf

int PWScfConvOutput(const std::string& argument, const CConversionSettings& settings) {
  const std::string base = CutAtLastDot(argument);
  auto layout = CTrajectoryConversion::CLayout::ForOutput(CTrajectoryConversion::EStart::kInputFile, argument, argument);
  const std::string inputPath = base + ".inp";

  std::printf("\n");
  std::printf("Input file  : %s\n", inputPath.c_str());
  std::printf("Output file : %s\n", argument.c_str());
  std::printf("XSF file    : %s\n", layout.XSF.c_str());
  return CPWScf::COutputConversion(argument, inputPath, settings, std::move(layout)).Run();
}

}  // namespace quorvel
