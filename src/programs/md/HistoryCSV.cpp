// The run history tables: the step table and the printed blocks of a Plimo
// run log (.f06) appended to two CSV tables that continue the step numbering
// and the time axis of the runs before.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "programs/md/Plimo.h"
#include "text/LineReader.h"
#include "text/Messages.h"
#include "text/NumberFormat.h"
#include "text/OutputFile.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

constexpr int kMaxDisplacements = 20;

bool StartsWith(const char* line, const char* prefix) { return std::strncmp(line, prefix, std::strlen(prefix)) == 0; }

bool IsStepTableHeader(const char* line) { return StartsWithNoCase(line, " Step T"); }

// A decimal number read from a fixed run of characters of the line; nothing
// there reads as 0.
double NumberAt(const char* line, long start, size_t width) {
  if (start < 0) {
    // A run that would begin before the line starts is cut to the line.
    if (static_cast<long>(width) + start <= 0) return 0;
    width = static_cast<size_t>(static_cast<long>(width) + start);
    start = 0;
  }
  return AtoF(Field(line, static_cast<size_t>(start), width));
}

// The number after a label in the line; a line without the label gives 0.
double NumberAfter(const char* line, const char* label) {
  const char* p = std::strstr(line, label);
  return p ? AtoF(p + std::strlen(label)) : 0.0;
}

// Where a table continues: the step and the time of its last line (the
// integer at its start and the number after its first comma). A table that
// is empty, or whose last line has no comma, continues from 0.
struct CTableEnd {
  bool bExists = false;  // the table can be read
  bool bEmpty = true;    // it holds nothing (a new or empty table gets its header)
  bool bOpenLine = false;  // its last line has no line end yet
  int StepOffset = 0;
  double TimeOffset = 0;
};

CTableEnd ReadTableEnd(const std::string& path) {
  CTableEnd end;
  LineReader reader;
  // The table is this action's own output, read to go on from its end.
  if (!reader.Open(path, LineReader::kText, LineReader::kEarlierOutput)) return end;
  end.bExists = true;
  std::string last;
  while (reader.ReadLine()) {
    end.bEmpty = false;
    last.assign(reader.Line());
    end.bOpenLine = reader.Length() == 0 || reader.Line()[reader.Length() - 1] != '\n';
  }
  end.StepOffset = AtoI(last);
  size_t comma = last.find(',');
  end.TimeOffset = comma == std::string::npos ? 0.0 : AtoF(last.c_str() + comma + 1);
  return end;
}

struct CStepRow {
  int sn = 0;
  double Temperature = 0, Pressure = 0, P[6] = {0, 0, 0, 0, 0, 0};
  double Coulomb = 0, Short = 0, ThreeBody = 0, Kinetic = 0, Total = 0, Density = 0;
};

// A step row holds both '(' and ')'; its fields are fixed runs of
// characters around them.
bool ParseStepRow(const char* line, int posTemp, CStepRow& row) {
  const char* open = std::strchr(line, '(');
  const char* close = std::strchr(line, ')');
  if (!open || !close) return false;
  long o = static_cast<long>(open - line);
  long c = static_cast<long>(close - line);
  row.sn = AtoI(Field(line, 0, 6));
  row.Temperature = posTemp >= 0 ? NumberAt(line, posTemp, 5) : 0.0;
  row.Pressure = NumberAt(line, o - 8, 8);
  for (int i = 0; i < 6; ++i) row.P[i] = NumberAt(line, o + 1 + 6 * i, 6);
  long p = c + 1;
  row.Coulomb = NumberAt(line, p, 10);
  row.Short = NumberAt(line, p += 10, 9);
  row.ThreeBody = NumberAt(line, p += 9, 7);
  row.Kinetic = NumberAt(line, p += 7, 7);
  row.Total = NumberAt(line, p += 7, 10);
  row.Density = NumberAt(line, p += 10, 9);
  return true;
}

