// The process-wide option table and the command-line parser.
#pragma once

#include <string>
#include <vector>

namespace quorvel {

class COptionTable {
 public:
  static constexpr int kCapacity = 100;


  // Forgets every option, plain argument and error (a new run).
  void Reset();

  // Declares an option; returns its slot, or the count negated when full.
  int AddOption(const std::string& name, const std::string& defaultValue, const std::string& help);
  // Value of the first option whose name equals name ignoring ASCII case;
  // the empty text when there is none.
  const std::string& GetOptionValue(const std::string& name) const;
  const std::string& GetOptionName(int index) const;
  const std::string& GetOptionHelp(int index) const;

  // Parses argv[1..argc-1], echoing each argument.
  void ParseCommandLine(int argc, const char* const* argv);
  void PrintUsage(const char* programName) const;

  int Count() const { return static_cast<int>(names_.size()); }
  int FileCount() const { return static_cast<int>(files_.size()); }
  int ErrorCount() const { return errorCount_; }
  // The i-th plain argument, or the empty text.
  const std::string& File(int index) const;

 private:
  std::vector<std::string> names_, values_, helps_, files_;
  int errorCount_ = 0;
};

// The one option table of the process.
extern COptionTable OptionTable;

// Conversions that actions apply to an option's text.
int GetOptionInt(const std::string& name);
double GetOptionDouble(const std::string& name);

// Declares the program's 21 options with their defaults and help texts.
void DeclareOptions(COptionTable& table);

}  // namespace quorvel
