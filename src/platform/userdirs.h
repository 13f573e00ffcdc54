#pragma once
// The user's Desktop and Documents folders as the desktop's user-dirs configuration names
// them ($XDG_CONFIG_HOME/user-dirs.dirs, default ~/.config/user-dirs.dirs).

#include <functional>
#include <string>

#include "platform/platform.h"

namespace qubo::platform {

// Reads an environment variable: nullptr when unset.
using EnvLookup = std::function<const char*(const char* name)>;

// The folder, in this order: the XDG_DESKTOP_DIR / XDG_DOCUMENTS_DIR line of user-dirs.dirs
// (a value "$HOME/..." or an absolute path; other values are ignored); the variable of that
// name in the environment when absolute; HOME/Desktop or HOME/Documents when that folder
// exists; HOME itself. HOME is the environment's, else the password database's, else "/".
// No trailing '/' (except for "/").
std::string ResolveUserFolder(UserFolder which, const EnvLookup& env);
// The same with the process environment.
std::string ResolveUserFolder(UserFolder which);

// The value of key in the text of a user-dirs.dirs file, with "$HOME" expanded to home and
// the file's quoting undone; empty when absent or not of an accepted form.
std::string ParseUserDirsValue(const std::string& fileText, const std::string& key, const std::string& home);

}  // namespace qubo::platform