struct CBlock {
  int sn = 0;
  double Temperature = 0;
  double a = 0, b = 0, c = 0, alpha = 0, beta = 0, gamma = 0;
  double U = 0, E = 0, K = 0, H = 0, PV = 0;
  int nDisplacements = 0;
  std::string DisplacementName[kMaxDisplacements];
  double Displacement[kMaxDisplacements] = {0};
};

// The displacement entries of one line: each of its first two colons ends
// the two-character element name before it and is followed by the value.
// Entries beyond the table's 20 are not kept (nor printed).
void ParseDisplacements(const char* line, CBlock& block) {
  const char* p = line;
  for (int k = 0; k < 2; ++k) {
    const char* colon = std::strchr(p, ':');
    if (!colon) return;
    p = colon + 1;
    if (block.nDisplacements >= kMaxDisplacements) continue;
    size_t at = static_cast<size_t>(colon - line);
    size_t start = at >= 2 ? at - 2 : 0;  // a colon at the line's start has a shorter name
    int i = block.nDisplacements++;
    block.DisplacementName[i].assign(line + start, at - start);
    block.Displacement[i] = AtoF(colon + 1);
    if (k == 0)
      std::printf(" Name=%s(%lg)  ", block.DisplacementName[i].c_str(), block.Displacement[i]);
    else
      std::printf(" %s(%lg)\n", block.DisplacementName[i].c_str(), block.Displacement[i]);
  }
}

// One printed block, from the line after its "<<<<<<" line. A label that is
// missing leaves its value 0; a block cut off by the end of the file keeps 0
// for everything that was not reached.
void ReadBlock(LineReader& in, int posTemp, CBlock& block) {
  bool bFound = false;
  while (in.ReadLine())
    if (StartsWith(in.Line(), "------")) {
      bFound = true;
      break;
    }
  if (bFound) {
    if (in.ReadLine()) {
      block.sn = AtoI(in.Line());
      block.Temperature = posTemp >= 0 ? NumberAt(in.Line(), posTemp, 5) : 0.0;
    }
    std::printf(" T=%g\n", block.Temperature);
  }
  while (in.ReadLine())
    if (StartsWith(in.Line(), "I--------")) break;

  in.ReadLine();
  if (in.ReadLine()) {
    block.a = NumberAfter(in.Line(), " A:");
    block.alpha = NumberAfter(in.Line(), " Alpha:");
  }
  if (in.ReadLine()) {
    block.b = NumberAfter(in.Line(), " B:");
    block.beta = NumberAfter(in.Line(), " Beta :");
  }
  if (in.ReadLine()) {
    block.c = NumberAfter(in.Line(), " C:");
    block.gamma = NumberAfter(in.Line(), " Gamma:");
  }
  std::printf("  Latti: %lg %lg %lg   %lg %lg %lg\n", block.a, block.b, block.c, block.alpha, block.beta,
              block.gamma);

  in.ReadLine();
  if (in.ReadLine()) {
    block.U = NumberAfter(in.Line(), " U =");
    block.E = NumberAfter(in.Line(), " U+K =");
  }
  if (in.ReadLine()) {
    block.K = NumberAfter(in.Line(), " K =");
    block.H = NumberAfter(in.Line(), " E+PV=");
  }
  if (in.ReadLine()) block.PV = NumberAfter(in.Line(), " PV=");
  std::printf("  U=%lg E=%lg K=%lg H=%lg PV=%lg\n", block.U, block.E, block.K, block.H, block.PV);

  in.ReadLine();
  if (in.ReadLine() && std::strstr(in.Line(), "M.s.d. ")) {
    ParseDisplacements(in.Line(), block);
    while (in.ReadLine() && !StartsWith(in.Line(), "I----") && !StartsWith(in.Line(), " I----"))
      ParseDisplacements(in.Line(), block);
  }
}

