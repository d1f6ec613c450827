#include "text/LineReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

// The pieces of fgets into a buffer of 4096 bytes; in text mode only the CR
// directly before a LF is dropped, and it does not count towards the 4095.
TEST(LineReader, PiecesAreWhatFgetsGives) {
  const LineReader::Mode kText = LineReader::kText, kBinary = LineReader::kBinary;
  const std::string x4094(4094, 'x'), x4095(4095, 'x'), y4095(4095, 'y');
  const struct {
    std::string content;
    LineReader::Mode mode;
    std::vector<std::string> pieces;
  } cases[] = {
      {"a\r\nb\n\r\nc", kText, {"a\n", "b\n", "\n", "c"}},
      {"a\rb\r\r\n", kText, {"a\rb\r\n"}},
      {"a\r\nb\r", kBinary, {"a\r\n", "b\r"}},
      {"", kText, {}},
      {x4094 + "\n", kText, {x4094 + "\n"}},
      {x4095 + "\nz\n", kText, {x4095, "\n", "z\n"}},
      {x4094 + "\r\n", kText, {x4094 + "\n"}},
      {x4095 + "\r\n", kText, {x4095, "\n"}},  // a CRLF split by the piece boundary
      {y4095 + y4095 + y4095 + "yyy\n", kBinary, {y4095, y4095, y4095, "yyy\n"}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    WriteFile(dir.Path("f"), c.content);
    LineReader reader;
    ASSERT_TRUE(reader.Open(dir.Path("f"), c.mode));
    std::vector<std::string> pieces;
    while (reader.ReadLine()) {
      EXPECT_EQ(reader.Length(), std::strlen(reader.Line()));
      pieces.emplace_back(reader.Line(), reader.Length());
    }
    EXPECT_EQ(pieces, c.pieces) << c.content.substr(0, 12);
  }
  LineReader reader;
  EXPECT_FALSE(reader.Open(dir.Path("missing")));
}

// Readers trim, cut and overwrite the line in place, up to and including
// its terminator: the lines after it arrive unchanged, across buffer
// refills, long pieces and CRLF line ends, and again after a rewind.
// ReadWholeLine gives each line whole, without its line end.
TEST(LineReader, LinesChangedInPlaceLeaveTheNextLinesAlone) {
  std::string content;
  std::vector<std::string> pieces, whole;
  for (int i = 0; i < 30000; ++i) {
    std::string text = "line " + std::to_string(i);
    if (i % 7000 == 3) text += std::string(5000, 'w');
    content += text + (i % 3 ? "\r\n" : "\n");
    whole.push_back(text);
    if (text.size() > 4095) pieces.push_back(text.substr(0, 4095));
    pieces.push_back(text.size() > 4095 ? text.substr(4095) + "\n" : text + "\n");
  }
  content += "last";
  pieces.push_back("last");
  whole.push_back("last");
  TempDir dir;
  WriteFile(dir.Path("f"), content);
  LineReader reader;
  ASSERT_TRUE(reader.Open(dir.Path("f")));
  for (int pass = 0; pass < 2; ++pass) {
    size_t k = 0;
    while (reader.ReadLine()) {
      ASSERT_LT(k, pieces.size());
      ASSERT_EQ(std::string(reader.Line(), reader.Length()), pieces[k]) << "piece " << k;
      char* line = reader.Line();
      for (size_t i = 0; i < reader.Length(); ++i) line[i] = 'X';
      line[reader.Length()] = 'Y';
      line[reader.Length() / 2] = '\0';
      ++k;
    }
    EXPECT_EQ(k, pieces.size());
    EXPECT_STREQ(reader.Line(), "");
    EXPECT_EQ(reader.Length(), 0u);
    reader.Rewind();
  }
  std::string line;
  for (const std::string& expected : whole) {
    ASSERT_TRUE(reader.ReadWholeLine(line));
    ASSERT_EQ(line, expected);
  }
  EXPECT_FALSE(reader.ReadWholeLine(line));
}

// The pieces, and the positions after them, that reading piece by piece and
// testing each with strstr finds; then the same with ReadLineContaining.
// Calls alternate with plain ReadLine so that both start from every kind of
// position.
std::vector<std::string> FindPieces(const std::string& path, LineReader::Mode mode,
                                    const std::vector<const char*>& needles, bool bFast) {
  LineReader reader;
  EXPECT_TRUE(reader.Open(path, mode));
  std::vector<std::string> found;
  for (int round = 0;; ++round) {
    bool ok = false;
    if (bFast) {
      ok = reader.ReadLineContaining(needles.data(), static_cast<int>(needles.size()));
    } else {
      while (!ok && reader.ReadLine())
        for (const char* needle : needles) ok = ok || std::strstr(reader.Line(), needle);
    }
    if (!ok) {
      EXPECT_EQ(reader.Length(), 0u);
      found.push_back("end at " + std::to_string(reader.Position()));
      return found;
    }
    found.push_back(std::string(reader.Line(), reader.Length()) + " @" + std::to_string(reader.Position()));
    if (round % 3 == 2 && reader.ReadLine()) found.push_back("then " + std::string(reader.Line(), reader.Length()));
  }
}

TEST(LineReader, ReadLineContainingFindsThePiecesReadLineFinds) {
  // Needles in ordinary lines, at line starts and ends, in CRLF lines,
  // behind NUL bytes (strstr does not see them), across the 4095-character
  // cut of long lines, in lines longer than the buffer, at the end of the
  // file without a line end, and first letters without the rest.
  std::string text;
  unsigned state = 7;
  auto next = [&state]() { return state = state * 1103515245u + 12345u, (state >> 16) & 0x7fff; };
  const std::string words[] = {"POSITION",      "TOTAL-FORCE", "POS",          "TOTAL",     "x",
                               "  1.25 -3.5  ", "VOLUME",      "** Forces **", "Forces **", "*** Forces"};
  for (int line = 0; line < 6000; ++line) {
    std::string l;
    switch (next() % 40) {
      case 0:
        l = std::string(4090 + next() % 10, 'a') + "POSITION TOTAL-FORCE";
        break;
      case 1:
        l = std::string(70000 + next() % 5000, 'b') + "TOTAL-FORCE";
        break;
      case 2:
        l = std::string("ab") + '\0' + "POSITION";
        break;
      case 3:
        l = std::string(4095 - 5, 'c') + "TOTAL-FORCE";
        break;  // cut inside the needle
      default:
        for (int k = static_cast<int>(next() % 6); k > 0; --k) l += words[next() % 10] + " ";
    }
    text += l + (next() % 3 == 0 ? "\r\n" : "\n");
  }
  text += "last TOTAL-FORCE";
  TempDir dir;
  WriteFile(dir.Path("f"), text);
  const std::vector<std::vector<const char*>> needleSets = {
      {"TOTAL-FORCE"},  {"POSITION", "VOLUME"}, {"VOLUME", "TOTAL-FORCE", "x"}, {"ab"}, {"1.25 -3.5"}, {"absent"},
      {"** Forces **"}, {"* Forces", "5 -3"}};
  for (const auto& needles : needleSets)
    for (LineReader::Mode mode : {LineReader::kText, LineReader::kBinary}) {
      SCOPED_TRACE(std::string(needles[0]) + (mode == LineReader::kText ? " text" : " binary"));
      std::vector<std::string> slow = FindPieces(dir.Path("f"), mode, needles, false);
      EXPECT_GT(slow.size(), needles[0] == std::string("absent") ? 0u : 10u);
      EXPECT_EQ(FindPieces(dir.Path("f"), mode, needles, true), slow);
    }
}

}  // namespace
}  // namespace quorvel
