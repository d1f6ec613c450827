#include "programs/vasp/VASPActions.h"

#include <cstdio>
#include <memory>

#include "analysis/RDF.h"
#include "text/LineReader.h"
#include "text/TextUtil.h"
#include "crystal/Crystal.h"
#include "formats/CIFWriter.h"
#include "formats/XSFWriter.h"
#include "programs/vasp/VASP.h"

namespace quorvel {

namespace {

// The text up to its first blank.
std::string CutAtFirstSpace(const std::string& text) { return text.substr(0, text.find(' ')); }

// One structure of VASPConvCONTCAR to CIF and, on request, its RDFs. mode 0
// names the RDF files as those of an initial structure, 1 as a final one.
void WriteStructure(CCrystal& crystal, const std::string& directory, const std::string& name, int mode,
                    const CRDFSettings& rdf) {
  const char* which = mode == 1 ? "final" : "initial";
  std::string cifPath;
  JoinPath(cifPath, directory, name + "-" + which + ".cif");
  std::printf("Make CIFFile of %s structure [%s].\n", which, cifPath.c_str());
  WriteCIF(crystal, cifPath);
  if (rdf.bCalculate) {
    std::printf("Calculate RDF for %s structure.\n", which);
    CalculateRDF(crystal, rdf, mode);
    if (rdf.CoordinationNumber > 0) CalculateCNRDF(crystal, rdf, mode);
  }
}

// A crystal on the heap with the run's database paths; the actions hold
// theirs until they return.
std::unique_ptr<CCrystal> NewCrystal(const CDatabasePaths& databases) {
  auto crystal = std::make_unique<CCrystal>();
  crystal->Databases = databases;
  return crystal;
}

}  // namespace

int VASPConvCONTCAR(const std::string& argument, const CConversionSettings& settings) {
  const std::string directory = CVASP::RunDirectory(argument);
  std::string incarPath, potcarPath, initialPath, contcarPath;
  JoinPath(incarPath, directory, "INCAR");
  JoinPath(potcarPath, directory, "POTCAR");
  JoinPath(initialPath, directory, "POSCAR.initial");
  if (!FileExists(initialPath)) JoinPath(initialPath, directory, "POSCAR");
  JoinPath(contcarPath, directory, "CONTCAR");

  std::printf("\n");
  std::printf("INCAR   file : %s\n", incarPath.c_str());
  std::printf("POTCAR  file : %s\n", potcarPath.c_str());
  std::printf("POSCAR  file : %s\n", initialPath.c_str());
  std::printf("CONTCAR file : %s\n", contcarPath.c_str());

  const int coordinationNumber = settings.RDF.CoordinationNumber;
  if (coordinationNumber > 0) std::printf("Coordination Number: %d\n", coordinationNumber);

  std::unique_ptr<CCrystal> initial = NewCrystal(settings.Databases);
  std::unique_ptr<CCrystal> final = NewCrystal(settings.Databases);
  const int initialRead = CVASP::ReadPOSCARFile(initialPath, *initial);
  const int finalRead = CVASP::ReadPOSCARFile(contcarPath, *final);
  std::printf("\n");

  // Both outputs are named after the initial structure's title (None when it
  // could not be read).
  const std::string name = CutAtFirstSpace(initial->ChemicalName);
  if (initialRead == 1) WriteStructure(*initial, directory, name, 0, settings.RDF);
  if (finalRead == 1) WriteStructure(*final, directory, name, 1, settings.RDF);
  return 1;
}

int VASPMakeXSF(const std::string& argument, const CConversionSettings& settings) {
  const std::string directory = CVASP::RunDirectory(argument);
  std::string poscarPath, outcarPath, incarPath;
  JoinPath(poscarPath, directory, "POSCAR");
  JoinPath(outcarPath, directory, "OUTCAR");
  JoinPath(incarPath, directory, "INCAR");

  // Without INCAR or a SYSTEM line in it the file is named after OUTCAR, so
  // that it is visible and says where it came from (an empty title would make
  // the hidden file ".xsf").
  std::string title = "OUTCAR";
  CVASP::ReadINCARTitle(incarPath, title);
  title = CutAtFirstSpace(title);
  std::string xsfPath;
  JoinPath(xsfPath, directory, title + ".xsf");

  std::printf("\n");
  std::printf("Title: %s\n", title.c_str());
  std::printf("POSCAR file : %s\n", poscarPath.c_str());
  std::printf("OUTCAR file : %s\n", outcarPath.c_str());
  std::printf("XSF file    : %s\n", xsfPath.c_str());

  // POSCAR (with POTCAR) gives the atom types and counts of every step.
  std::unique_ptr<CCrystal> crystal = NewCrystal(settings.Databases);
  CVASP::ReadPOSCARFile(poscarPath, *crystal);

  // OUTCAR is read twice through one reader, streamed: once to count the
  // steps, once to convert them.
  LineReader outcar;
  int nStep = outcar.Open(outcarPath) ? CVASP::CountIonicSteps(outcar) : 0;
  CXSFTrajectory frames(settings.Plan, nStep, false);
  nStep = frames.nStep;

  frames.PrintPlan(*crystal);

  if (!outcar.IsOpen()) {
    std::printf("Can not read [%s].\n", outcarPath.c_str());
    return -1;
  }
  // The header announces nOutput frames; an OUTCAR without any step leaves
  // the file empty.
  if (!frames.Create(xsfPath)) {
    std::printf("Can not write to [%s].\n", xsfPath.c_str());
    return -1;
  }

  for (int i = 0; i < nStep; ++i) {
    if (CVASP::ReadNextCrystalStructureFromOUTCAR(outcar, *crystal) <= 0) break;
    frames.WriteStep(i, *crystal);
  }
  return 1;
}

}  // namespace quorvel
