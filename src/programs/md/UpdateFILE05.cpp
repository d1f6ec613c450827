// The next run's input file: a copy of FILE05 in which the number of steps,
// the temperature, the temperature rate, the control step and the pressure
// are replaced by option values.
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "text/LineReader.h"
#include "system/Platform.h"
#include "text/OutputFile.h"
#include "text/TextUtil.h"
#include "programs/md/Plimo.h"

namespace quorvel {

namespace {

// A number of the file written as an integer: truncated toward zero, and
// held to the 32-bit range (a value beyond it, or not a number, cannot be
// truncated meaningfully).
int TruncateToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return static_cast<int>(v);
}

// True when the first n characters of the line are there and hold no line end.
bool HasLabel(const char* line, size_t n) {
  if (std::strlen(line) < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (line[i] == '\n') return false;
  return true;
}

using CUpdateValues = CPlimo::CUpdateValues;

// Line 3: a word and six numbers; the word and the first five are written
// back as integers, the first replaced by nCycle. A line without the word
// and the five numbers that are written is kept unchanged.
bool EditLine3(const char* line, const CUpdateValues& v, std::string& edited) {
  char word[LineReader::kLineBufferSize];
  double n[6];
  if (std::sscanf(line, "%4095s %lg %lg %lg %lg %lg %lg", word, &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]) < 6)
    return false;
  int first = v.nCycle > 0 ? v.nCycle : TruncateToInt(n[0]);
  edited = Format("%-8s     %05d.    %05d.    %5d.   %5d.    %5d.            :\n", word, first, TruncateToInt(n[1]),
                  TruncateToInt(n[2]), TruncateToInt(n[3]), TruncateToInt(n[4]));
  return true;
}

// Line 5: a label of ten characters, then temperature, temperature rate and
// control step. A line shorter than its label or with fewer than the three
// numbers is kept unchanged.
bool EditLine5(const char* line, const CUpdateValues& v, std::string& edited) {
  if (!HasLabel(line, 10)) return false;
  double temperature, rate, controlStep;
  if (std::sscanf(line + 10, "%lg %lg %lg", &temperature, &rate, &controlStep) < 3) return false;
  // The temperature has its own threshold: any real temperature is above
  // -1000 K, while the option's "not given" value is -1e50.
  if (v.NextTemperature > -1000.0) temperature = v.NextTemperature;
  if (v.TemperatureRate > -1e20) rate = v.TemperatureRate;
  int step = v.ControlStep > 0 ? v.ControlStep : TruncateToInt(controlStep);
  std::string label(line, 10);
  edited = Format("%9s%9.2f%9.2f%9d.                                :\n", label.c_str(), temperature, rate, step);
  return true;
}

// Line 6: a label of nine characters and three pressures, all three replaced
// by NextPressure. The old pressures are not used, so only the label must be
// there; a line shorter than its label is kept unchanged.
bool EditLine6(const char* line, const CUpdateValues& v, std::string& edited) {
  if (!(v.NextPressure > -1e20) || !HasLabel(line, 9)) return false;
  std::string label(line, 9);
  edited = Format("%8s%10.4f%10.4f%10.4f                               :\n", label.c_str(), v.NextPressure,
                  v.NextPressure, v.NextPressure);
  return true;
}

bool EndsLine(const LineReader& in, const char* line) { return in.Length() > 0 && line[in.Length() - 1] == '\n'; }

}  // namespace

// Only the file name after the last separator is split, so a dot or a minus
// sign in a directory name never takes part.
std::string CPlimo::GetUpdatedFILE05Name(const std::string& input, int sn) {
  size_t sep = FindLastSeparator(input);
  size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
  size_t dot = input.rfind('.');
  if (dot == std::string::npos || dot < nameStart) dot = input.size();
  std::string base = input.substr(0, dot);
  std::string extension = input.substr(dot);
  // A numbered run: a minus sign followed by exactly three characters, the
  // first a digit, ends the base ("run-004" continues as "run").
  size_t minus = base.rfind('-');
  if (minus != std::string::npos && minus >= nameStart && base.size() - minus - 1 == 3 &&
      std::isdigit(static_cast<unsigned char>(base[minus + 1])))
    base.resize(minus);
  if (sn >= 1) return Format("%s-%03d", base.c_str(), sn) + extension;
  return base + extension + ".new";
}

int CPlimo::UpdateFILE05(const std::string& input, int sn, const CUpdateValues& v) {
  std::string output = GetUpdatedFILE05Name(input, sn);
  std::printf("Update [%s] to [%s].\n", input.c_str(), output.c_str());

  std::printf("nCycle: %d\n", v.nCycle);
  std::printf("NextTempeature: %lg K\n", v.NextTemperature);
  std::printf("TempeatureRate: %lg K / %d step\n", v.TemperatureRate, v.ControlStep);
  std::printf("NextPressure  : %lg GPa\n", v.NextPressure);
  std::printf("Sequential N  : %d\n", sn);

  LineReader in;
  if (!in.Open(input, LineReader::kText)) {
    std::printf("Can not read %s.\n", input.c_str());
    return -1;
  }
  // The input is never written: an sn that names the input itself (run-005
  // given with sn 5) would truncate it before it is read.
  if (output == input) {
    std::printf("Can not write to %s: it is the input file.\n", output.c_str());
    return -1;
  }
  COutputFile out;
  if (!out.Open(output, "w")) {
    in.Close();
    if (!out.Refused()) std::printf("Can not write to %s.\n", output.c_str());
    return -1;
  }

  // Lines are counted as lines of the file: a line longer than the read
  // buffer is one line whose further pieces are copied with it, or dropped
  // with it when the line is rewritten. Missing lines of a short input are
  // not made up.
  int nLine = 0;
  while (in.ReadLine()) {
    ++nLine;
    const char* line = in.Line();
    std::string edited;
    bool bEdited = (nLine == 3 && EditLine3(line, v, edited)) || (nLine == 5 && EditLine5(line, v, edited)) ||
                   (nLine == 6 && EditLine6(line, v, edited));
    if (bEdited)
      std::fputs(edited.c_str(), out.get());
    else
      std::fwrite(line, 1, in.Length(), out.get());
    while (!EndsLine(in, in.Line()) && in.ReadLine())
      if (!bEdited) std::fwrite(in.Line(), 1, in.Length(), out.get());
  }
  in.Close();
  if (!out.Commit()) return -1;
  std::printf("\n");
  return 1;
}

}  // namespace quorvel
