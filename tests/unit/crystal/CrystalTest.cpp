#include "crystal/Crystal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>
#include <string>

#include "app/RunFrame.h"
#include "app/TextUtil.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// Expected cells below were computed with ASE's cellpar_to_cell, which puts a
// along x and b in the x-y plane like the crystal does. Angles are converted
// with pi to ten decimals, so cos(90 degrees) is about 5e-11, not 0: values
// are compared to 1e-9.

TEST(Crystal, LatticeVectorsMetricAndVolumeOfCubicHexagonalAndTriclinicCells) {
  CCrystal cubic;
  cubic.SetLatticeParameters(0.5431, 0.5431, 0.5431, 90, 90, 90);
  EXPECT_EQ(cubic.CalculateLatticeVectors(), 1);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      EXPECT_NEAR(cubic.LatticeVector[i][j], i == j ? 0.5431 : 0.0, 1e-9) << i << j;
      EXPECT_NEAR(cubic.MetricTensor[i][j], i == j ? 0.5431 * 0.5431 : 0.0, 1e-9) << i << j;
    }
  EXPECT_NEAR(cubic.Volume, 0.160191478, 1e-9);

  CCrystal hexagonal;
  hexagonal.SetLatticeParameters(0.3, 0.3, 0.5, 90, 90, 120);
  hexagonal.CalculateLatticeVectors();
  const double hex[3][3] = {{0.3, 0, 0}, {-0.15, 0.2598076211353316, 0}, {0, 0, 0.5}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(hexagonal.LatticeVector[i][j], hex[i][j], 1e-9) << i << j;
  EXPECT_NEAR(hexagonal.MetricTensor[0][1], -0.045, 1e-9);
  EXPECT_NEAR(hexagonal.Volume, 0.038971143170299725, 1e-9);

  CCrystal triclinic;
  triclinic.SetLatticeParameters(0.5, 0.6, 0.7, 80, 95, 105);
  triclinic.CalculateLatticeVectors();
  const double tri[3][3] = {{0.5, 0, 0},
                            {-0.15529142706151253, 0.579555495773441, 0},
                            {-0.06100901992336076, 0.10949435785765503, 0.6886863473928685}};
  const double G[3][3] = {{0.25, -0.07764571353075626, -0.03050450996168038},
                          {-0.07764571353075626, 0.36, 0.07293223462011078},
                          {-0.03050450996168038, 0.07293223462011078, 0.49}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      EXPECT_NEAR(triclinic.LatticeVector[i][j], tri[i][j], 1e-9) << i << j;
      EXPECT_NEAR(triclinic.MetricTensor[i][j], G[i][j], 1e-9) << i << j;
    }
  EXPECT_NEAR(triclinic.Volume, 0.19956597874783702, 1e-9);
  // Squared distance through the metric: one lattice vector c apart.
  EXPECT_NEAR(triclinic.GetDistance2(0.1, 0.2, 0.3, 0.1, 0.2, 1.3), 0.49, 1e-9);
  EXPECT_NEAR(triclinic.GetDistance2(0, 0, 0, 1, 1, 0), 0.25 + 0.36 - 2 * 0.07764571353075626, 1e-9);
}

TEST(Crystal, LatticeParametersFromVectorsAndBack) {
  CCrystal crystal;
  crystal.SetLatticeVectors(0.5, 0, 0, -0.15529142706151253, 0.579555495773441, 0, -0.06100901992336076,
                            0.10949435785765503, 0.6886863473928685);
  EXPECT_EQ(crystal.a, 0.0);  // storing vectors derives nothing
  crystal.CalculateLatticeParameters();
  EXPECT_NEAR(crystal.a, 0.5, 1e-12);
  EXPECT_NEAR(crystal.b, 0.6, 1e-12);
  EXPECT_NEAR(crystal.c, 0.7, 1e-12);
  EXPECT_NEAR(crystal.alpha, 80, 1e-7);
  EXPECT_NEAR(crystal.beta, 95, 1e-7);
  EXPECT_NEAR(crystal.gamma, 105, 1e-7);

  // A rotated cell comes back in the standard orientation.
  CCrystal rotated;
  rotated.SetLatticeVectors(0, 0.4, 0, 0, 0, 0.4, 0.4, 0, 0);
  rotated.CalculateLatticeParameters();
  rotated.CalculateLatticeVectors();
  EXPECT_NEAR(rotated.LatticeVector[0][0], 0.4, 1e-12);
  EXPECT_NEAR(rotated.LatticeVector[1][1], 0.4, 1e-9);
  EXPECT_NEAR(rotated.LatticeVector[2][2], 0.4, 1e-9);
}

TEST(Crystal, CartesianToFractionalInvertsTheLattice) {
  CCrystal crystal;
  crystal.SetLatticeParameters(0.5, 0.6, 0.7, 80, 95, 105);
  crystal.CalculateLatticeVectors();
  double fx = -1, fy = -1, fz = -1;
  EXPECT_EQ(crystal.CartesianToFractional(crystal.LatticeVector[2][0], crystal.LatticeVector[2][1],
                                          crystal.LatticeVector[2][2], fx, fy, fz),
            1);
  EXPECT_NEAR(fx, 0, 1e-12);
  EXPECT_NEAR(fy, 0, 1e-12);
  EXPECT_NEAR(fz, 1, 1e-12);
  // numpy: solve(cell.T, r); the result is not folded into the cell.
  crystal.CartesianToFractional(0.1, 0.2, 0.3, fx, fy, fz);
  EXPECT_NEAR(fx, 0.33477142054006587, 1e-10);
  EXPECT_NEAR(fy, 0.26279269337237676, 1e-10);
  EXPECT_NEAR(fz, 0.435611946041471, 1e-10);
  crystal.CartesianToFractional(-1.0, 2.0, 3.0, fx, fy, fz);
  double cx, cy, cz;
  crystal.FractionalToCartesian(fx, fy, fz, cx, cy, cz);
  EXPECT_NEAR(cx, -1.0, 1e-12);
  EXPECT_NEAR(cy, 2.0, 1e-12);
  EXPECT_NEAR(cz, 3.0, 1e-12);

  CCrystal flat;  // all parameters 0: singular
  flat.CalculateLatticeVectors();
  fx = fy = fz = 7;
  CaptureStdout();
  EXPECT_EQ(flat.CartesianToFractional(0.1, 0.2, 0.3, fx, fy, fz), 0);
  EXPECT_EQ(GetCapturedStdout(), "Error in CCrystal::CartesianToFractional: return of minver is 1\n");
  EXPECT_EQ(fx, 7);
  EXPECT_EQ(fz, 7);
}

