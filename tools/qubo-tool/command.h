#pragma once
// qubo-tool commands. Each command lives in its own file and registers itself:
//
//   static const qubo::tool::Registration reg{"archive", "list, extract, pack and append archives",
//                                             &ArchiveMain};
//
// A command's main gets the arguments after its name (UTF-8, as typed) and returns the exit
// code. Text goes to the terminal in UTF-8; convert code page 932 with support/encoding.h.

#include <cstdint>
#include <string>
#include <vector>

namespace qubo::tool {

using Args = std::vector<std::string>;
using CommandMain = int (*)(const Args& args);

struct Command {
  std::string name;
  std::string summary;
  CommandMain main;
};

std::vector<Command>& Commands();

struct Registration {
  Registration(std::string name, std::string summary, CommandMain main) {
    Commands().push_back({std::move(name), std::move(summary), main});
  }
};

// Prints "qubo-tool NAME: message" to stderr and returns 2 (for usage errors) or 1.
int Fail(const std::string& command, const std::string& message, int code = 1);

// A whole file's bytes; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes);
// Writes the bytes as the whole file; false when that fails.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace qubo::tool
