#include "programs/vasp/VASPActions.h"

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "analysis/RDF.h"
#include "crystal/Crystal.h"
#include "programs/TrajectoryConversion.h"
#include "programs/vasp/VASP.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

// The text up to its first blank.
std::string CutAtFirstSpace(const std::string& text) { return text.substr(0, text.find(' ')); }

// A structure's title as the stem of file names in the run directory: a
// separator in it ("/vasptmp/8LiH/", "Mg_pv/59") would name a path into
// folders that need not exist, so each becomes '_', and one line says so.
std::string FileStemOf(const std::string& title) {
  std::string stem = title;
  for (char& c : stem)
    if (c == '/' || c == '\\') c = '_';
  if (stem != title) std::printf("The title [%s] names the files as [%s].\n", title.c_str(), stem.c_str());
  return stem;
}

// One structure of VASPConvCONTCAR to CIF and, on request, its RDFs. mode 0
// names the RDF files as those of an initial structure, 1 as a final one.
void WriteStructure(CCrystal& crystal, const std::string& directory, const std::string& name, int mode,
                    const CRDFSettings& rdf) {
  const char* which = mode == 1 ? "final" : "initial";
  std::string cifPath;
  JoinPath(cifPath, directory, name + "-" + which + ".cif");
  WriteStructureCIF(which, crystal, cifPath);
  if (rdf.bCalculate) {
    std::printf("Calculate RDF for %s structure.\n", which);
    CalculateRDF(crystal, rdf, mode);
    if (rdf.CoordinationNumber > 0) CalculateCNRDF(crystal, rdf, mode);
  }
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

  std::unique_ptr<CCrystal> initial = NewConverterCrystal(initialPath, settings.Databases);
  std::unique_ptr<CCrystal> final = NewConverterCrystal(contcarPath, settings.Databases);
  const int initialRead = CVASP::ReadPOSCARFile(initialPath, *initial);
  const int finalRead = CVASP::ReadPOSCARFile(contcarPath, *final);
  std::printf("\n");

  // Both outputs are named after the initial structure's title (None when it
  // could not be read).
  const std::string name = FileStemOf(CutAtFirstSpace(initial->ChemicalName));
  // A structure that could not be read, or holds no atom, writes nothing.
  // The action is done when one of the two is written: a run still going has
  // no CONTCAR yet.
  const bool bInitial = initialRead == 1 && HoldsAtoms(*initial, initialPath);
  const bool bFinal = finalRead == 1 && HoldsAtoms(*final, contcarPath);
  if (bInitial) WriteStructure(*initial, directory, name, 0, settings.RDF);
  if (bFinal) WriteStructure(*final, directory, name, 1, settings.RDF);
  return bInitial || bFinal ? 1 : 0;
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
  title = FileStemOf(CutAtFirstSpace(title));
  std::string xsfPath;
  JoinPath(xsfPath, directory, title + ".xsf");

  std::printf("\n");
  std::printf("Title: %s\n", title.c_str());
  std::printf("POSCAR file : %s\n", poscarPath.c_str());
  std::printf("OUTCAR file : %s\n", outcarPath.c_str());
  std::printf("XSF file    : %s\n", xsfPath.c_str());

  // The starting structure, POSCAR, is read first; only the XSF file is
  // written.
  CTrajectoryConversion::CLayout layout;
  layout.Start = CTrajectoryConversion::EStart::kInputFile;
  layout.XSF = xsfPath;
  layout.CrystalName = outcarPath;
  return CVASP::COUTCARConversion(poscarPath, outcarPath, settings, std::move(layout)).Run();
}

}  // namespace quorvel
