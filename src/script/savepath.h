#pragma once
// Where a game keeps its save file save.dat on this system.
//
// Saves live under the user's data folder, one folder per game:
//   $XDG_DATA_HOME/quboplayer/<game id>/save.dat   (XDG_DATA_HOME absolute, else ~/.local/share)
// The game id is the title made safe as one file name, a '-' and a short hash of the project
// file's bytes, so two games with one title never share saves. A save folder given by the
// user (--save-dir) replaces the whole folder. A save.dat lying beside the game is taken
// over (copied) the first time, when the user's file does not exist yet.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qubo {

// Reads an environment variable: nullptr when unset.
using SaveEnvLookup = std::function<const char*(const char* name)>;

// The title (code page 932) as one host file name (UTF-8): every control character and each
// of \ / : , ; * ? " < > | becomes '_'; a name that is empty or only dots becomes as many
// '_' (at least one); at most kMaxSafeNameBytes bytes, cut between characters.
inline constexpr size_t kMaxSafeNameBytes = 80;
std::string SafeFolderName(std::string_view titleCp932);

// Eight lower-case hexadecimal digits of a 32-bit hash of the bytes.
std::string ShortHash(const std::vector<uint8_t>& bytes);

// SafeFolderName(title) + "-" + ShortHash(projectBytes).
std::string GameId(std::string_view titleCp932, const std::vector<uint8_t>& projectBytes);

// The folder that holds the games' save folders: $XDG_DATA_HOME/quboplayer when that is an
// absolute path, else $HOME/.local/share/quboplayer. Empty when neither is known. No
// trailing '/'.
std::string SaveRoot(const SaveEnvLookup& env);

struct SavePathRequest {
  std::string titleCp932;
  std::vector<uint8_t> projectBytes;
  std::string saveDirOverride;  // host folder; empty: the user's data folder
  std::string gameFolder;       // host folder whose save.dat is taken over; may be empty
};

// The full host path of save.dat: makes the folders, copies a save.dat from the game folder
// when the user's file is missing. Raises QuboError with the cannot-create message when the
// folder cannot be made.
std::string ResolveSavePath(const SavePathRequest& request, const SaveEnvLookup& env);

}  // namespace qubo