// A database directory with oxygen and silicon only.
class CrystalWithDatabase : public testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_.Path("nonrel"),
              "H\n1 1 1\n1\n 1s1\n"
              "O\n1 2 3\n8\n 1s2\n 2s2\n 2p4\n"
              "SI extra words\n1 2 1\n14\n [Ne] 3s2 3p2\n");
    WriteFile(dir_.Path("asfdc"), "H 1.00794\nO2- 15.9994 more\nSi 28.0855\n");
    crystal_.NONRELPath = dir_.Path("nonrel");
    crystal_.ASFDCPath = dir_.Path("asfdc");
  }
  TempDir dir_;
  CCrystal crystal_;
};

TEST_F(CrystalWithDatabase, AddAtomTypeNamesRepeatedTypesAndReadsTheDatabase) {
  CaptureStdout();
  EXPECT_EQ(crystal_.AddAtomType("O", -2, false), 0);
  EXPECT_EQ(crystal_.AddAtomType("O", -1, false), 1);
  EXPECT_EQ(crystal_.AddAtomType("o", 0, false), 2);
  EXPECT_EQ(GetCapturedStdout(), "nSameAtom=0\nnSameAtom=1\n   [O{b}]\nnSameAtom=2\n   [o{c}]\n");
  ASSERT_EQ(crystal_.nAtomTypes, 3);
  EXPECT_EQ(crystal_.AtomTypes[0].Name, "O");
  EXPECT_EQ(crystal_.AtomTypes[1].Name, "O{b}");
  EXPECT_EQ(crystal_.AtomTypes[2].Name, "o{c}");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(crystal_.AtomTypes[i].AtomicNumber, 8) << i;
    EXPECT_DOUBLE_EQ(crystal_.AtomTypes[i].AtomicWeight, 15.9994) << i;
    EXPECT_EQ(crystal_.AtomTypes[i].AsfdcKey, "O2-") << i;
  }
  EXPECT_EQ(crystal_.AtomTypes[0].Charge, -2);
  EXPECT_EQ(crystal_.AtomTypes[1].Charge, -1);

  // Unique mode: an existing name (any case) adds and prints nothing; a new
  // one prints nSameAtom=0. Si4+ finds the entries of Si.
  CaptureStdout();
  EXPECT_EQ(crystal_.AddAtomType("o{B}", 3, true), 1);
  EXPECT_EQ(crystal_.AddAtomType("Si4+", 4, true), 3);
  EXPECT_EQ(GetCapturedStdout(), "nSameAtom=0\n");
  EXPECT_EQ(crystal_.nAtomTypes, 4);
  EXPECT_EQ(crystal_.AtomTypes[1].Charge, -1);
  EXPECT_EQ(crystal_.AtomTypes[3].AtomicNumber, 14);
  EXPECT_DOUBLE_EQ(crystal_.AtomTypes[3].AtomicWeight, 28.0855);
  EXPECT_EQ(crystal_.AtomTypes[3].Charge, 4);
  EXPECT_EQ(crystal_.FindAtomType("si4+"), 3);
  EXPECT_EQ(crystal_.FindAtomType("O{B}"), 1);
  EXPECT_EQ(crystal_.FindAtomType("Si"), -1);

  // Without a weight list every new type reports it and weighs 1.
  CCrystal bare;
  bare.ASFDCPath = dir_.Path("missing");
  CaptureStdout();
  bare.AddAtomType("Fe", 0, true);
  EXPECT_EQ(GetCapturedStdout(), "nSameAtom=0\nCan not read [" + dir_.Path("missing") + "].\n");
  EXPECT_EQ(bare.AtomTypes[0].AtomicWeight, 1.0);
  EXPECT_EQ(bare.AtomTypes[0].AtomicNumber, 0);
}

