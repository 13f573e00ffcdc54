#pragma once
// What the virtual file system needs from the user-facing side when a file lies on another
// disc of a multi-disc game. The host fills it in; tests use a fake.

#include <cstdint>
#include <optional>
#include <string>

namespace qubo {

// The project's wording and identity for the disc request (code page 932).
struct DiskRequest {
  std::string title;                // message box caption, and the project name a disc must carry
  std::string diskMessage;          // "%d" stands for the disc number
  std::string quitMessage;
};

// The identity an install record gives a disc.
struct DiscIdentity {
  std::string projectName;
  int32_t discIndex = 0;  // 0 for the first disc
};

class DiskPrompt {
 public:
  virtual ~DiskPrompt() = default;
  // Shows message with OK and Cancel under caption; true for OK.
  virtual bool Ask(const std::string& caption, const std::string& message) = 0;
  // The user chose to end the game: set the terminated flag and ask the main window to close.
  virtual void Quit() = 0;
  // Reads the install record at hostPath; nullopt when it cannot be read.
  virtual std::optional<DiscIdentity> ReadInstall(const std::string& hostPath) = 0;
};

}  // namespace qubo
