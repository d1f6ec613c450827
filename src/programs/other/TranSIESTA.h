// TranSIESTA-C / ATK electronic-transport runs: the structure relaxation in
// the output log to an animated XSF file, CIF files of the first and last
// structures and an updated .atk input file.
#pragma once

#include <string>
#include "programs/Conversion.h"

namespace quorvel {
class CCrystal;
class LineReader;

namespace TranSIESTA {

// The lattice vectors of the starting structure as the log gives them (rows
// a, b, c; nm). Cartesian positions are converted to fractional ones with
// this cell rather than with the crystal's vectors, which are rebuilt in the
// standard orientation (a along x, b in the xy plane): the two agree only
// when the log's cell already lies that way.
struct CLogCell {
  double Vector[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};

  // Fractional coordinates of a Cartesian position (nm). 1, or 0 with the
  // minver message when the cell is singular (the outputs are then 0).
  int CartesianToFractional(double x, double y, double z, double& fx, double& fy, double& fz) const;
};

// Reads the starting structure (cell and atom list echoed at the start of the
// log) into crystal, from the beginning of the log. 1, or -1 with a message
// when the log holds no UnitCell::LatticeConstant line.
int ReadInitialCrystalStructureFromOutput(LineReader& log, CCrystal& crystal, CLogCell& cell);

// Reads the next step (forces-table or coordinate-update dialect) into
// crystal; electrode atoms of a two-probe run keep their positions in
// initial. Always 1.
int ReadNextCrystalStructureFromOutput(LineReader& log, CCrystal& crystal, const CCrystal& initial,
                                       const CLogCell& cell);

// Writes "<atkPath>.new": the .atk file with the crystal's cell and its bulk
// atom list. 1, or -1 (with its message) when a file cannot be opened.
int UpdateAtkFile(const std::string& atkPath, const CCrystal& crystal);

}  // namespace TranSIESTA

// The action TranSIESTAConvOutput on the output log. 1, or -1 when the log
// cannot be read, holds no cell, is itself named like the XSF file, or the XSF
// file cannot be created.
int TranSIESTAConvOutput(const std::string& argument, const CConversionSettings& settings);

}  // namespace quorvel