// A step number continued from the table before, held to the 32-bit range.
int ContinuedStep(int sn, int stepOffset) {
  long long step = static_cast<long long>(sn) + stepOffset;
  return step > INT_MAX ? INT_MAX : (step < INT_MIN ? INT_MIN : static_cast<int>(step));
}

bool IsBlockStart(const char* line) { return StartsWith(line, "<<<<<<") || StartsWith(line, "1<<<<<<"); }

// The header of the log: the time step ("time step of"), printed with the
// step count that follows on its line. 0 when the log has none.
double ReadTimeStep(LineReader& in) {
  while (in.ReadLine()) {
    const char* line = in.Line();
    const char* p = std::strstr(line, "time step of ");
    if (!p) continue;
    const double timeStep = AtoF(p + std::strlen("time step of "));
    int nStep = in.Length() > 18 ? AtoI(line + 18) : 0;
    std::printf("TimeStep: %g fs\n", timeStep);
    std::printf("nStep: %d\n", nStep);
    in.ReadLine();
    return timeStep;
  }
  return 0;
}

// Finds the step table's header line; false when the log has none. posTemp
// is the column of its "Temp" (-1 without one: the temperatures read as 0).
bool FindStepTable(LineReader& in, int& posTemp) {
  while (in.ReadLine()) {
    if (!IsStepTableHeader(in.Line())) continue;
    const char* temp = std::strstr(in.Line(), "Temp");
    posTemp = temp ? static_cast<int>(temp - in.Line()) : -1;
    std::printf(" PosTemp=%d\n", posTemp);
    return true;
  }
  return false;
}

// The step table, with its page breaks, to the end of the file: every row
// printed, every nOutputInterval-th added to the History table.
void AppendStepRows(LineReader& in, int posTemp, double timeStep, const CTableEnd& end, int nOutputInterval,
                    std::FILE* table) {
  int count = 0;
  int lastSn = 0;
  while (in.ReadLine()) {
    if (StartsWith(in.Line(), " ----")) {
      while (in.ReadLine())
        if (IsStepTableHeader(in.Line())) break;
      continue;
    }
    CStepRow row;
    if (!ParseStepRow(in.Line(), posTemp, row)) continue;
    if (row.sn <= 0 || row.sn <= lastSn) continue;
    lastSn = row.sn;
    FastPrintf(" sn=%d ", row.sn);
    FastPrintf(" T=%g ", row.Temperature);
    FastPrintf(" P=%f ", row.Pressure);
    FastPrintf(" K=%f ", row.Kinetic);
    FastPrintf(" Total=%f ", row.Total);
    FastPrintf(" d=%6.3f\n", row.Density);
    if (count % nOutputInterval == 0)
      FastFprintf(table, "%d,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg\n",
                  ContinuedStep(row.sn, end.StepOffset), row.sn * timeStep + end.TimeOffset, row.Temperature,
                  row.Pressure, row.P[0], row.P[1], row.P[2], row.P[3], row.P[4], row.P[5], row.Coulomb, row.Short,
                  row.ThreeBody, row.Kinetic, row.Total, row.Density);
    ++count;
  }
}

// The printed blocks, from the start of the file: every nOutputInterval-th
// added to the History2 table, whose header (named after the first block's
// displacements) an empty table gets first.
void AppendBlocks(LineReader& in, int posTemp, double timeStep, const CTableEnd& end, int nOutputInterval,
                  std::FILE* table) {
  in.Rewind();
  int count = 0;
  while (in.ReadLine()) {
    if (!IsBlockStart(in.Line())) continue;
    CBlock block;
    ReadBlock(in, posTemp, block);
    if (count == 0 && end.bEmpty) {
      std::fputs("sn,time(fs),Temp(K),a(A),b(A),c(A),alpha,beta,gamma,U,E,K,PV,H", table);
      for (int i = 0; i < block.nDisplacements; ++i)
        std::fprintf(table, ",m.s.d.(%s)", block.DisplacementName[i].c_str());
      std::fputs("\n", table);
    }
    if (count % nOutputInterval == 0) {
      std::fprintf(table, "%d,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg,%lg",
                   ContinuedStep(block.sn, end.StepOffset), block.sn * timeStep + end.TimeOffset, block.Temperature,
                   block.a, block.b, block.c, block.alpha, block.beta, block.gamma, block.U, block.E, block.K,
                   block.PV, block.H);
      for (int i = 0; i < block.nDisplacements; ++i) std::fprintf(table, ",%lg", block.Displacement[i]);
      std::fputs("\n", table);
    }
    ++count;
  }
}

}  // namespace

