// Reading the files of a VASP run: POSCAR/CONTCAR with the POTCAR beside it,
// the title of INCAR, and the ionic steps of OUTCAR.
#pragma once

#include <string>

namespace quorvel {
class CCrystal;
class LineReader;

namespace CVASP {

// Reads a POSCAR-layout file (POSCAR, POSCAR.initial or CONTCAR) into the
// crystal; the element names come from the POTCAR in the same directory. The
// crystal must hold the run's database paths. 1 when the structure file was
// read, -1 when it cannot be opened.
int ReadPOSCARFile(const std::string& path, CCrystal& crystal);

// Sets title to the text after the '=' of INCAR's first SYSTEM line. The title
// is left as it was when INCAR cannot be opened or has no such line.
void ReadINCARTitle(const std::string& incarPath, std::string& title);

// The number of ionic steps in an open OUTCAR: the lines holding both
// "POSITION" and "TOTAL-FORCE". Reads the whole file and rewinds it.
int CountIonicSteps(LineReader& outcar);

// Reads the next ionic step (cell, positions and forces) of an OUTCAR into a
// crystal that ReadPOSCARFile has given the atom types and their counts.
// 1 when a whole step was read; 0, after a message, when the file ends inside
// the step or its position table disagrees with the atom counts.
int ReadNextCrystalStructureFromOUTCAR(LineReader& outcar, CCrystal& crystal);

// The run directory an action argument names: the argument up to its last
// separator, or the argument itself when it holds none.
std::string RunDirectory(const std::string& argument);


}  // namespace CVASP
}  // namespace quorvel
