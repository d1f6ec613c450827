#include "app/Options.h"

#include <cstdio>
#include <cstring>

#include "text/TextUtil.h"

namespace quorvel {

COptionTable OptionTable;

namespace {
const std::string kEmpty;
}

void COptionTable::Reset() {
  names_.clear();
  values_.clear();
  helps_.clear();
  files_.clear();
  errorCount_ = 0;
}

int COptionTable::AddOption(const std::string& name, const std::string& defaultValue, const std::string& help) {
  if (Count() >= kCapacity) return -Count();
  names_.push_back(name);
  values_.push_back(defaultValue);
  helps_.push_back(help);
  return Count() - 1;
}

const std::string& COptionTable::GetOptionValue(const std::string& name) const {
  for (size_t i = 0; i < names_.size(); ++i)
    if (EqualNoCase(names_[i], name)) return values_[i];
  return kEmpty;
}

const std::string& COptionTable::GetOptionName(int index) const {
  return (index >= 0 && index < Count()) ? names_[static_cast<size_t>(index)] : kEmpty;
}

const std::string& COptionTable::GetOptionHelp(int index) const {
  return (index >= 0 && index < Count()) ? helps_[static_cast<size_t>(index)] : kEmpty;
}

const std::string& COptionTable::File(int index) const {
  return (index >= 0 && index < FileCount()) ? files_[static_cast<size_t>(index)] : kEmpty;
}

void COptionTable::ParseCommandLine(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    std::printf("arg: %s\n", arg);
    bool matched = false;
    for (size_t k = 0; k < names_.size() && !matched; ++k) {
      std::string prefix = "--" + names_[k] + "=";
      if (StartsWithNoCase(arg, prefix.c_str())) {
        // The value is everything after the first '=' of the argument.
        values_[k] = std::string(std::strchr(arg, '=') + 1);
        matched = true;
      }
    }
    if (matched) continue;
    if (arg[0] == '-') {
      std::printf("Invalid argument: %s\n", arg);
      ++errorCount_;
    }
    // The table keeps 100 plain arguments; only the first two are ever used,
    // so any further ones are echoed and dropped with a note.
    if (FileCount() < kCapacity) {
      files_.push_back(arg);
      std::printf("Add File [%s].\n", arg);
    } else {
      std::printf("Too many file arguments: [%s] ignored (at most %d are kept).\n", arg, kCapacity);
    }
  }
}

void COptionTable::PrintUsage(const char* programName) const {
  std::printf("\n");
  std::printf("   Usage: %s [Options] %s\n", programName, "infile [outfile]");
  std::printf("              Options:\n");
  for (size_t k = 0; k < names_.size(); ++k) {
    if (helps_[k].empty())
      std::printf("                 --%s=[values]\n", names_[k].c_str());
    else
      std::printf("                 --%s=%s\n", names_[k].c_str(), helps_[k].c_str());
  }
}

int GetOptionInt(const std::string& name) { return AtoI(OptionTable.GetOptionValue(name)); }
double GetOptionDouble(const std::string& name) { return AtoF(OptionTable.GetOptionValue(name)); }

void DeclareOptions(COptionTable& table) {
  const char* kStep = "[-1|>=1]";
  const char* kValue = "[-1e50|>-1e20]";
  const char* kFlag = "[0|1]";
  const char* kPositive = "[>0]";
  table.AddOption("Action", "",
                  "[ConvF09p|UpdateFILE05|AddHistoryCSV|PWScfConvOutput|DVXaF01Conv|VASPConvCONTCAR|VASPMakeXSF|"
                  "WIENConvDOS|WIENMakeCIFFromStruct|GULPMakeCIFFromInput|ShowCIFInf|CalRDF]");
  table.AddOption("DBDir", "", "AtomDB_Directory");
  table.AddOption("nCycle", "0", "[0|>=1]");
  table.AddOption("nOutputInterval", "0", kStep);
  table.AddOption("nLastStep", "0", kStep);
  table.AddOption("iAvrFirstStep", "0", kStep);
  table.AddOption("iAvrLastStep", "0", kStep);
  table.AddOption("NextTemperature", "-1e50", kValue);
  table.AddOption("TemperatureRate", "-1e50", kValue);
  table.AddOption("ControlStep", "1", kStep);
  table.AddOption("NextPressure", "-1e50", kValue);
  table.AddOption("sn", "0", "[-1|0|>=1]");
  table.AddOption("Spin", "s", "[n|s]");
  table.AddOption("Madelung", "1", kFlag);
  table.AddOption("CoordinationNumber", "0", kPositive);
  table.AddOption("ShowAsymmetricUnit", "0", kFlag);
  table.AddOption("ShowAllAtoms", "0", kFlag);
  table.AddOption("CalcRDF", "0", kFlag);
  table.AddOption("MaximumDistance", "5.0", kPositive);
  table.AddOption("MinimumDistance", "0.1", kPositive);
  table.AddOption("nMesh", "201", "[>1]");
}

}  // namespace quorvel
