#include "programs/wien2k/WIENDOS.h"

#include <cstdio>
#include <vector>

#include "text/LineReader.h"
#include "text/Messages.h"
#include "text/NumberScan.h"
#include "text/OutputFile.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

// A DOS line holds the energy and at most this many DOS values.
constexpr int kMaxSpectraPerLine = 10;

// A table larger than this (orbitals times energy points) is refused rather
// than allocated: real runs stay far below it (tens of orbitals, thousands of
// points), and only a damaged or foreign file asks for more.
constexpr long long kMaxTableValues = 1LL << 26;

// Words are separated by blanks; a tab counts as a blank too.
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// In a trimmed text: the start of the next word after the current one, or
// null when the current word is the last.
const char* NextWord(const char* text) {
  while (*text && !IsBlank(*text)) ++text;
  if (!*text) return nullptr;
  return SkipBlanks(text);
}

// Orbital line of the .int file: "atom  column  name ...". The name is what
// follows the first two words; the first orbital's name ends at its first
// blank (a comment follows it in the files WIEN2k writes), the others keep
// the whole rest of the line. Empty when the line has fewer than three words.
std::string OrbitalName(char* line, bool bFirst) {
  Trim(line);
  const char* second = NextWord(line);
  const char* name = second ? NextWord(second) : nullptr;
  if (!name) return std::string();
  if (!bFirst) return name;
  const char* end = name;
  while (*end && !IsBlank(*end)) ++end;
  return std::string(name, static_cast<size_t>(end - name));
}

bool InRange(const CMyVector& v, int i) { return i >= v.Base() && i < v.Base() + v.Size(); }

struct DOSSet {
  const char* extension[3];
  const char* csvExtension;
  const char* announcement;
};

const DOSSet kDOSSets[] = {
    {{"dos1ev", "dos2ev", "dos3ev"}, "dos.csv", "Create CSV File for non-polarized DOS: %s\n"},
    {{"dos1evup", "dos2evup", "dos3evup"}, "dosup.csv", "Create CSV File for up spin DOS: %s\n"},
    {{"dos1evdn", "dos2evdn", "dos3evdn"}, "dosdn.csv", "Create CSV File for down spin DOS: %s\n"},
};

// The table holds the rows that become CSV columns (one per orbital of the
// .int file). Spectra beyond them are read but never written, so they are
// not kept; columns that no file fills are written as 0. False (with its
// message) when the table is too large: the set is then skipped.
bool AllocateTable(int nOrbitals, int nData, CMyVector& energy, CMyMatrix& dos) {
  bool bAllocated = static_cast<long long>(nOrbitals) * nData <= kMaxTableValues;
  if (bAllocated && nData > 0) {
    bAllocated = energy.SetRange(0, nData - 1) == nData;
    if (bAllocated && nOrbitals > 0) bAllocated = dos.SetSize(nOrbitals, nData) == nOrbitals;
  }
  if (!bAllocated) {
    std::printf("Error in CWIEN::MakeDOSCSVFile: A table of %d orbitals by %d energies is too large. Skipped.\n\n",
                nOrbitals, nData);
    return false;
  }
  for (int i = 0; i < nData; ++i) energy[i] = 0;
  for (int r = 0; r < dos.Rows(); ++r)
    for (int i = 0; i < nData; ++i) dos[r][i] = 0;
  return true;
}

// What became of one set of DOS files.
enum class ESetResult { kWritten, kSkipped, kEnd };