TEST_F(CrystalWithDatabase, AsymmetricSitesGetLabelsAndTypes) {
  CaptureStdout();
  EXPECT_EQ(crystal_.AddAtomAsymSite("", "Si", 1, 0.1, 0.2, 0.3, 1, 2, 3), 1);
  EXPECT_EQ(crystal_.AddAtomAsymSite("", "si", 0.5, 0.4, 0.5, 0.6, 0, 0, 0), 2);
  EXPECT_EQ(crystal_.AddAtomAsymSite("", "O", 1, 0.7, 0.8, 0.9, 0, 0, 0), 3);
  EXPECT_EQ(crystal_.AddAtomAsymSite("Ox", "O", 1, 0, 0, 0, 0, 0, 0), 4);
  EXPECT_EQ(crystal_.AddAtomAsymSite("", "O", 1, 0, 0, 0, 0, 0, 0), 5);
  EXPECT_EQ(GetCapturedStdout(), "nSameAtom=0\nnSameAtom=0\n");
  ASSERT_EQ(crystal_.nAtomTypes, 2);
  const char* labels[] = {"Si1", "si2", "O1", "Ox", "O3"};
  const int types[] = {0, 0, 1, 1, 1};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(crystal_.AtomAsymSites[i].Label, labels[i]) << i;
    EXPECT_EQ(crystal_.AtomAsymSites[i].iAtomType, types[i]) << i;
    EXPECT_EQ(crystal_.AtomAsymSites[i].iAsymSite, i) << i;
  }
  const CAtomSite& first = crystal_.AtomAsymSites[0];
  EXPECT_EQ(first.z, 0.3);
  EXPECT_EQ(first.Occupancy, 1);
  EXPECT_EQ(first.Force[2], 3);
  EXPECT_EQ(crystal_.AtomAsymSites[1].Occupancy, 0.5);
  EXPECT_EQ(crystal_.TypeOf(first), &crystal_.AtomTypes[0]);

  // The unit cell copied from the asymmetric unit keeps labels and forces.
  EXPECT_EQ(crystal_.CopyAsymSitesToSites(), 5);
  EXPECT_EQ(crystal_.AtomSites[4].Label, "O3");
  EXPECT_EQ(crystal_.AtomSites[4].iAsymSite, 4);
  EXPECT_EQ(crystal_.AtomSites[0].Force[1], 2);
  EXPECT_EQ(crystal_.AtomSites[2].iAtomType, 1);
}

TEST(Crystal, TypeNameOfASiteFallsBackToLabels) {
  CCrystal crystal;
  CAtomType named, labelled;
  named.Name = "Na";
  labelled.Label = "Cl-label";
  crystal.AddAtomTypeRecord(named);
  crystal.AddAtomTypeRecord(labelled);
  crystal.AddAtomSite("S1", 0, 0, 1, 0, 0, 0, 0, 0, 0);
  crystal.AddAtomSite("S2", 1, 0, 1, 0, 0, 0, 0, 0, 0);
  crystal.AddAtomSite("S3", -1, 0, 1, 0, 0, 0, 0, 0, 0);
  crystal.AddAtomSite("S4", 7, 0, 1, 0, 0, 0, 0, 0, 0);  // no such type
  EXPECT_EQ(crystal.GetAtomTypeName(crystal.AtomSites[0]), "Na");
  EXPECT_EQ(crystal.GetAtomTypeName(crystal.AtomSites[1]), "Cl-label");
  EXPECT_EQ(crystal.GetAtomTypeName(crystal.AtomSites[2]), "S3");
  EXPECT_EQ(crystal.AtomSites[3].iAtomType, -1);
  EXPECT_EQ(crystal.TypeOf(crystal.AtomSites[3]), nullptr);
  EXPECT_EQ(crystal.GetAtomTypeName(crystal.AtomSites[3]), "S4");
  // A record of an existing name is not added again.
  CAtomType again;
  again.Name = "NA";
  EXPECT_EQ(crystal.AddAtomTypeRecord(again), 0);
  EXPECT_EQ(crystal.nAtomTypes, 2);
}

