// XDG user folders.

#include "platform/userdirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qubo::platform {
namespace {

std::string StripSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string HomeFolder(const EnvLookup& env) {
  if (const char* h = env("HOME"); h && *h == '/') return StripSlash(h);
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buf(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
      found->pw_dir[0] == '/') {
    return StripSlash(found->pw_dir);
  }
  return "/";
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return {};
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool IsFolder(const std::string& p) {
  std::error_code ec;
  return std::filesystem::is_directory(p, ec);
}

}  // namespace

std::string ParseUserDirsValue(const std::string& fileText, const std::string& key, const std::string& home) {
  std::string result;
  std::istringstream in(fileText);
  std::string line;
  while (std::getline(in, line)) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size() || line[i] == '#') continue;
    if (line.compare(i, key.size(), key) != 0) continue;
    i += key.size();
    if (i >= line.size() || line[i] != '=') continue;
    ++i;
    if (i >= line.size() || line[i] != '"') continue;
    ++i;
    // Unquote up to the closing '"'; a backslash takes the next byte as it stands.
    std::string value;
    bool closed = false;
    for (; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        value += line[++i];
      } else if (line[i] == '"') {
        closed = true;
        break;
      } else {
        value += line[i];
      }
    }
    if (!closed) continue;
    std::string path;
    if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
      path = home + value.substr(5);
    } else if (!value.empty() && value[0] == '/') {
      path = value;
    } else {
      continue;
    }
    result = StripSlash(path);  // the last valid line wins, as when the file is sourced
  }
  return result;
}

std::string ResolveUserFolder(UserFolder which, const EnvLookup& env) {
  const std::string home = HomeFolder(env);
  const std::string key = which == UserFolder::Desktop ? "XDG_DESKTOP_DIR" : "XDG_DOCUMENTS_DIR";
  std::string config;
  if (const char* c = env("XDG_CONFIG_HOME"); c && *c == '/') {
    config = StripSlash(c);
  } else {
    config = home == "/" ? "/.config" : home + "/.config";
  }
  if (std::string v = ParseUserDirsValue(ReadFile(config + "/user-dirs.dirs"), key, home); !v.empty()) return v;
  if (const char* e = env(key.c_str()); e && *e == '/') return StripSlash(e);
  const std::string fallback = (home == "/" ? "" : home) + (which == UserFolder::Desktop ? "/Desktop" : "/Documents");
  if (IsFolder(fallback)) return fallback;
  return home;
}

std::string ResolveUserFolder(UserFolder which) {
  return ResolveUserFolder(which, [](const char* name) -> const char* { return std::getenv(name); });
}

}  // namespace qubo::platform
