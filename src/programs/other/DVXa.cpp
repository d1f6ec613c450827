#include "programs/other/DVXa.h"

#include <cstdio>
#include <cstring>

#include "text/LineReader.h"
#include "text/Messages.h"
#include "text/OutputFile.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

void WriteBytes(std::FILE* out, const char* text, size_t length) {
  if (length > 0) std::fwrite(text, 1, length, out);
}

}  // namespace

int DVXaF01Conv(const std::string& path, const std::string& spin, int madelung) {
  std::printf("Input file to be converted: [%s]\n", path.c_str());

  const std::string backupPath = path + ".prev";
  if (!CopyFileContents(path, backupPath)) {
    std::printf("Creation of backup file [%s] was failed.\n", backupPath.c_str());
    return -1;
  }
  std::printf("Backup file [%s] is created.\n", backupPath.c_str());

  // Only the first character counts: n or N switches spin polarisation off,
  // anything else (also an empty value) switches it on.
  const int spinSwitch = (!spin.empty() && (spin[0] == 'n' || spin[0] == 'N')) ? 0 : 1;
  const int madelungSwitch = madelung;
  std::printf("Spin: %s\n", spin.c_str());
  std::printf("Madelung: %d\n", madelungSwitch);

  LineReader in;
  if (!in.Open(backupPath)) {
    ReportCanNotRead(backupPath);
    return -2;
  }
  // The file is rewritten in place: it was read only to be saved as the
  // backup, which is what the run reads (and so its input).
  COutputFile out;
  if (!out.Open(path, "w")) {
    if (!out.Refused()) ReportCanNotWrite(path);
    return -3;
  }

  // An empty file has no first line to move: it stays empty.
  if (!in.ReadLine()) return out.Commit() ? 1 : -3;
  std::printf("F: %s", in.Line());
  // The first line is the title; unless it begins with '|' it belongs at the
  // end of the file, after two line ends.
  std::string heldFirstLine;
  bool bHoldFirstLine = in.Line()[0] != '|';
  if (bHoldFirstLine)
    heldFirstLine.assign(in.Line(), in.Length());
  else
    WriteBytes(out.get(), in.Line(), in.Length());

  while (in.ReadLine()) {
    const char* line = in.Line();
    // A switch line: what stands before the keyword is replaced by the switch,
    // right-aligned in five characters, and five blanks. "Spin" wins over
    // "M.P." when a line holds both.
    const char* keyword = std::strstr(line, "Spin");
    int value = spinSwitch;
    if (!keyword) {
      keyword = std::strstr(line, "M.P.");
      value = madelungSwitch;
    }
    if (!keyword) {
      WriteBytes(out.get(), line, in.Length());
      continue;
    }
    std::printf("b: %s", line);
    std::fprintf(out.get(), "%5d     ", value);
    const size_t offset = static_cast<size_t>(keyword - line);
    WriteBytes(out.get(), keyword, in.Length() - offset);
  }

  if (bHoldFirstLine) {
    std::fputs("\n\n", out.get());
    WriteBytes(out.get(), heldFirstLine.data(), heldFirstLine.size());
  }
  return out.Commit() ? 1 : -3;
}

}  // namespace quorvel
