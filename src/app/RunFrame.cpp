#include "app/RunFrame.h"

#include <cstdio>

#include "app/ActionTable.h"
#include "app/Options.h"
#include "system/FileSafety.h"
#include "system/Platform.h"
#include "text/TextUtil.h"

namespace quorvel {

static void PrintBanner() {
  std::printf("\n");
  std::printf("===================================================\n");
  std::printf("      File Converter for MD/ab-initio programs\n");
  std::printf("===================================================\n");
  std::printf("\n");
}

// Paths are held as strings of any length: a database directory longer than
// 255 characters is used as it is rather than cut to a different path.
// The atom-property database is the electron-configuration file (nonrel),
// so its path is shown but not kept apart.
static CDatabasePaths SetDatabasePaths(const char* argv0) {
  std::string base = OptionTable.GetOptionValue("DBDir");
  if (base.empty()) base = ProgramDirectory(argv0);
  CDatabasePaths paths;
  paths.NONRELPath = base.empty() ? "nonrel" : JoinPathString(base, "nonrel");
  paths.ASFDCPath = base.empty() ? "asfdc" : JoinPathString(base, "asfdc");
  paths.SPGDBPath = base.empty() ? "spgra" : JoinPathString(base, "spgra");
  std::printf("NONRELPath:  %s\n", paths.NONRELPath.c_str());
  std::printf("ASFDCPath :  %s\n", paths.ASFDCPath.c_str());
  std::printf("AtomDBPath:  %s\n", paths.NONRELPath.c_str());
  std::printf("SPGDBPath :  %s\n", paths.SPGDBPath.c_str());
  std::printf("\n\n");
  return paths;
}

// The action's result: 1 when it did its job.
static int Dispatch(const CDatabasePaths& databases) {
  const std::string& action = OptionTable.GetOptionValue("Action");
  for (int i = 0; i < kActionCount; ++i) {
    const ActionEntry& entry = kActions[i];
    if (!EqualNoCase(action, entry.name)) continue;
    if (entry.bAnnounceSerialNumber)
      std::printf(entry.announcement, GetOptionInt("sn"));
    else
      std::printf("%s", entry.announcement);
    if (entry.handler) return entry.handler(CActionArguments{OptionTable.File(0), OptionTable.File(1), databases});
    std::printf("The action %s is not available in this build of Quorvel.\n", entry.name);
    return 0;
  }
  std::printf("\nError: Invalid Action: [%s]\n\n", action.c_str());
  return 0;
}

// --help (or -h) and --version anywhere on the command line answer alone:
// the usage text or the version, and nothing is run.
enum class EAnswer { kNone, kHelp, kVersion };
static EAnswer AnswerAsked(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return EAnswer::kHelp;
    if (arg == "--version") return EAnswer::kVersion;
  }
  return EAnswer::kNone;
}

int RunQuorvel(int argc, const char* const* argv) {
  ForgetInputFiles();
  const char* program = argc > 0 ? argv[0] : "quorvel";
  const EAnswer answer = AnswerAsked(argc, argv);
  if (answer == EAnswer::kVersion) {
    std::printf("Quorvel %s\n", QUORVEL_VERSION);
    std::fflush(stdout);
    return kExitDone;
  }
  PrintBanner();
  OptionTable.Reset();
  DeclareOptions(OptionTable);
  if (answer == EAnswer::kHelp) {
    OptionTable.PrintUsage(program);
    std::fflush(stdout);
    return kExitDone;
  }
  OptionTable.ParseCommandLine(argc, argv);
  if (OptionTable.ErrorCount() > 0) return kExitInvalidLine;
  if (argc <= 1) {
    OptionTable.PrintUsage(program);
    return kExitInvalidLine;
  }
  const int result = Dispatch(SetDatabasePaths(argc > 0 ? argv[0] : ""));
  std::printf("\n");
  std::printf("Quorvel finished.\n");
  std::printf("\n");
  std::fflush(stdout);
  return result == 1 ? kExitDone : kExitFailed;
}

}  // namespace quorvel
