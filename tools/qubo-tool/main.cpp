// qubo-tool: inspects, unpacks, packs, dumps and builds game files.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>

#include "command.h"
#include "qubo_version.h"
#include "support/encoding.h"

namespace qubo::tool {

std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}

int Fail(const std::string& command, const std::string& message, int code) {
  std::fprintf(stderr, "qubo-tool %s: %s\n", command.c_str(), message.c_str());
  return code;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream o(path, std::ios::binary | std::ios::trunc);
  o.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return o.good();
}

}  // namespace qubo::tool

namespace {

void Help() {
  auto commands = qubo::tool::Commands();
  std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  std::printf("qubo-tool %s: the QuboPlayer companion\nusage: qubo-tool COMMAND [ARGS...]\n\ncommands:\n",
              QUBO_VERSION);
  for (const auto& c : commands) std::printf("  %-10s %s\n", c.name.c_str(), c.summary.c_str());
  std::printf("\n'qubo-tool COMMAND --help' tells more about one command.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h" ||
      std::string(argv[1]) == "help") {
    Help();
    return argc < 2 ? 2 : 0;
  }
  if (std::string(argv[1]) == "--version") {
    std::printf("qubo-tool %s\n", QUBO_VERSION);
    return 0;
  }
  const std::string name = argv[1];
  for (const auto& c : qubo::tool::Commands()) {
    if (c.name != name) continue;
    try {
      return c.main(qubo::tool::Args(argv + 2, argv + argc));
    } catch (const std::exception& e) {
      // Messages of the player are code page 932.
      return qubo::tool::Fail(name, qubo::Cp932ToUtf8(e.what()));
    }
  }
  return qubo::tool::Fail(name, "unknown command (see qubo-tool --help)", 2);
}