TEST(Crystal, FullTablesRefuseWithTheirMessages) {
  CCrystal crystal;
  CaptureStdout();
  for (int i = 0; i < 20; ++i) crystal.AddAtomType("T" + std::to_string(i), 0, true);
  GetCapturedStdout();
  CaptureStdout();
  EXPECT_EQ(crystal.AddAtomType("X", 0, true), -1);
  CAtomType record;
  record.Name = "Y";
  EXPECT_EQ(crystal.AddAtomTypeRecord(record), -1);
  EXPECT_EQ(GetCapturedStdout(),
            "nAtomTypes [20] exceeds maximum [20].\nnAtomTypes [20] exceeds maximum [20].\n");
  EXPECT_EQ(crystal.nAtomTypes, 20);

  // A site of an unknown type while the type table is full has no type.
  crystal.AllocateAtomAsymSites(2);
  CaptureStdout();
  EXPECT_EQ(crystal.AddAtomAsymSite("", "T3", 1, 0, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(crystal.AddAtomAsymSite("", "Z", 1, 0, 0, 0, 0, 0, 0), 2);
  CAtomSite site;
  EXPECT_EQ(crystal.AddAtomAsymSite("", "T3", 1, 0, 0, 0, 0, 0, 0), 2);
  EXPECT_EQ(crystal.AddAtomAsymSiteRecord(site), 2);
  EXPECT_EQ(GetCapturedStdout(),
            "nAtomTypes [20] exceeds maximum [20].\n"
            "nAtomTypes [20] exceeds maximum [20].\n"
            "nAtomTypes [20] exceeds maximum [20].\n"
            "nAtomAsymSites [2] exceeds maximum [2].\n"
            "nAtomAsymSites [2] exceeds maximum [2].\n");
  EXPECT_EQ(crystal.AtomAsymSites[0].iAtomType, 3);
  EXPECT_EQ(crystal.AtomAsymSites[1].iAtomType, -1);
  EXPECT_EQ(crystal.AtomAsymSites[1].Label, "Z1");

  crystal.AllocateAtomSites(1);
  CaptureStdout();
  EXPECT_EQ(crystal.CopyAsymSitesToSites(), 1);
  EXPECT_EQ(crystal.AddAtomSiteRecord(site), 1);
  EXPECT_EQ(GetCapturedStdout(), "nAtomSites [1] exceeds maximum [1].\nnAtomSites [1] exceeds maximum [1].\n");

  // A capacity of 0 leaves an empty table.
  EXPECT_EQ(crystal.AllocateAtomTypes(0), 0);
  EXPECT_EQ(crystal.nAtomTypes, 0);
  EXPECT_EQ(crystal.nMaxAtomTypes, 0);
  EXPECT_EQ(crystal.nAtomsInFormula.Size(), 0);
  EXPECT_EQ(crystal.AllocateAtomTypes(100), 100);
  EXPECT_EQ(crystal.nAtomsInFormula[99], 0);
}

CAtomSite Site(int type, double x, double y, double z, const char* label = "") {
  CAtomSite s;
  s.iAtomType = type;
  s.x = x;
  s.y = y;
  s.z = z;
  s.Occupancy = 1;
  s.Label = label;
  return s;
}

// A site added without a label is numbered after the sites whose type name
// (GetAtomTypeName) equals its own, ignoring case, whatever mix of named,
// labelled and missing types the table holds.
TEST(Crystal, AutomaticLabelsCountTheSitesOfTheSameTypeName) {
  const char* const kNames[] = {"Si", "si", "O", "Cl", "Na", "Na1", ""};
  const char* const kLabels[] = {"", "", "", "Si", "Na1", "X"};
  std::mt19937 random(11);
  std::string mismatches;
  for (int round = 0; round < 60; ++round) {
    CCrystal crystal;
    // Odd rounds: four types, a type known only by its label, then the first
    // three new names; the sites of later names have no type and go by their
    // labels. Even rounds: every name gets a type. Now and then the table is
    // cut back, as a reader does at a new step, or a site is added by record.
    crystal.AllocateAtomTypes(round % 2 ? 4 : 20);
    crystal.AllocateAtomAsymSites(60);
    CAtomType labelled;
    labelled.Label = "Cl";
    crystal.AddAtomTypeRecord(labelled);
    CaptureStdout();
    for (int k = 0; k < 160; ++k) {
      if (random() % 12 == 0) crystal.nAtomAsymSites = static_cast<int>(random() % (crystal.nAtomAsymSites + 1));
      if (random() % 20 == 0 && crystal.nAtomAsymSites < 60)
        crystal.AddAtomAsymSiteRecord(Site(static_cast<int>(random() % 3) - 1, 0, 0, 0, kNames[random() % 6]));
      std::string name = kNames[random() % 7];
      std::string label = kLabels[random() % 6];
      int before = crystal.nAtomAsymSites;
      int same = 0;
      for (int i = 0; i < before; ++i)
        if (EqualNoCase(crystal.GetAtomTypeName(crystal.AtomAsymSites[i]), name)) ++same;
      int after = crystal.AddAtomAsymSite(label, name, 1, 0, 0, 0, 0, 0, 0);
      if (before == 60) {
        if (after != 60) mismatches += "a full table took a site\n";
        continue;
      }
      const std::string expected = label.empty() ? name + std::to_string(same + 1) : label;
      if (after != before + 1 || crystal.AtomAsymSites[before].Label != expected)
        mismatches += "round " + std::to_string(round) + " site " + std::to_string(before) + ": " +
                      crystal.AtomAsymSites[before].Label + " instead of " + expected + "\n";
    }
    GetCapturedStdout();
  }
  EXPECT_EQ(mismatches, "");
}

// Readers add their atoms one by one, and a file may list millions more than
// the table holds: filling the table of a converter twice and refusing two
// hundred thousand further atoms takes well under a second (naming each site by
// comparing the names of all the sites before it took twenty seconds).
TEST(Crystal, FillingAndOverfillingTheSiteTableStaysFast) {
  CCrystal crystal;
  crystal.AllocateAtomTypes(CCrystal::kConverterAtomTypes);
  crystal.AllocateAtomAsymSites(CCrystal::kConverterAtomSites);
  const auto start = std::chrono::steady_clock::now();
  CaptureStdout();
  for (int step = 0; step < 2; ++step) {
    crystal.nAtomAsymSites = 0;
    for (int i = 0; i < CCrystal::kConverterAtomSites; ++i)
      crystal.AddAtomAsymSite("", i % 2 ? "Si" : "O", 1, 0.5, 0.5, 0.5, 0, 0, 0);
  }
  for (int i = 0; i < 200000; ++i) crystal.AddAtomAsymSite("", "O", 1, 0, 0, 0, 0, 0, 0);
  std::string printed = GetCapturedStdout();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(crystal.nAtomAsymSites, CCrystal::kConverterAtomSites);
  EXPECT_EQ(crystal.AtomAsymSites[9998].Label, "O5000");
  EXPECT_EQ(crystal.AtomAsymSites[9999].Label, "Si5000");
  EXPECT_NE(printed.find("nAtomAsymSites [10000] exceeds maximum [10000].\n"), std::string::npos);
  EXPECT_LT(seconds, 4.0);
}

TEST(Crystal, InitializeResetsTheModelButKeepsTheDatabasePaths) {
  CCrystal crystal;
  EXPECT_EQ(crystal.ChemicalName, "None");
  EXPECT_EQ(crystal.nMaxAtomTypes, 20);
  EXPECT_EQ(crystal.nMaxAtomAsymSites, 20);
  EXPECT_EQ(crystal.nMaxAtomSites, 4096);
  EXPECT_EQ(crystal.SameSiteTolerance, 1e-5);

  NONRELPath = "db/nonrel";
  ASFDCPath = "db/asfdc";
  SPGDBPath = "db/spgra";
  AtomDBPath = "db/nonrel";
  crystal.CopyRunDatabasePaths();
  EXPECT_EQ(crystal.NONRELPath, "db/nonrel");
  EXPECT_EQ(crystal.ASFDCPath, "db/asfdc");
  EXPECT_EQ(crystal.SPGDBPath, "db/spgra");
  EXPECT_EQ(crystal.AtomDBPath, "");  // no run gives the crystal a property file
  NONRELPath = ASFDCPath = SPGDBPath = AtomDBPath = "";

  crystal.AtomDBPath = "props.ini";
  crystal.Name = "x";
  crystal.ChemicalName = "y";
  crystal.FormulaSum = "Si8 ";
  crystal.SetLatticeParameters(1, 2, 3, 90, 90, 90);
  crystal.CalculateLatticeVectors();
  crystal.AllocateAtomTypes(100);
  CAtomType t;
  t.Name = "Si";
  crystal.AddAtomTypeRecord(t);
  crystal.AddAtomSite("Si1", 0, 0, 1, 0, 0, 0, 0, 0, 0);
  crystal.SpaceGroup.AddOperationText("-x,-y,-z");
  crystal.SameSiteTolerance = 1;

  EXPECT_EQ(crystal.Initialize(), 1);
  EXPECT_EQ(crystal.NONRELPath, "db/nonrel");
  EXPECT_EQ(crystal.ASFDCPath, "db/asfdc");
  EXPECT_EQ(crystal.SPGDBPath, "db/spgra");
  EXPECT_EQ(crystal.AtomDBPath, "props.ini");
  EXPECT_EQ(crystal.Name, "");
  EXPECT_EQ(crystal.ChemicalName, "None");
  EXPECT_EQ(crystal.FormulaSum, "");
  EXPECT_EQ(crystal.a, 0);
  EXPECT_EQ(crystal.Volume, 0);
  EXPECT_EQ(crystal.MetricTensor[2][2], 0);
  EXPECT_EQ(crystal.LatticeVector[2][2], 1);
  EXPECT_EQ(crystal.LatticeVector[0][1], 0);
  EXPECT_EQ(crystal.nAtomTypes, 0);
  EXPECT_EQ(crystal.nMaxAtomTypes, 20);
  EXPECT_EQ(crystal.nAtomSites, 0);
  EXPECT_EQ(crystal.SpaceGroup.nOperations, 1);
  EXPECT_EQ(crystal.SpaceGroup.Name, "P1");
  EXPECT_EQ(crystal.SameSiteTolerance, 1e-5);
}

// A cubic cell of 1 nm with one type per given name.
void MakeCubic(CCrystal& crystal, double a, std::initializer_list<const char*> types) {
  crystal.SetLatticeParameters(a, a, a, 90, 90, 90);
  crystal.CalculateLatticeVectors();
  for (const char* name : types) {
    CAtomType t;
    t.Name = name;
    crystal.AddAtomTypeRecord(t);
  }
}


// An unlabelled site is numbered after the sites whose type name equals its
// type's, ignoring case: a named type by its Name, a type without Name by its
// Label, a site without a type (or with a nameless one) by its own label.
TEST(Crystal, RunningNumbersCountTypeNamesOfEveryKind) {
  CCrystal crystal;
  CAtomType fe, labelOnly, nameless, oxygen;
  fe.Name = "Fe";
  labelOnly.Label = "fe";
  oxygen.Name = "O";
  for (const CAtomType* t : {&fe, &labelOnly, &nameless, &oxygen}) {
    crystal.AtomTypes[crystal.nAtomTypes++] = *t;
  }
  crystal.AddAtomAsymSiteRecord(Site(0, 0, 0, 0, "x"));    // Fe
  crystal.AddAtomAsymSiteRecord(Site(1, 0, 0, 0, "y"));    // fe, from the type's label
  crystal.AddAtomAsymSiteRecord(Site(-1, 0, 0, 0, "FE"));  // no type: its own label
  crystal.AddAtomAsymSiteRecord(Site(2, 0, 0, 0, "fE"));   // nameless type: its own label
  crystal.AddAtomAsymSiteRecord(Site(2, 0, 0, 0, "Mn"));
  crystal.AddAtomAsymSiteRecord(Site(3, 0, 0, 0, "Fe"));   // O, whatever its label
  crystal.AddAtomAsymSite("", "Fe", 1, 0, 0, 0, 0, 0, 0);
  crystal.AddAtomAsymSite("", "o", 1, 0, 0, 0, 0, 0, 0);
  ASSERT_EQ(crystal.nAtomAsymSites, 8);
  EXPECT_EQ(crystal.AtomAsymSites[6].Label, "Fe5");
  EXPECT_EQ(crystal.AtomAsymSites[7].Label, "o2");
}

TEST(Crystal, ExpansionMergesImagesInsideTheCellOnly) {
  CCrystal crystal;
  MakeCubic(crystal, 1.0, {"A", "B", "C", "D"});
  crystal.SpaceGroup.bInversion = 1;
  crystal.AddAtomAsymSiteRecord(Site(0, 0, 0, 0, "A1"));        // its inverse is itself
  crystal.AddAtomAsymSiteRecord(Site(1, 0.5, 0.5, 0.5, "B1"));  // -0.5 folds back to 0.5
  crystal.AddAtomAsymSiteRecord(Site(2, 1e-7, 0, 0, "C1"));     // -1e-7 folds to 0.9999999
  crystal.AddAtomAsymSiteRecord(Site(3, 0, 0, 0, "D1"));        // other type, same place as A1
  crystal.AddAtomAsymSiteRecord(Site(2, 0.25, 0.5, 0.1, "C2"));
  EXPECT_EQ(crystal.ExpandAsymSites(), 7);
  // Identity images in asymmetric order, then the new inverted images.
  const char* labels[] = {"A1", "B1", "C1", "D1", "C2", "C1", "C2"};
  const int from[] = {0, 1, 2, 3, 4, 2, 4};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(crystal.AtomSites[i].Label, labels[i]) << i;
    EXPECT_EQ(crystal.AtomSites[i].iAsymSite, from[i]) << i;
  }
  EXPECT_NEAR(crystal.AtomSites[5].x, 0.9999999, 1e-15);
  EXPECT_NEAR(crystal.AtomSites[6].x, 0.75, 1e-15);
  EXPECT_NEAR(crystal.AtomSites[6].z, 0.9, 1e-15);
  EXPECT_EQ(crystal.AtomSites[6].Force[0], 0);

  // Two positions of one type closer than 1e-5 nm are one site, the first
  // one; farther apart they are two. The tolerance is a metric distance.
  CCrystal close;
  MakeCubic(close, 2.0, {"A"});
  close.AddAtomAsymSiteRecord(Site(0, 0.1, 0.2, 0.3, "first"));
  close.AddAtomAsymSiteRecord(Site(0, 0.1 + 0.49e-5, 0.2, 0.3, "near"));  // 0.98e-5 nm away
  close.AddAtomAsymSiteRecord(Site(0, 0.6, 0.2, 0.3, "x"));
  close.AddAtomAsymSiteRecord(Site(0, 0.6 + 0.51e-5, 0.2, 0.3, "far"));  // 1.02e-5 nm away
  EXPECT_EQ(close.ExpandAsymSites(), 3);
  EXPECT_EQ(close.AtomSites[0].Label, "first");
  EXPECT_EQ(close.AtomSites[2].Label, "far");
}

TEST(Crystal, ExpansionLoopsOverOperationsCentringsAndInversion) {
  CCrystal crystal;
  MakeCubic(crystal, 1.0, {"A"});
  crystal.SpaceGroup.AddOperationText("-x+1/2,y,z");
  CaptureStdout();
  crystal.SpaceGroup.AddOperationText("not an operation");
  GetCapturedStdout();
  crystal.SpaceGroup.nCentring = 2;
  crystal.SpaceGroup.Centring[1].SetRange(0, 2);
  crystal.SpaceGroup.Centring[1][0] = 0;
  crystal.SpaceGroup.Centring[1][1] = 0.5;
  crystal.SpaceGroup.Centring[1][2] = 0.5;
  crystal.SpaceGroup.bInversion = 1;
  crystal.AddAtomAsymSiteRecord(Site(0, 0.1, 0.1, 0.1, "p"));
  crystal.AddAtomAsymSiteRecord(Site(0, 0.2, 0.3, 0.05, "q"));
  ASSERT_EQ(crystal.ExpandAsymSites(), 16);
  // Operation 0: centring 0 (p, q, -p, -q), centring 1 (p, q, -p, -q); then
  // operation 1 the same way; the unreadable operation adds nothing.
  const double expected[16][3] = {
      {0.1, 0.1, 0.1},   {0.2, 0.3, 0.05},  {0.9, 0.9, 0.9},   {0.8, 0.7, 0.95},
      {0.1, 0.6, 0.6},   {0.2, 0.8, 0.55},  {0.9, 0.4, 0.4},   {0.8, 0.2, 0.45},
      {0.4, 0.1, 0.1},   {0.3, 0.3, 0.05},  {0.6, 0.9, 0.9},   {0.7, 0.7, 0.95},
      {0.4, 0.6, 0.6},   {0.3, 0.8, 0.55},  {0.6, 0.4, 0.4},   {0.7, 0.2, 0.45},
  };
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(crystal.AtomSites[i].x, expected[i][0], 1e-12) << i;
    EXPECT_NEAR(crystal.AtomSites[i].y, expected[i][1], 1e-12) << i;
    EXPECT_NEAR(crystal.AtomSites[i].z, expected[i][2], 1e-12) << i;
    EXPECT_EQ(crystal.AtomSites[i].Label, i % 2 == 0 ? "p" : "q") << i;
  }
}

