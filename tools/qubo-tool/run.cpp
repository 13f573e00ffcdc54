// qubo-tool run: runs a game's script headlessly, tick by tick on a virtual 16 ms clock, from
// the project file or from a given page, printing trace lines and message boxes.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "command.h"
#include "host/headlessgame.h"
#include "support/encoding.h"

namespace qubo::tool {
namespace {

const char* const kName = "run";

int Usage() {
  std::fprintf(stderr,
               "usage: qubo-tool run GAME_DIR [--page START.qsb] [--ticks N] [--trace] [--vars]\n"
               "Runs the game in GAME_DIR without a window: from the project file's start page, or\n"
               "from START.qsb when given. Ticks are 16 ms of a virtual clock; it stops when the\n"
               "script has ended with no event pending, when it terminates, or after N ticks\n"
               "(default 100000). Message boxes are printed and answered as if closed.\n"
               "  --trace  print a line for every command entered (clock, page, source line)\n"
               "  --vars   print the variables when it stops\n");
  return 2;
}

int RunMain(const Args& args) {
  host::THeadlessOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") return Usage();
    if (a == "--trace") {
      o.trace = true;
    } else if (a == "--vars") {
      o.printVars = true;
    } else if (a == "--page" && i + 1 < args.size()) {
      o.startPage = Utf8ToCp932Lossy(args[++i]);
    } else if (a == "--ticks" && i + 1 < args.size()) {
      char* end = nullptr;
      o.maxTicks = std::strtoll(args[++i].c_str(), &end, 10);
      if (end == nullptr || *end != 0 || o.maxTicks < 0) return Usage();
    } else if (o.gameDir.empty() && !a.starts_with("--")) {
      o.gameDir = a;
    } else {
      return Usage();
    }
  }
  if (o.gameDir.empty()) return Usage();
  return host::RunHeadless(o);
}

const Registration reg{kName, "run a game's script headlessly and trace it", &RunMain};

}  // namespace
}  // namespace qubo::tool
