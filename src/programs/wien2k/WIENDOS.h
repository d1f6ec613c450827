// WIEN2k density of states: the .int file's orbital names and the
// .dos1ev/.dos2ev/.dos3ev files (and their up and dn forms) to CSV tables.
#pragma once

#include <string>

#include "numerics/MyVector.h"

namespace quorvel {

// Range-checked vector of texts (the orbital names).
using CMyTextVector = CMyVectorT<std::string>;

namespace CWIEN {

// The whole conversion for the .int file at intPath: one CSV table for each
// set of DOS files found beside it (non-polarised, spin up, spin down).
// Returns the number of tables written.
int MakeDOSCSVFile(const std::string& intPath);

// Counts the data lines of a DOS file (after its three header lines, up to
// the first empty line) and the DOS columns of its first data line. Returns
// nData, or -1 when the file cannot be read (the outputs are then unchanged).
int GetDOSnData(const std::string& path, int& nData, int& nSpectrum);

// Reads up to nData data lines: the energies into energy, the first nSpectrum
// DOS values of each line (at most 10) into rows firstRow, firstRow + 1, ...
// of dos, column = line index. Nothing is stored outside the vector or the
// matrix. Returns 1, or -1 when the file cannot be read.
int ReadDOSFile(const std::string& path, CMyVector& energy, CMyMatrix& dos, int firstRow, int nSpectrum, int nData);

// Writes the table: the energy and the first nOrbitals rows of dos, one line
// per energy point. Returns 1, or -1 when the file cannot be created.
int CreateDOSCSVFile(const std::string& path, const CMyTextVector& orbitalNames, const CMyVector& energy,
                     const CMyMatrix& dos, int nOrbitals, int nData);

}  // namespace CWIEN

// The action WIENConvDOS on the .int file at path.
int WIENConvDOS(const std::string& path);

}  // namespace quorvel