// The expansion written as the plain scan over all sites made so far.
int LiteralExpansion(CCrystal& crystal) {
  crystal.nAtomSites = 0;
  const CSpaceGroup& g = crystal.SpaceGroup;
  for (int i = 0; i < g.nOperations; ++i) {
    if (!g.HasNumericForm(i)) continue;
    for (int j = 0; j < g.nCentring; ++j)
      for (int k = 0; k <= g.bInversion; ++k)
        for (int s = 0; s < crystal.nAtomAsymSites; ++s) {
          const CAtomSite& site = crystal.AtomAsymSites[s];
          double x, y, z;
          g.ApplyOperation(i, j, k, site.x, site.y, site.z, x, y, z);
          if (crystal.FindAtomSite(site.iAtomType, x, y, z) < 0)
            crystal.AddAtomSite(site.Label, site.iAtomType, s, site.Occupancy, x, y, z, 0, 0, 0);
        }
  }
  return crystal.nAtomSites;
}

TEST(Crystal, ExpansionFindsTheSameSitesAsTheLiteralScan) {
  // Special positions with offsets around the tolerance make many images
  // merge and many just miss, and several sites within reach of one image;
  // cells from cubic to strongly oblique.
  const double cells[][6] = {{0.5431, 0.5431, 0.5431, 90, 90, 90}, {0.3, 0.3, 0.5, 90, 90, 120},
                             {0.5, 0.6, 0.7, 80, 95, 105},         {1.2, 0.4, 0.9, 60, 70, 50},
                             {0.4, 0.4, 0.4, 30, 30, 30},          {2.5, 2.5, 2.5, 90, 90, 90},
                             {0.01, 0.01, 0.01, 90, 90, 90},
                             // Cells so small that a bin is only a few tolerances wide.
                             {2e-4, 2e-4, 2e-4, 90, 90, 90},       {3e-4, 2e-4, 5e-4, 70, 100, 115}};
  const char* ops[] = {"-y,x-y,z",     "-x+y,-x,z", "y,x,-z+1/2", "-x,-y,z+1/2", "x-y,x,z+1/3",
                       "z,x,y",        "y,z,x",     "-x,y,-z",    "x+1/2,-y,z"};
  const double special[] = {0, 0.5, 1.0 / 3, 2.0 / 3, 0.25, 0.75, 1e-7, 0.9999999};
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> pick(0, 7);
  std::uniform_real_distribution<double> jitter(-2.0, 2.0);
  std::uniform_int_distribution<int> type(-1, 2);
  for (const auto& p : cells) {
    for (int trial = 0; trial < 3; ++trial) {
      CCrystal crystal;
      MakeCubic(crystal, 1, {"A", "B", "C"});
      crystal.SetLatticeParameters(p[0], p[1], p[2], p[3], p[4], p[5]);
      crystal.CalculateLatticeVectors();
      crystal.AllocateAtomAsymSites(60);
      for (const char* op : ops) crystal.SpaceGroup.AddOperationText(op);
      crystal.SpaceGroup.bInversion = trial % 2;
      for (int s = 0; s < 60; ++s) {
        double f[3];
        for (double& v : f) v = special[pick(rng)] + jitter(rng) * 1e-5 / p[0];
        crystal.AddAtomAsymSiteRecord(Site(type(rng), f[0], f[1], f[2], "s"));
      }
      CCrystal literal(crystal);
      int n = crystal.ExpandAsymSites();
      ASSERT_EQ(n, LiteralExpansion(literal)) << p[0] << " " << p[3] << " " << trial;
      for (int i = 0; i < n; ++i) {
        const CAtomSite& s = crystal.AtomSites[i];
        const CAtomSite& t = literal.AtomSites[i];
        ASSERT_TRUE(s.iAsymSite == t.iAsymSite && s.iAtomType == t.iAtomType && s.x == t.x && s.y == t.y &&
                    s.z == t.z)
            << i;
      }
    }
  }
}

