#include "programs/wien2k/WIENDOS.h"

#include <gtest/gtest.h>

#include <string>

#include "app/TextUtil.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

const char kHeader[] =
    "#  BAND   44          \n"
    "#EF=   0.00000     NDOS= 3     NENRG= 1000    Gaussian bradening: 0.00300\n"
    "# ENERGY    1:total        1:s            1:p\n";

std::string Capture(void (*body)(const std::string&), const std::string& arg) {
  testing::internal::CaptureStdout();
  body(arg);
  return testing::internal::GetCapturedStdout();
}

CMyMatrix FilledMatrix(int rows, int columns, double value) {
  CMyMatrix m;
  m.SetSize(rows, columns);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) m[r][c] = value;
  return m;
}

TEST(WIENDOS, GetDOSnDataCountsLinesUpToTheFirstEmptyOneAndWordsOfTheFirst) {
  TempDir dir;
  WriteFile(dir.Path("a.dos1ev"), std::string(kHeader) +
                                       "  -1.0   0.5\t0.25  0.125  \n"
                                       "   0.0   1 2\n"
                                       "   1.0   1 2 3 4 5\n"
                                       "  \t \n"
                                       "   2.0   1 2 3\n");
  int nData = 7, nSpectrum = 7;
  EXPECT_EQ(CWIEN::GetDOSnData(dir.Path("a.dos1ev"), nData, nSpectrum), 3);
  EXPECT_EQ(nData, 3);
  EXPECT_EQ(nSpectrum, 3);

  // Only the header (or less): no data and one word less than none.
  WriteFile(dir.Path("b.dos1ev"), kHeader);
  EXPECT_EQ(CWIEN::GetDOSnData(dir.Path("b.dos1ev"), nData, nSpectrum), 0);
  EXPECT_EQ(nSpectrum, -1);
  WriteFile(dir.Path("c.dos1ev"), "# one header line\n");
  nData = nSpectrum = 7;
  EXPECT_EQ(CWIEN::GetDOSnData(dir.Path("c.dos1ev"), nData, nSpectrum), 0);
  EXPECT_EQ(nData, 0);
  EXPECT_EQ(nSpectrum, -1);

  // A missing file leaves the counts alone.
  nData = nSpectrum = 7;
  testing::internal::CaptureStdout();
  EXPECT_EQ(CWIEN::GetDOSnData(dir.Path("none.dos1ev"), nData, nSpectrum), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error in CWIEN::GetDOSnData: Can not read [" + dir.Path("none.dos1ev") + "].\n");
  EXPECT_EQ(nData, 7);
  EXPECT_EQ(nSpectrum, 7);
}

TEST(WIENDOS, ReadDOSFileStoresTenValuesAtMostAndNothingOutsideTheTable) {
  TempDir dir;
  // Twelve DOS values on a line: only ten are read; the packed "3-4" is two.
  WriteFile(dir.Path("wide.dos1ev"), std::string(kHeader) +
                                          "  -2.5  1 2 3-4 5 6 7 8 9 10 11 12\n"
                                          "  -1.5  21 22\n");
  CMyVector energy;
  energy.SetRange(0, 1);
  energy[0] = energy[1] = 99;
  CMyMatrix dos = FilledMatrix(12, 2, -1);
  EXPECT_EQ(CWIEN::ReadDOSFile(dir.Path("wide.dos1ev"), energy, dos, 0, 12, 2), 1);
  EXPECT_EQ(energy[0], -2.5);
  EXPECT_EQ(energy[1], -1.5);
  const double first[10] = {1, 2, 3, -4, 5, 6, 7, 8, 9, 10};
  for (int r = 0; r < 10; ++r) EXPECT_EQ(dos[r][0], first[r]) << r;
  EXPECT_EQ(dos[10][0], -1);  // values past the tenth are not read
  EXPECT_EQ(dos[11][0], -1);
  EXPECT_EQ(dos[0][1], 21);
  EXPECT_EQ(dos[1][1], 22);
  EXPECT_EQ(dos[2][1], -1);  // missing from the short line: unchanged

  // Rows before the table (a negative first row) and lines past its end
  // (more lines than the first file of the set had) are dropped.
  WriteFile(dir.Path("long.dos2ev"), std::string(kHeader) +
                                          "  0.5  1 2 3\n"
                                          "  0.6  4 5 6\n"
                                          "  0.7  7 8 9\n"
                                          "  0.8  10 11 12\n");
  CMyMatrix small = FilledMatrix(2, 2, -1);
  EXPECT_EQ(CWIEN::ReadDOSFile(dir.Path("long.dos2ev"), energy, small, -1, 3, 4), 1);
  EXPECT_EQ(energy[0], 0.5);
  EXPECT_EQ(energy[1], 0.6);
  EXPECT_EQ(small[0][0], 2);
  EXPECT_EQ(small[1][0], 3);
  EXPECT_EQ(small[0][1], 5);
  EXPECT_EQ(small[1][1], 6);
  // Into a table with rows but a first row past its end: energies only.
  CMyMatrix other = FilledMatrix(2, 2, -1);
  EXPECT_EQ(CWIEN::ReadDOSFile(dir.Path("long.dos2ev"), energy, other, 2, 3, 4), 1);
  EXPECT_EQ(other[1][1], -1);
  // Into an empty table and vector (the first file had no data).
  CMyVector noEnergy;
  CMyMatrix noTable;
  EXPECT_EQ(CWIEN::ReadDOSFile(dir.Path("long.dos2ev"), noEnergy, noTable, 0, 3, 4), 1);

  testing::internal::CaptureStdout();
  EXPECT_EQ(CWIEN::ReadDOSFile(dir.Path("none.dos3ev"), energy, small, 0, 3, 2), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error in CWIEN::ReadDOSFile: Can not read [" + dir.Path("none.dos3ev") + "].\n");
}

TEST(WIENDOS, CreateDOSCSVFileWritesNamedColumnsAndReportsAnUnwritablePath) {
  TempDir dir;
  CMyTextVector names;
  names.SetRange(0, 2);
  names[0] = "total";
  names[1] = "";
  names[2] = "Ti d";
  CMyVector energy;
  energy.SetRange(0, 1);
  energy[0] = -0.1234567;
  energy[1] = 1e-7;
  CMyMatrix dos = FilledMatrix(3, 2, 0);
  dos[0][0] = 1.5;
  dos[2][1] = 123456789;
  EXPECT_EQ(CWIEN::CreateDOSCSVFile(dir.Path("x.dos.csv"), names, energy, dos, 3, 2), 1);
  EXPECT_EQ(ReadFile(dir.Path("x.dos.csv")),
            "Energy(eV),total,,Ti d\n"
            "-0.123457,1.5,0,0\n"
            "1e-07,0,0,1.23457e+08\n");

  const std::string bad = dir.Path("no/such/dir/x.dos.csv");
  testing::internal::CaptureStdout();
  EXPECT_EQ(CWIEN::CreateDOSCSVFile(bad, names, energy, dos, 3, 2), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error in CWIEN::CreateDOSCSVFile: Can not write to [" + bad + "].\n");
}

TEST(WIENDOS, ShortIntFileSetsTheColumnsAndExtraSpectraAreNotWritten) {
  TempDir dir;
  // Three orbitals announced, two present, the second with two words only.
  WriteFile(dir.Path("c.int"),
            "Title\n -0.50 0.002 1.500 0.003  # EMIN\n    3    N   0.000   # NUMBER OF DOS-CASES\n"
            "    0    1   total   # atom, case, label\n"
            "    1    2\n");
  WriteFile(dir.Path("c.dos1ev"), std::string(kHeader) + " -1.0 0.1 0.2 0.3\n  1.0 0.4 0.5 0.6\n\n");
  std::string out = Capture(CWIEN::MakeDOSCSVFile, dir.Path("c.int"));
  EXPECT_NE(out.find("nOrbitals: 3\n  Orb[0]: total\n.dos1ev: "), std::string::npos) << out;
  EXPECT_NE(out.find("  nTotalSpectrum: 3\n\nWarning: Data in .int (nOrb=2) is not consistent with .dos (nTot=3).\n\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(ReadFile(dir.Path("c.dos.csv")), "Energy(eV),total,\n-1,0.1,0.2\n1,0.4,0.5\n");
  EXPECT_NE(out.find("  dose not exist. Skipped.\n\n.dos1evdn: "), std::string::npos);
}

TEST(WIENDOS, MoreOrbitalsThanSpectraGiveZeroColumnsAndHugeCountsAllocateNothing) {
  TempDir dir;
  // A count of 2147483647 with two orbital lines: two columns, one spectrum.
  WriteFile(dir.Path("h.int"), "T\nT\n2147483647\n 1 1 a\n 1 2 b\n");
  WriteFile(dir.Path("h.dos1ev"), std::string(kHeader) + " 0.5 7\n");
  std::string out = Capture(CWIEN::MakeDOSCSVFile, dir.Path("h.int"));
  EXPECT_NE(out.find("nOrbitals: 2147483647\n  Orb[0]: a\n  Orb[1]: b\n"), std::string::npos) << out;
  EXPECT_EQ(ReadFile(dir.Path("h.dos.csv")), "Energy(eV),a,b\n0.5,7,0\n");

  // A first file holding only its header while the second has spectra: an
  // empty table, and the second file's values have nowhere to go.
  WriteFile(dir.Path("e.int"), "T\nT\n1\n 1 1 a\n");
  WriteFile(dir.Path("e.dos1ev"), kHeader);
  WriteFile(dir.Path("e.dos2ev"), std::string(kHeader) + " 0.5 7 8\n 0.6 9 10\n");
  out = Capture(CWIEN::MakeDOSCSVFile, dir.Path("e.int"));
  EXPECT_NE(out.find("  nData     : 0\n  nSpectrum1: -1\n  nSpectrum2: 2\n  nSpectrum3: 0\n  nTotalSpectrum: 1\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(ReadFile(dir.Path("e.dos.csv")), "Energy(eV),a\n");
}

TEST(WIENDOS, TablesTooLargeAreRefusedAndAMissingIntFileIsReported) {
  TempDir dir;
  std::string intText = "T\nT\n10000\n";
  for (int i = 0; i < 10000; ++i) intText += " 1 1 o" + std::to_string(i) + "\n";
  WriteFile(dir.Path("big.int"), intText);
  std::string dosText = kHeader;
  for (int i = 0; i < 7000; ++i) dosText += " 0.1 0.2\n";
  WriteFile(dir.Path("big.dos1ev"), dosText);
  std::string out = Capture(CWIEN::MakeDOSCSVFile, dir.Path("big.int"));
  EXPECT_NE(out.find("Error in CWIEN::MakeDOSCSVFile: A table of 10000 orbitals by 7000 energies is too large. "
                     "Skipped.\n\n.dos1evup: "),
            std::string::npos)
      << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
  EXPECT_FALSE(FileExists(dir.Path("big.dos.csv")));

  out = Capture(CWIEN::MakeDOSCSVFile, dir.Path("none.int"));
  EXPECT_EQ(out, "Error in CWIEN::MakeDOSCSVFile: Can not read [" + dir.Path("none.int") + "].\n");
}

}  // namespace
}  // namespace quorvel
