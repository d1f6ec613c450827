// Reading the files of a VASP run: POSCAR/CONTCAR with the POTCAR beside it,
// the title of INCAR, and the ionic steps of OUTCAR.
#pragma once

#include <string>

#include "programs/TrajectoryConversion.h"
#include "text/LineReader.h"

namespace quorvel {
class CCrystal;

namespace CVASP {

// Reads a POSCAR-layout file (POSCAR, POSCAR.initial or CONTCAR) into a
// crystal made by NewConverterCrystal; the element names come from the
// POTCAR in the same directory. 1 when the structure file was read, -1 when
// it cannot be opened.
int ReadPOSCARFile(const std::string& path, CCrystal& crystal);

// Sets title to the text after the '=' of INCAR's first SYSTEM line. The title
// is left as it was when INCAR cannot be opened or has no such line.
void ReadINCARTitle(const std::string& incarPath, std::string& title);

// The run directory an action argument names: the argument up to its last
// separator, or the argument itself when it holds none.
std::string RunDirectory(const std::string& argument);

// The ionic steps of OUTCAR as an XSF trajectory (VASPMakeXSF). POSCAR, with
// the POTCAR beside it, gives the atom types and their counts, which every
// step lists; a step is a cell block with the position table after it. A
// step that is cut short or has no cell block ends the conversion, after a
// message. Only the XSF file is written.
class COUTCARConversion final : public CTrajectoryConversion {
 public:
  COUTCARConversion(const std::string& poscarPath, const std::string& outcarPath, const CConversionSettings& settings,
                    CLayout layout);

 private:
  void ReadStartingStructure(CCrystal& crystal) override;
  int CountSteps() override;
  bool OpenSteps() override;
  int ReadNextStep(CCrystal& crystal) override;
  void WriteResults() override {}

  const std::string poscarPath_, outcarPath_;
  LineReader outcar_;
};

}  // namespace CVASP
}  // namespace quorvel
