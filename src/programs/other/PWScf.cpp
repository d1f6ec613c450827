#include "programs/other/PWScf.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "analysis/RDF.h"
#include "system/Platform.h"
#include "text/TextUtil.h"
#include "crystal/Crystal.h"
#include "formats/CIFWriter.h"
#include "formats/XSFWriter.h"
#include "numerics/Constants.h"
#include "text/OutputScan.h"

namespace quorvel {

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
    crystal.a = v * 0.1;
  else if (ValueAfter(line, "B = ", v))
    crystal.b = v * 0.1;
  else if (ValueAfter(line, "C = ", v))
    crystal.c = v * 0.1;
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

int CPWScf::ReadInpFile(const std::string& path, CCrystal& crystal) {
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

int CPWScf::ReadNextStep(LineReader& reader, CCrystal& crystal, int nAtoms, std::vector<double>& forces) {
  crystal.nAtomAsymSites = 0;
  crystal.nAtomSites = 0;
  if (nAtoms < 0) nAtoms = 0;
  // A force line without "force =", or one cut short, leaves 0 for what it
  // does not give.
  forces.assign(3 * static_cast<size_t>(nAtoms), 0.0);
  if (ReadUntilContaining(reader, "Forces acting on atoms")) {
    reader.ReadLine();  // the empty line under the title
    for (int k = 0; k < nAtoms && reader.ReadLine(); ++k) {
      const char* p = std::strstr(reader.Line(), "force =");
      if (!p) continue;
      p += 7;
      ScanDoubles(p, &forces[3 * static_cast<size_t>(k)], 3);
    }
  }

  // The block's title may be written in either letter case.
  bool found = false;
  while (!found && reader.ReadLine()) found = StartsWithNoCase(reader.Line(), "ATOMIC_POSITIONS");
  if (found) {
    // A file that ends inside the block (a run cut short) gives the atoms
    // read so far.
    std::string species;
    double xyz[3];
    for (int k = 0; k < nAtoms && reader.ReadLine(); ++k) {
      if (!ScanPositionLine(reader.Line(), species, xyz)) continue;
      const double* f = &forces[3 * static_cast<size_t>(k)];
      crystal.AddAtomAsymSite("", species, 1.0, xyz[0], xyz[1], xyz[2], f[0], f[1], f[2]);
    }
  }
  return crystal.CopyAsymSitesToSites();
}

int CPWScf::UpdateInpFile(const std::string& inputPath, const std::string& updatedPath, const CCrystal& crystal) {
  LineReader in;
  FilePtr out;
  if (!OpenForUpdate(in, inputPath, out, updatedPath, "w", "Error in CPWScf::UpdateInpFile: ")) return -1;
  std::FILE* f = out.get();
  // The 1.0e-15 keeps the cosine of a right angle from printing as -0.
  while (in.ReadLine()) {
    const char* line = in.Line();
    if (std::strstr(line, " A = ")) {
      std::fprintf(f, "    A =  %14.10f,\n", crystal.a * 10.0);
    } else if (std::strstr(line, " B = ")) {
      std::fprintf(f, "    B =  %14.10f,\n", crystal.b * 10.0);
    } else if (std::strstr(line, " C = ")) {
      std::fprintf(f, "    C =  %14.10f,\n", crystal.c * 10.0);
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

int PWScfConvOutput(const std::string& argument, const CConversionSettings& settings) {
  const std::string base = CutAtLastDot(argument);
  std::string inputPath = base + ".inp";
  std::string xsfPath = argument;
  ReplaceExtension(xsfPath, "xsf");
  std::string initialCifPath = base + "-initial.cif";
  std::string finalCifPath = base + "-final.cif";
  std::string updatedPath = inputPath + ".new";

  std::printf("\n");
  std::printf("Input file  : %s\n", inputPath.c_str());
  std::printf("Output file : %s\n", argument.c_str());
  std::printf("XSF file    : %s\n", xsfPath.c_str());

  auto crystal = std::make_unique<CCrystal>();
  auto initial = std::make_unique<CCrystal>();
  for (CCrystal* c : {crystal.get(), initial.get()}) {
    c->Name = argument;
    c->SpaceGroup.Initialize();
    c->Databases = settings.Databases;
  }
  crystal->AllocateAtomTypes(CCrystal::kConverterAtomTypes);
  crystal->AllocateAtomAsymSites(CCrystal::kConverterAtomSites);
  crystal->AllocateAtomSites(CCrystal::kConverterAtomSites);
  // Without an input file the run goes on with an empty crystal.
  CPWScf::ReadInpFile(inputPath, *crystal);
  initial->AllocateAtomTypes(CCrystal::kConverterAtomTypes);
  initial->AllocateAtomAsymSites(CCrystal::kConverterAtomSites);
  initial->AllocateAtomSites(CCrystal::kConverterAtomSites);

  // One pass counts the steps, a second one reads them.
  LineReader output;
  int nStep = 0;
  if (output.Open(argument)) nStep = CountLinesContaining(output, "ATOMIC_POSITIONS");
  CXSFTrajectory frames(settings.Plan, nStep, false);
  nStep = frames.nStep;

  frames.PrintPlan(*crystal);

  if (!output.IsOpen()) {
    std::printf("Can not read [%s].\n", argument.c_str());
    return -1;
  }
  output.Rewind();
  // An output file whose own extension is xsf would be replaced by the XSF
  // file while it is being read.
  if (xsfPath == argument) {
    std::printf("Error in PWScfConvOutput: The XSF file [%s] would replace the output file.\n", xsfPath.c_str());
    return -1;
  }
  // The header announces the frames and comes with the first step: a run
  // without steps leaves the file empty.
  if (!frames.Create(xsfPath)) {
    std::printf("Can not write to [%s].\n", xsfPath.c_str());
    return -1;
  }

  // Every step lists the atoms of the input file.
  const int nAtoms = crystal->nAtomAsymSites;
  std::vector<double> forces;
  for (int i = 0; i < nStep; ++i) {
    CPWScf::ReadNextStep(output, *crystal, nAtoms, forces);
    if (i == 0) initial->Copy(*crystal);
    frames.WriteStep(i, *crystal);
  }
  output.Close();
  frames.Close();
  std::printf("\n");

  std::printf("Make CIFFile of initial structure [%s].\n", initialCifPath.c_str());
  initial->FormulaSum = crystal->FormulaSum;
  WriteCIF(*initial, initialCifPath);
  std::printf("Make CIFFile of final structure [%s].\n", finalCifPath.c_str());
  WriteCIF(*crystal, finalCifPath);

  std::printf("Create update INP file: %s\n", updatedPath.c_str());
  CPWScf::UpdateInpFile(inputPath, updatedPath, *crystal);

  if (settings.RDF.bCalculate) {
    // The final structure's tables are named "-Final-" so that they do not
    // replace those of the initial structure.
    std::printf("Calculate RDF for initial structure.\n");
    CalculateRDF(*initial, settings.RDF, 0);
    std::printf("Calculate RDF for final structure.\n");
    CalculateRDF(*crystal, settings.RDF, 1);
  }
  return 1;
}

}  // namespace quorvel