// "run-History.csv" and "run.csv" both go with "run-History2.csv".
std::string CPlimo::GetHistory2Name(const std::string& history) {
  std::string stem = StripExtension(history);
  size_t cut = stem.find("-History");
  if (cut != std::string::npos) stem.resize(cut);
  return stem + "-History2.csv";
}

int CPlimo::AddHistoryCSV(const std::string& f06, const std::string& history, int nOutputInterval) {
  std::string historyName = history.empty() ? StripExtension(f06) + "-History.csv" : history;
  std::string history2Name = GetHistory2Name(historyName);
  std::printf("Input .f06 File  : %s\n", f06.c_str());
  std::printf("History CSV  File: %s\n", historyName.c_str());
  std::printf("History2 CSV File: %s\n", history2Name.c_str());

  if (nOutputInterval == 0) nOutputInterval = 1;
  std::printf("nOutputInterval: %d\n", nOutputInterval);

  // The run log is only read, and the two tables are two different files:
  // names that coincide would append the tables to the log or to each other.
  if (historyName == f06 || history2Name == f06 || history2Name == historyName) {
    const std::string& clash = historyName == f06 || historyName == history2Name ? historyName : history2Name;
    std::printf("Error: Can not add to [%s]: the log and the two tables must be three different files.\n",
                clash.c_str());
    return -1;
  }

  CTableEnd historyEnd = ReadTableEnd(historyName);
  if (historyEnd.bExists) {
    std::printf("StepOffset: %d\n", historyEnd.StepOffset);
    std::printf("TimeOffset: %lg fs\n", historyEnd.TimeOffset);
  }

  LineReader in;
  if (!in.Open(f06, LineReader::kText)) {
    ReportCanNotRead(f06, "Error: ");
    return -1;
  }
  COutputFile table;
  if (!table.Open(historyName, "a")) {
    if (!table.Refused()) std::printf("Error: Can not add to [%s].\n", historyName.c_str());
    return -1;
  }
  // A table that exists but holds nothing gets its header too, so that an
  // earlier run that added no row does not leave a table without one. A
  // last line left without its line end is ended before the new rows.
  if (historyEnd.bOpenLine) std::fputs("\n", table.get());
  if (historyEnd.bEmpty)
    std::fputs(
        "sn,time(fs),Temp(K),P(GPa),Pxx,Pyy,Pzz,Pxy,Pxz,Pyz,U:Coulomb(J/mol),Short,3-body,Kinet.,Total,Density(cm-3)\n",
        table.get());

  const double timeStep = ReadTimeStep(in);
  int posTemp = -1;
  if (FindStepTable(in, posTemp)) AppendStepRows(in, posTemp, timeStep, historyEnd, nOutputInterval, table.get());
  if (!table.Commit("Error: ")) return -1;

  std::printf("Add to %s\n", history2Name.c_str());
  CTableEnd history2End = ReadTableEnd(history2Name);
  COutputFile table2;
  if (!table2.Open(history2Name, "a")) {
    if (!table2.Refused()) std::printf("Error: Can not add to [%s].\n", history2Name.c_str());
    return -1;
  }
  if (history2End.bOpenLine) std::fputs("\n", table2.get());
  AppendBlocks(in, posTemp, timeStep, history2End, nOutputInterval, table2.get());
  return table2.Commit("Error: ") ? 1 : -1;
}

}  // namespace quorvel
