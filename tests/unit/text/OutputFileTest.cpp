#include "text/OutputFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/unit/TestFiles.h"
#include "text/LineReader.h"

namespace quorvel {
namespace {

std::vector<std::string> Names(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Dir())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Until Commit the earlier file is untouched; an output given up leaves
// nothing behind, a committed one takes the earlier file's place and mode.
TEST(OutputFile, ReplacesTheEarlierFileOnlyWhenCommitted) {
  ForgetInputFiles();  // inputs that earlier tests of this process read
  TempDir dir;
  const std::string path = dir.Path("a.csv");
  WriteFile(path, "earlier\n");
  chmod(path.c_str(), 0640);
  {
    COutputFile out;
    ASSERT_TRUE(out.Open(path, "w"));
    std::fputs("half", out.get());
    EXPECT_EQ(Names(dir).size(), 2u);  // the temporary beside it
  }
  EXPECT_EQ(ReadFile(path), "earlier\n");
  EXPECT_EQ(Names(dir), std::vector<std::string>{"a.csv"});

  COutputFile out;
  ASSERT_TRUE(out.Open(path, "w"));
  std::fputs("new\n", out.get());
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(ReadFile(path), "new\n");
  EXPECT_EQ(Names(dir), std::vector<std::string>{"a.csv"});
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Adding goes on from what the file held (nothing when there was none); a
// link is written through, as opening it would.
TEST(OutputFile, AppendsAndWritesThroughLinks) {
  ForgetInputFiles();
  TempDir dir;
  WriteFile(dir.Path("table.csv"), "1\n");
  ASSERT_EQ(symlink("table.csv", dir.Path("link.csv").c_str()), 0);
  for (const char* name : {"link.csv", "new.csv"}) {
    COutputFile out;
    ASSERT_TRUE(out.Open(dir.Path(name), "a"));
    std::fputs("2\n", out.get());
    ASSERT_TRUE(out.Commit());
  }
  EXPECT_EQ(ReadFile(dir.Path("table.csv")), "1\n2\n");
  EXPECT_EQ(ReadFile(dir.Path("new.csv")), "2\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("link.csv")));
}

// A file the run has read is never an output, however its path is spelled;
// /dev/null is written, not replaced.
TEST(OutputFile, RefusesInputsAndWritesDevicesDirectly) {
  TempDir dir;
  WriteFile(dir.Path("in.cif"), "data_x\n");
  LineReader reader;
  ASSERT_TRUE(reader.Open(dir.Path("in.cif")));
  COutputFile out;
  EXPECT_FALSE(out.Open(dir.Dir() + "/./in.cif", "w"));
  EXPECT_TRUE(out.Refused());
  EXPECT_EQ(ReadFile(dir.Path("in.cif")), "data_x\n");
  EXPECT_EQ(Names(dir), std::vector<std::string>{"in.cif"});

  ASSERT_TRUE(out.Open("/dev/null", "w"));
  EXPECT_FALSE(out.Refused());
  EXPECT_TRUE(out.Commit());
}

}  // namespace
}  // namespace quorvel
