// quboplayer: plays a game from its folder, archive or program file.

#include <cstdio>
#include <cstring>
#include <string>

#include "host/headlessgame.h"
#include "platform/system.h"
#include "qubo_version.h"

namespace {

void Usage(std::FILE* out) {
  std::fprintf(out,
               "QuboPlayer %s\n"
               "usage: quboplayer [GAME_DIR] [options]\n"
               "  GAME_DIR    a game folder (with qubo.qpb); without one, the demo game\n"
               "  --save-dir DIR  keep the game's saves in DIR instead of the user's data folder\n"
               "  --trace     print a line for every script command entered\n"
               "  --ticks N   stop after N ticks\n"
               "  --help      this text\n"
               "  --version   the version\n"
               "The window and the scene are not part of this build yet: the game's script runs\n"
               "on a virtual clock and its message boxes are printed.\n",
               QUBO_VERSION);
}

// The demo game is built beside the program: <build>/bin/quboplayer, <build>/demo.
std::string DemoFolder() {
  const std::string program = qubo::platform::MakeSystemShell()->ProgramPath();
  const size_t slash = program.rfind('/');
  if (slash == std::string::npos) return "demo";
  return program.substr(0, slash) + "/../demo";
}

}  // namespace

int main(int argc, char** argv) {
  qubo::host::THeadlessOptions options;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--version") == 0) {
      std::printf("QuboPlayer %s\n", QUBO_VERSION);
      return 0;
    }
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      Usage(stdout);
      return 0;
    }
    if (std::strcmp(a, "--trace") == 0) {
      options.trace = true;
    } else if (std::strcmp(a, "--save-dir") == 0 && i + 1 < argc) {
      options.saveDir = argv[++i];
    } else if (std::strcmp(a, "--ticks") == 0 && i + 1 < argc) {
      options.maxTicks = std::strtoll(argv[++i], nullptr, 10);
    } else if (a[0] != '-' && options.gameDir.empty()) {
      options.gameDir = a;
    } else {
      Usage(stderr);
      return 2;
    }
  }
  if (options.gameDir.empty()) options.gameDir = DemoFolder();
  return qubo::host::RunHeadless(options);
}
