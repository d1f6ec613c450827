#include "crystal/Crystal.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/TextUtil.h"

namespace quorvel {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

CAtomSite Site(int type, double x, double y, double z, const std::string& label) {
  CAtomSite s;
  s.iAtomType = type;
  s.x = x;
  s.y = y;
  s.z = z;
  s.Occupancy = 1;
  s.Label = label;
  return s;
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
  // cells from cubic to strongly oblique, and so small that a bin of the
  // site grid is only a few tolerances wide; with and without inversion and
  // a centring translation; an operation that does not parse adds nothing.
  const double cells[][6] = {
      {0.5431, 0.5431, 0.5431, 90, 90, 90}, {0.3, 0.3, 0.5, 90, 90, 120},   {0.5, 0.6, 0.7, 80, 95, 105},
      {1.2, 0.4, 0.9, 60, 70, 50},          {0.4, 0.4, 0.4, 30, 30, 30},    {2.5, 2.5, 2.5, 90, 90, 90},
      {0.01, 0.01, 0.01, 90, 90, 90},       {2e-4, 2e-4, 2e-4, 90, 90, 90}, {3e-4, 2e-4, 5e-4, 70, 100, 115}};
  const char* ops[] = {"-y,x-y,z", "-x+y,-x,z", "y,x,-z+1/2", "-x,-y,z+1/2", "x-y,x,z+1/3",
                       "z,x,y",    "y,z,x",     "-x,y,-z",    "x+1/2,-y,z",  "not an operation"};
  const double special[] = {0, 0.5, 1.0 / 3, 2.0 / 3, 0.25, 0.75, 1e-7, 0.9999999};
  std::mt19937 rng(12345);
  std::uniform_real_distribution<double> jitter(-2.0, 2.0);
  for (const auto& p : cells) {
    for (int trial = 0; trial < 4; ++trial) {
      CCrystal crystal;
      crystal.SetLatticeParameters(p[0], p[1], p[2], p[3], p[4], p[5]);
      crystal.CalculateLatticeVectors();
      for (const char* name : {"A", "B", "C"}) {
        CAtomType type;
        type.Name = name;
        crystal.AtomTypes[crystal.nAtomTypes++] = type;
      }
      crystal.AllocateAtomAsymSites(60);
      CaptureStdout();
      for (const char* op : ops) crystal.SpaceGroup.AddOperationText(op);
      GetCapturedStdout();
      crystal.SpaceGroup.bInversion = trial % 2;
      if (trial >= 2) {
        crystal.SpaceGroup.nCentring = 2;
        crystal.SpaceGroup.Centring[1].SetRange(0, 2);
        for (int m = 0; m < 3; ++m) crystal.SpaceGroup.Centring[1][m] = m == 0 ? 0.0 : 0.5;
      }
      for (int s = 0; s < 60; ++s) {
        double f[3];
        for (double& v : f) v = special[rng() % 8] + jitter(rng) * 1e-5 / p[0];
        crystal.AddAtomAsymSiteRecord(Site(static_cast<int>(rng() % 4) - 1, f[0], f[1], f[2], "s"));
      }
      CCrystal literal(crystal);
      const int n = crystal.ExpandAsymSites();
      ASSERT_EQ(n, LiteralExpansion(literal)) << p[0] << " " << p[3] << " " << trial;
      // The first operation is the identity every group starts with.
      const CAtomSite &asym = crystal.AtomAsymSites[0], &image = crystal.AtomSites[0];
      EXPECT_TRUE(image.x == FoldToUnitCell(asym.x) && image.y == FoldToUnitCell(asym.y) &&
                  image.z == FoldToUnitCell(asym.z));
      for (int i = 0; i < n; ++i) {
        const CAtomSite& s = crystal.AtomSites[i];
        const CAtomSite& t = literal.AtomSites[i];
        ASSERT_TRUE(s.iAsymSite == t.iAsymSite && s.iAtomType == t.iAtomType && s.x == t.x && s.y == t.y &&
                    s.z == t.z && s.iAtomType == crystal.AtomAsymSites[s.iAsymSite].iAtomType)
            << i;
      }
    }
  }
}

// A site added without a label is numbered after the sites whose type name
// (GetAtomTypeName) equals its own, ignoring case, counted here literally,
// whatever mix of named, labelled and missing types the table holds, and
// when the table is cut back as a reader does at a new step, or a site is
// added by record.
TEST(Crystal, AutomaticLabelsCountTheSitesOfTheSameTypeName) {
  const char* const kNames[] = {"Si", "si", "O", "Cl", "Na", "Na1", ""};
  const char* const kLabels[] = {"", "", "", "Si", "Na1", "X"};
  std::mt19937 random(11);
  std::string mismatches;
  for (int round = 0; round < 60; ++round) {
    CCrystal crystal;
    // A type known only by its label, one with neither name nor label (its
    // sites go by their own labels), and in odd rounds room for two more, so
    // that the sites of later names have no type and go by their labels.
    crystal.AllocateAtomTypes(round % 2 ? 4 : 20);
    crystal.AllocateAtomAsymSites(60);
    CAtomType labelled;
    labelled.Label = "Cl";
    crystal.AtomTypes[crystal.nAtomTypes++] = labelled;
    crystal.AtomTypes[crystal.nAtomTypes++] = CAtomType();
    CaptureStdout();
    for (int k = 0; k < 160; ++k) {
      if (random() % 12 == 0) crystal.nAtomAsymSites = static_cast<int>(random() % (crystal.nAtomAsymSites + 1));
      if (random() % 20 == 0 && crystal.nAtomAsymSites < 60)
        crystal.AddAtomAsymSiteRecord(Site(static_cast<int>(random() % 3) - 1, 0, 0, 0, kNames[random() % 6]));
      const std::string name = kNames[random() % 7], label = kLabels[random() % 6];
      const int before = crystal.nAtomAsymSites;
      int same = 0;
      for (int i = 0; i < before; ++i) same += EqualNoCase(crystal.GetAtomTypeName(crystal.AtomAsymSites[i]), name);
      const int after = crystal.AddAtomAsymSite(label, name, 1, 0, 0, 0, 0, 0, 0);
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

// Readers add their atoms one by one, and a file may list many more than the
// table holds: the table of a converter filled twice, then two hundred
// thousand further atoms refused with one message (said again only when a
// later structure leaves out another number); and the expansion of 16384
// sites under 64 operations that put every site onto itself (how fast both
// run is measured in bench/).
TEST(Crystal, FillingAndExpandingFullTables) {
  CCrystal crystal;
  crystal.AllocateAtomTypes(CCrystal::kConverterAtomTypes);
  crystal.AllocateAtomAsymSites(CCrystal::kConverterAtomSites);
  CaptureStdout();
  for (int step = 0; step < 2; ++step) {
    crystal.nAtomAsymSites = 0;
    for (int i = 0; i < CCrystal::kConverterAtomSites; ++i)
      crystal.AddAtomAsymSite("", i % 2 ? "Si" : "O", 1, 0.5, 0.5, 0.5, 0, 0, 0);
  }
  for (int i = 0; i < 200000; ++i) crystal.AddAtomAsymSite("", "O", 1, 0, 0, 0, 0, 0, 0);
  crystal.CopyAsymSitesToSites();
  // A second structure of as many atoms too many says nothing new; one more
  // says the new count.
  for (int i = 0; i < 200000; ++i) crystal.AddAtomAsymSite("", "O", 1, 0, 0, 0, 0, 0, 0);
  crystal.CopyAsymSitesToSites();
  for (int i = 0; i < 200001; ++i) crystal.AddAtomAsymSite("", "O", 1, 0, 0, 0, 0, 0, 0);
  crystal.CopyAsymSitesToSites();
  const std::string printed = GetCapturedStdout();
  EXPECT_EQ(crystal.nAtomAsymSites, CCrystal::kConverterAtomSites);
  EXPECT_EQ(crystal.AtomAsymSites[9998].Label, "O5000");
  EXPECT_EQ(crystal.AtomAsymSites[9999].Label, "Si5000");
  const std::string said = "nAtomAsymSites [10000] exceeds maximum [10000]: ";
  EXPECT_NE(printed.find(said + "200000 sites are left out.\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find(said + "200001 sites are left out.\n"), std::string::npos) << printed;
  size_t nSaid = 0;
  for (size_t at = printed.find(said); at != std::string::npos; at = printed.find(said, at + 1)) ++nSaid;
  EXPECT_EQ(nSaid, 2u) << printed;

  CCrystal full;
  full.SetLatticeParameters(2, 2, 2, 90, 90, 90);
  full.CalculateLatticeVectors();
  full.AtomTypes[full.nAtomTypes++] = CAtomType();
  full.AllocateAtomAsymSites(16384);
  full.AllocateAtomSites(16384);
  for (int i = 0; i < 16384; ++i)
    full.AddAtomAsymSiteRecord(Site(0, i % 32 / 32.0, i / 32 % 32 / 32.0, i / 1024 / 16.0, "Si"));
  while (full.SpaceGroup.nOperations < 64) full.SpaceGroup.AddOperationText("x,y,z");
  EXPECT_EQ(full.ExpandAsymSites(), 16384);
}

}  // namespace
}  // namespace quorvel
