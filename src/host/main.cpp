// quboplayer: plays a game from its folder, archive or program file.

#include <cstdio>
#include <cstring>

#include "qubo_version.h"

namespace {

void Usage(std::FILE* out) {
  std::fprintf(out,
               "QuboPlayer %s\n"
               "usage: quboplayer [GAME_DIR | GAME_FILE] [options]\n"
               "  GAME_DIR    a game folder (with qubo.qpb, game.dat or the game's program)\n"
               "  GAME_FILE   a game archive or a program with an appended archive\n"
               "  --help      this text\n"
               "  --version   the version\n",
               QUBO_VERSION);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("QuboPlayer %s\n", QUBO_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      Usage(stdout);
      return 0;
    }
  }
  // The game runner is not part of this build yet.
  Usage(stdout);
  return 0;
}
