#include "app/Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

struct Parsed {
  COptionTable table;
  std::string output;
};

Parsed Parse(std::vector<std::string> args) {
  Parsed p;
  DeclareOptions(p.table);
  std::vector<const char*> argv{"quorvel"};
  for (auto& a : args) argv.push_back(a.c_str());
  testing::internal::CaptureStdout();
  p.table.ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  p.output = testing::internal::GetCapturedStdout();
  return p;
}

TEST(Options, DeclaredDefaultsAndLookupIgnoringCase) {
  COptionTable t;
  DeclareOptions(t);
  EXPECT_EQ(t.Count(), 21);
  EXPECT_EQ(t.GetOptionName(20), "nMesh");
  EXPECT_EQ(t.GetOptionHelp(1), "AtomDB_Directory");
  EXPECT_EQ(t.GetOptionName(21), "");
  EXPECT_EQ(t.GetOptionValue("nextpressure"), "-1e50");
  EXPECT_EQ(t.GetOptionValue("MAXIMUMDISTANCE"), "5.0");
  EXPECT_EQ(t.GetOptionValue("NoSuchOption"), "");
}

TEST(Options, ParsingSetsValuesAndCollectsFiles) {
  Parsed p = Parse({"--nmesh=51", "in.cif", "--NMESH=", "--CalcRDF=1=2", "-x", "--sn"});
  EXPECT_EQ(p.table.GetOptionValue("nMesh"), "");  // the later, empty value wins
  EXPECT_EQ(p.table.GetOptionValue("CalcRDF"), "1=2");
  EXPECT_EQ(p.table.ErrorCount(), 2);
  ASSERT_EQ(p.table.FileCount(), 3);
  EXPECT_EQ(p.table.File(0), "in.cif");
  EXPECT_EQ(p.table.File(2), "--sn");
  EXPECT_EQ(p.table.File(3), "");
  EXPECT_EQ(p.output,
            "arg: --nmesh=51\narg: in.cif\nAdd File [in.cif].\narg: --NMESH=\narg: --CalcRDF=1=2\n"
            "arg: -x\nInvalid argument: -x\nAdd File [-x].\narg: --sn\nInvalid argument: --sn\nAdd File [--sn].\n");
}

TEST(Options, TableFullRefusesFurtherOptionsAndFiles) {
  COptionTable t;
  for (int i = 0; i < 100; ++i) EXPECT_EQ(t.AddOption("o" + std::to_string(i), "", ""), i);
  EXPECT_EQ(t.AddOption("extra", "", ""), -100);
  EXPECT_EQ(t.Count(), 100);

  std::vector<std::string> many;
  for (int i = 0; i < 102; ++i) many.push_back("f" + std::to_string(i));
  Parsed p = Parse(many);
  EXPECT_EQ(p.table.FileCount(), 100);
  EXPECT_EQ(p.table.File(99), "f99");
  EXPECT_NE(p.output.find("Too many file arguments: [f101] ignored (at most 100 are kept).\n"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