// One set of three DOS files to one CSV table. kEnd when the action must end
// (no spectra at all).
ESetResult ConvertDOSSet(const std::string& intPath, const DOSSet& set, const CMyTextVector& orbitalNames,
                   int nOrbitals) {
  std::string dosPath[3];
  for (int k = 0; k < 3; ++k) {
    dosPath[k] = intPath;
    ReplaceExtension(dosPath[k], set.extension[k]);
  }
  std::printf(".%s: %s\n", set.extension[0], dosPath[0].c_str());
  if (!FileExists(dosPath[0])) {
    std::printf("  dose not exist. Skipped.\n\n");
    return ESetResult::kSkipped;
  }
  std::printf(".%s: %s\n", set.extension[1], dosPath[1].c_str());
  std::printf(".%s: %s\n", set.extension[2], dosPath[2].c_str());

  // A second or third file that cannot be read adds no data and no spectra.
  int nData[3] = {0, 0, 0};
  int nSpectrum[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k) CWIEN::GetDOSnData(dosPath[k], nData[k], nSpectrum[k]);
  const int nTotalSpectrum = nSpectrum[0] + nSpectrum[1] + nSpectrum[2];
  std::printf("  nData     : %d\n", nData[0]);
  std::printf("  nSpectrum1: %d\n", nSpectrum[0]);
  std::printf("  nSpectrum2: %d\n", nSpectrum[1]);
  std::printf("  nSpectrum3: %d\n", nSpectrum[2]);
  std::printf("  nTotalSpectrum: %d\n", nTotalSpectrum);
  if (nTotalSpectrum <= 0) {
    std::printf("\nError: nTotalSpectrum is zero.\n");
    std::printf("Program exited.\n");
    return ESetResult::kEnd;
  }
  if (nTotalSpectrum != nOrbitals)
    std::printf("\nWarning: Data in .int (nOrb=%d) is not consistent with .dos (nTot=%d).\n\n", nOrbitals,
                nTotalSpectrum);

  CMyVector energy;
  CMyMatrix dos;
  if (!AllocateTable(nOrbitals, nData[0], energy, dos)) return ESetResult::kSkipped;

  int firstRow = 0;
  for (int k = 0; k < 3; ++k) {
    CWIEN::ReadDOSFile(dosPath[k], energy, dos, firstRow, nSpectrum[k], nData[k]);
    firstRow += nSpectrum[k];
  }

  std::string csvPath = intPath;
  ReplaceExtension(csvPath, set.csvExtension);
  std::printf(set.announcement, csvPath.c_str());
  const int written = CWIEN::CreateDOSCSVFile(csvPath, orbitalNames, energy, dos, nOrbitals, nData[0]);
  std::printf("\n");
  return written == 1 ? ESetResult::kWritten : ESetResult::kSkipped;
}

}  // namespace

