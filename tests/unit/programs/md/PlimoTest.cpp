// The names a Plimo run goes by: the file set a conversion reads and writes
// (the fixed FILE names, or one base name with its own extensions), and the
// input file of the next run of a numbered series. Each path shape is a line
// here; as case folders each would be a run of its own.
#include "programs/md/Plimo.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(PlimoNames, FileSetOfEitherNamingScheme) {
  const struct {
    const char *input, *file05, *file07, *file09p, *file09v, *xsf, *cifStem;
  } cases[] = {
      {"runs.v2/FILE09P.DAT", "runs.v2/FILE05.DAT", "runs.v2/FILE07.DAT", "runs.v2/FILE09P.DAT",
       "runs.v2/FILE09V.DAT", "runs.v2/FILE09P.xsf", "runs.v2/FILE09P"},
      // Any letter case of "file" selects the fixed names; a drive and backslashes stay as they are.
      {"C:\\md\\file07.dat", "C:\\md\\FILE05.DAT", "C:\\md\\FILE07.DAT", "C:\\md\\FILE09P.DAT", "C:\\md\\FILE09V.DAT",
       "C:\\md\\file07.xsf", "C:\\md\\file07"},
      // The base name ends at the last dot of the file name, not of a directory.
      {"out.d/quartz.melt.f9v", "out.d/quartz.melt.f05", "out.d/quartz.melt.f07", "out.d/quartz.melt.f9p",
       "out.d/quartz.melt.f9v", "out.d/quartz.melt.xsf", "out.d/quartz.melt"},
      {"out.d/run", "out.d/run.f05", "out.d/run.f07", "out.d/run.f9p", "out.d/run.f9v", "out.d/run.xsf", "out.d/run"},
  };
  for (const auto& c : cases) {
    const CPlimo::CFileSet f = CPlimo::GetFileSet(c.input);
    EXPECT_EQ(f.FILE05, c.file05);
    EXPECT_EQ(f.FILE07, c.file07);
    EXPECT_EQ(f.FILE09P, c.file09p);
    EXPECT_EQ(f.FILE09V, c.file09v);
    EXPECT_EQ(f.XSF, c.xsf);
    EXPECT_EQ(f.CIFStem, c.cifStem);
  }
}

// A numbered run ends in a minus sign and exactly three characters, the first a digit; only the file name
// takes part, never a directory.
TEST(PlimoNames, NextInputOfANumberedSeries) {
  const struct {
    const char* input;
    int sn;
    const char* next;
  } cases[] = {{"case.f05", 1234, "case-1234.f05"},       {"run-0045.f05", 2, "run-0045-002.f05"},
               {"run-04.f05", 2, "run-04-002.f05"},       {"run-4ab.f05", 2, "run-002.f05"},
               {"a-b-007", 8, "a-b-008"},                 {"md-2.0/run", 3, "md-2.0/run-003"},
               {"v1.2\\set-123\\FILE05", 0, "v1.2\\set-123\\FILE05.new"}, {"x-100/run-007.f05", 8, "x-100/run-008.f05"}};
  for (const auto& c : cases) EXPECT_EQ(CPlimo::GetUpdatedFILE05Name(c.input, c.sn), c.next) << c.input;
}

}  // namespace
}  // namespace quorvel
