// The option table fed arbitrary argument lists (arguments separated by NUL
// bytes), and the conversions actions apply to option values.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/Options.h"
#include "text/TextUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  std::vector<std::string> args{"quorvel"};
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  args.push_back(current);
  std::vector<const char*> argv;
  for (auto& a : args) argv.push_back(a.c_str());
  quorvel::COptionTable table;
  quorvel::DeclareOptions(table);
  table.ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  for (int i = 0; i < table.Count(); ++i) {
    const std::string& v = table.GetOptionValue(table.GetOptionName(i));
    (void)quorvel::AtoI(v);
    (void)quorvel::AtoF(v);
  }
  return 0;
}