TEST(Crystal, DensityWeighsEverySiteByItsOccupancy) {
  CCrystal silicon;
  MakeCubic(silicon, 0.5431, {"Si"});
  silicon.AtomTypes[0].AtomicWeight = 28.0855;
  const double diamond[8][3] = {{0, 0, 0},         {0, 0.5, 0.5},     {0.5, 0, 0.5},     {0.5, 0.5, 0},
                                {0.25, 0.25, 0.25}, {0.25, 0.75, 0.75}, {0.75, 0.25, 0.75}, {0.75, 0.75, 0.25}};
  for (const auto& d : diamond) silicon.AddAtomSite("Si", 0, 0, 1, d[0], d[1], d[2], 0, 0, 0);
  // 8 * 28.0855 / 6.02204e23 / 0.160191478e-21
  EXPECT_NEAR(silicon.CalculateDensity(), 2.3291052, 1e-6);
  EXPECT_EQ(silicon.Density, silicon.CalculateDensity());

  silicon.AtomSites[0].Occupancy = 0.5;
  silicon.AddAtomSite("X", -1, 0, 1, 0.1, 0.1, 0.1, 0, 0, 0);  // no type: weighs nothing
  EXPECT_NEAR(silicon.CalculateDensity(), 2.3291052 * 7.5 / 8, 1e-6);
}