namespace CWIEN {

int MakeDOSCSVFile(const std::string& intPath) {
  LineReader in;
  if (!in.Open(intPath)) {
    ReportCanNotRead(intPath, "Error in CWIEN::MakeDOSCSVFile: ");
    return 0;
  }
  // Two title lines, then the count of DOS cases at the start of line 3.
  in.ReadLine();
  in.ReadLine();
  int nOrbitals = in.ReadLine() ? AtoI(in.Line()) : 0;
  std::printf("nOrbitals: %d\n", nOrbitals);
  // The names are collected as the lines come, so that a count larger than
  // the file (or negative) never sizes anything: the count becomes the number
  // of orbital lines actually read.
  std::vector<std::string> names;
  for (int i = 0; i < nOrbitals && in.ReadLine(); ++i) {
    names.push_back(OrbitalName(in.Line(), i == 0));
    if (!names.back().empty()) std::printf("  Orb[%d]: %s\n", i, names.back().c_str());
  }
  in.Close();
  nOrbitals = static_cast<int>(names.size());
  CMyTextVector orbitalNames;
  if (nOrbitals > 0 && orbitalNames.SetRange(0, nOrbitals - 1) == nOrbitals)
    for (int i = 0; i < nOrbitals; ++i) orbitalNames[i] = names[static_cast<size_t>(i)];

  int nWritten = 0;
  for (const DOSSet& set : kDOSSets) {
    const ESetResult result = ConvertDOSSet(intPath, set, orbitalNames, nOrbitals);
    if (result == ESetResult::kEnd) break;
    if (result == ESetResult::kWritten) ++nWritten;
  }
  return nWritten;
}

int GetDOSnData(const std::string& path, int& nData, int& nSpectrum) {
  LineReader in;
  if (!in.Open(path)) {
    ReportCanNotRead(path, "Error in CWIEN::GetDOSnData: ");
    return -1;
  }
  nData = 0;
  int nWords = 0;
  for (int i = 0; i < 3; ++i) in.ReadLine();
  while (in.ReadLine()) {
    char* line = in.Line();
    Trim(line);
    if (!*line) break;
    if (nData == 0)
      for (const char* word = line; word; word = NextWord(word)) ++nWords;
    ++nData;
  }
  nSpectrum = nWords - 1;
  return nData;
}

int ReadDOSFile(const std::string& path, CMyVector& energy, CMyMatrix& dos, int firstRow, int nSpectrum,
                int nData) {
  LineReader in;
  if (!in.Open(path)) {
    ReportCanNotRead(path, "Error in CWIEN::ReadDOSFile: ");
    return -1;
  }
  for (int i = 0; i < 3; ++i) in.ReadLine();
  // Lines past the end of the table (a file with more energy points than the
  // first of its set) are not read; values that would fall outside the vector
  // or the matrix are dropped.
  const int nColumns = dos.Rows() > 0 ? dos.Columns() : 0;
  const int nRoom = energy.Size() > nColumns ? energy.Size() : nColumns;
  const int nLines = nData < nRoom ? nData : nRoom;
  for (int i = 0; i < nLines; ++i) {
    if (!in.ReadLine()) break;
    double v[1 + kMaxSpectraPerLine];
    const int nRead = ScanNumbers(in.Line(), v, 1 + kMaxSpectraPerLine);
    if (nRead < 1) continue;  // no number on the line: nothing to store
    if (InRange(energy, energy.Base() + i)) energy[energy.Base() + i] = v[0];
    // Spectra past the tenth, and values missing from a short line, keep
    // what the table held (0).
    for (int j = 0; j < nSpectrum && j + 1 < nRead; ++j) {
      const long long row = static_cast<long long>(firstRow) + j;
      if (row < dos.RowBase() || row >= dos.RowBase() + dos.Rows()) continue;
      CMyVector& values = dos[static_cast<int>(row)];
      if (InRange(values, values.Base() + i)) values[values.Base() + i] = v[j + 1];
    }
  }
  return 1;
}

int CreateDOSCSVFile(const std::string& path, const CMyTextVector& orbitalNames, const CMyVector& energy,
                     const CMyMatrix& dos, int nOrbitals, int nData) {
  COutputFile out;
  if (!out.Open(path, "w")) {
    if (!out.Refused()) ReportCanNotWrite(path, "Error in CWIEN::CreateDOSCSVFile: ");
    return -1;
  }
  std::fprintf(out.get(), "Energy(eV)");
  for (int r = 0; r < nOrbitals; ++r) {
    const int iName = orbitalNames.Base() + r;
    const bool bNamed = iName < orbitalNames.Base() + orbitalNames.Size();
    std::fprintf(out.get(), ",%s", bNamed ? orbitalNames[iName].c_str() : "");
  }
  std::fprintf(out.get(), "\n");
  // Only as many lines as the energy vector holds; a column without a row in
  // the table reads 0.
  if (nData > energy.Size()) nData = energy.Size();
  for (int i = 0; i < nData; ++i) {
    std::fprintf(out.get(), "%lg", energy[energy.Base() + i]);
    for (int r = 0; r < nOrbitals; ++r) {
      double value = 0;
      const int row = dos.RowBase() + r;
      if (r < dos.Rows()) {
        const CMyVector& values = dos[row];
        if (InRange(values, values.Base() + i)) value = values[values.Base() + i];
      }
      std::fprintf(out.get(), ",%lg", value);
    }
    std::fprintf(out.get(), "\n");
  }
  return out.Commit("Error in CWIEN::CreateDOSCSVFile: ") ? 1 : -1;
}

}  // namespace CWIEN

// Done when at least one table was written.
int WIENConvDOS(const std::string& path) { return CWIEN::MakeDOSCSVFile(path) > 0 ? 1 : 0; }

}  // namespace quorvel
