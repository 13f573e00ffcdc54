#pragma once
// The real clock and shell: time from the system, the desktop's opener, the user's folders,
// the language, the wallpaper and the one-instance lock.

#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/userdirs.h"

namespace qubo::platform {

std::unique_ptr<Clock> MakeSystemClock();
std::unique_ptr<Shell> MakeSystemShell();

// True when the locale the environment names for messages (LC_ALL, else LC_MESSAGES, else
// LANG; the first one set and not empty) is a Japanese one ("ja", "ja_JP.UTF-8", ...).
bool IsJapaneseLocale(const EnvLookup& env);

// The lock file of an instance name inside folder: "quboplayer-<16 hex digits>.lock", the
// digits a hash of the name, so any bytes make a safe file name.
std::string InstanceLockPath(const std::string& folder, const std::string& name);
// Holds an exclusive lock on that file (created when missing) while the result lives; nullptr
// when another holder has it (another process, or another lock of this one).
std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& folder, const std::string& name);

// The commands that set a GNOME-style desktop's wallpaper through gsettings: the picture URI
// (light and dark variants) and the placement (0 centred, 1 tiled, other stretched). The path
// is made a file: URI with every byte outside the unreserved set percent-encoded.
std::vector<std::vector<std::string>> WallpaperCommands(const std::string& gsettings, const std::string& imagePath,
                                                        int style);

}  // namespace qubo::platform