TEST(Crystal, BuildFromCIFRecordTakesTheFileOperations) {
  TempDir dir;
  WriteFile(dir.Path("asfdc"), "Na 22.98977\nCl 35.453\n");
  CCIFFile record;
  record.SystematicName = "Sodium chloride";
  record.a = record.b = record.c = 0.564;
  record.alpha = record.beta = record.gamma = 90;
  record.SpaceGroupName = "F m -3 m";
  record.SpaceGroupNumber = 225;
  // The first operation is not the identity and must be applied as it is.
  const char* ops[] = {"-x+1/2, -y, z+1/2", "x, y, z"};
  for (const char* op : ops) record.SymmetryOperations[record.nSymmetryOperations++] = op;
  record.AtomTypeSymbols[0] = "Cl1-";
  record.OxidationNumbers[0] = -1;
  record.nAtomTypes = 1;
  const char* labels[] = {"Na1", "Cl1"};
  const char* symbols[] = {"Na1+", "Cl1-"};
  for (int i = 0; i < 2; ++i) {
    record.SiteLabels[i] = labels[i];
    record.SiteTypeSymbols[i] = symbols[i];
    record.SiteX[i] = record.SiteY[i] = record.SiteZ[i] = 0.25 * i;
    record.SiteOccupancies[i] = 1;
    record.SiteMultiplicities[i] = 4;
  }
  record.nAtomSites = 2;

  CCrystal crystal;
  crystal.ASFDCPath = dir.Path("asfdc");
  CaptureStdout();
  crystal.BuildFromCIFFile(record, "in/nacl.cif");
  EXPECT_EQ(GetCapturedStdout(), "nSameAtom=0\nnSameAtom=0\n");
  EXPECT_EQ(crystal.Name, "in/nacl.cif");
  EXPECT_EQ(crystal.ChemicalName, "Sodium chloride");
  EXPECT_NEAR(crystal.LatticeVector[1][1], 0.564, 1e-12);
  EXPECT_EQ(crystal.SpaceGroup.Name, "F m -3 m");
  EXPECT_EQ(crystal.SpaceGroup.Number, 225);
  EXPECT_EQ(crystal.SpaceGroup.SecondKey, 1);
  ASSERT_EQ(crystal.SpaceGroup.nOperations, 2);
  EXPECT_EQ(crystal.SpaceGroup.OperationText[0], "-x+1/2, -y, z+1/2");
  EXPECT_EQ(crystal.nMaxAtomTypes, record.nMaxAtomTypes);
  EXPECT_EQ(crystal.nMaxAtomAsymSites, record.nMaxAtomSites);
  ASSERT_EQ(crystal.nAtomTypes, 2);
  EXPECT_EQ(crystal.AtomTypes[0].Name, "Cl1-");
  EXPECT_EQ(crystal.AtomTypes[0].Charge, -1);
  EXPECT_DOUBLE_EQ(crystal.AtomTypes[0].AtomicWeight, 35.453);
  EXPECT_EQ(crystal.AtomTypes[1].Name, "Na1+");  // from the site loop
  EXPECT_EQ(crystal.AtomAsymSites[0].iAtomType, 1);
  ASSERT_EQ(crystal.nAtomSites, 4);
  // Operation 0 first: Na at (1/2,0,1/2), Cl at (1/4,3/4,3/4); then the identity.
  EXPECT_NEAR(crystal.AtomSites[0].x, 0.5, 1e-12);
  EXPECT_NEAR(crystal.AtomSites[0].y, 0.0, 1e-12);
  EXPECT_NEAR(crystal.AtomSites[0].z, 0.5, 1e-12);
  EXPECT_NEAR(crystal.AtomSites[1].y, 0.75, 1e-12);
  EXPECT_NEAR(crystal.AtomSites[2].x, 0.0, 1e-12);
  EXPECT_EQ(crystal.AtomSites[3].Label, "Cl1");
  EXPECT_NEAR(crystal.Density, 2 * (22.98977 + 35.453) / 6.02204e23 / (0.564 * 0.564 * 0.564 * 1e-21), 1e-9);
  EXPECT_EQ(crystal.CIFFile.SpaceGroupName, "F m -3 m");

  // Without any operation there is no unit cell.
  record.nSymmetryOperations = 0;
  CaptureStdout();
  crystal.BuildFromCIFFile(record, "x.cif");
  GetCapturedStdout();
  EXPECT_EQ(crystal.SpaceGroup.nOperations, 0);
  EXPECT_EQ(crystal.nAtomAsymSites, 2);
  EXPECT_EQ(crystal.nAtomSites, 0);
}

