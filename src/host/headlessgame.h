#pragma once
// A game run without a window: the project read from the game folder (or one page started
// directly), the engine driven tick by tick on a virtual clock, message boxes written to the
// terminal. The player runs games this way until its window and scene exist; `qubo-tool run`
// always does.

#include <cstdint>
#include <optional>
#include <string>

namespace qubo::host {

struct THeadlessOptions {
  std::string gameDir;     // host path of the game folder
  std::string startPage;   // CP932; empty: the project file's start page
  std::string saveDir;     // host path; empty: the user's data folder
  int64_t maxTicks = 100000;
  bool trace = false;      // a line per command entered
  bool printVars = false;  // the variables when the run stops
  int32_t frameMs = 16;
  std::optional<uint32_t> randomSeed;  // none: the time of day, as the player seeds it
};

// Runs the game and prints why it stopped. Exit code: 0 when it ended normally, 1 when it
// could not start or a command failed.
int RunHeadless(const THeadlessOptions& options);

}  // namespace qubo::host