TEST(Crystal, CopyIsIndependentOfItsSource) {
  CCrystal source;
  MakeCubic(source, 0.5, {"Si", "O"});
  source.Name = "quartz";
  source.ASFDCPath = "a";
  source.AtomDBPath = "p";
  source.FormulaSum = "Si3 O6 ";
  source.AllocateAtomAsymSites(30);
  source.nAtomsInFormula[1] = 6;
  for (const char* op : {"-y,x-y,z+1/3", "-x+y,-x,z+2/3", "y,x,-z", "x-y,-y,-z+2/3", "-x,-x+y,-z+1/3"})
    source.SpaceGroup.AddOperationText(op);
  source.AddAtomAsymSiteRecord(Site(0, 0.47, 0, 1.0 / 3, "Si1"));  // 3a of P3_121
  source.AddAtomAsymSiteRecord(Site(1, 0.41, 0.27, 0.12, "O1"));
  source.ExpandAsymSites();
  ASSERT_EQ(source.nAtomSites, 9);
  source.CIFFile.SpaceGroupName = "P 31 2 1";

  CCrystal copy;  // P1 with one operation: the operation tables differ in size
  copy.Copy(source);
  CCrystal constructed(source);
  CCrystal assigned;
  assigned = source;
  for (const CCrystal* c : {&copy, &constructed, &assigned}) {
    EXPECT_EQ(c->Name, "quartz");
    EXPECT_EQ(c->ASFDCPath, "a");
    EXPECT_EQ(c->AtomDBPath, "p");
    EXPECT_EQ(c->FormulaSum, "Si3 O6 ");
    EXPECT_EQ(c->nMaxAtomAsymSites, 30);
    EXPECT_EQ(c->nAtomsInFormula[1], 6);
    EXPECT_EQ(c->SpaceGroup.nOperations, 6);
    EXPECT_EQ(c->SpaceGroup.OperationText[5], source.SpaceGroup.OperationText[5]);
    EXPECT_EQ(c->CIFFile.SpaceGroupName, "P 31 2 1");
    EXPECT_EQ(c->nAtomSites, 9);
    EXPECT_EQ(c->TypeOf(c->AtomSites[8]), &c->AtomTypes[1]);
    EXPECT_NEAR(c->MetricTensor[0][0], 0.25, 1e-15);
  }

  // Changing the source changes no copy; the copy expands on its own.
  source.AtomTypes[1].Name = "F";
  source.AtomAsymSites[0].x = 0.1;
  source.SpaceGroup.nOperations = 1;
  source.nAtomsInFormula[1] = 0;
  EXPECT_EQ(copy.GetAtomTypeName(copy.AtomSites[8]), "O");
  EXPECT_EQ(copy.AtomAsymSites[0].x, 0.47);
  EXPECT_EQ(copy.nAtomsInFormula[1], 6);
  EXPECT_EQ(copy.ExpandAsymSites(), 9);

  // A copy back into a crystal with more operations.
  source.Copy(copy);
  EXPECT_EQ(source.SpaceGroup.nOperations, 6);
  EXPECT_EQ(source.AtomTypes[1].Name, "O");
  source.Copy(source);
  EXPECT_EQ(source.nAtomSites, 9);
}

}  // namespace
}  // namespace quorvel
