#include "script/savepath.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "script/projectmessages.h"
#include "support/encoding.h"
#include "support/errors.h"

namespace qubo {
namespace {

namespace fs = std::filesystem;

// The byte length of the UTF-8 sequence at s[i] (1 for a stray byte) and its code point.
size_t Utf8At(std::string_view s, size_t i, uint32_t& cp) {
  const uint8_t b = static_cast<uint8_t>(s[i]);
  size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  if (i + n > s.size()) n = 1;
  cp = n == 1 ? b : (b & (0x7F >> n));
  for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
  return n;
}

bool Refused(uint32_t cp) {
  if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return true;  // control characters
  switch (cp) {
    case '\\': case '/': case ':': case ',': case ';': case '*':
    case '?': case '"': case '<': case '>': case '|':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string SafeFolderName(std::string_view titleCp932) {
  const std::string utf8 = Cp932ToUtf8(titleCp932);
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0;
    const size_t n = Utf8At(utf8, i, cp);
    const std::string_view piece = Refused(cp) ? std::string_view("_") : std::string_view(utf8).substr(i, n);
    if (out.size() + piece.size() > kMaxSafeNameBytes) break;
    out += piece;
    i += n;
  }
  if (out.find_first_not_of('.') == std::string::npos) out.assign(std::max<size_t>(out.size(), 1), '_');
  return out;
}

std::string ShortHash(const std::vector<uint8_t>& bytes) {
  // FNV-1a, 32 bits.
  uint32_t h = 2166136261u;
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 16777619u;
  }
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08x", h);
  return buf;
}

std::string GameId(std::string_view titleCp932, const std::vector<uint8_t>& projectBytes) {
  return SafeFolderName(titleCp932) + "-" + ShortHash(projectBytes);
}

std::string SaveRoot(const SaveEnvLookup& env) {
  if (const char* d = env("XDG_DATA_HOME"); d != nullptr && d[0] == '/') {
    std::string root = d;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return root + (root == "/" ? "" : "/") + "quboplayer";
  }
  if (const char* h = env("HOME"); h != nullptr && h[0] == '/') {
    std::string home = h;
    while (!home.empty() && home.back() == '/') home.pop_back();
    return home + "/.local/share/quboplayer";
  }
  return std::string();
}

std::string ResolveSavePath(const SavePathRequest& request, const SaveEnvLookup& env) {
  fs::path folder;
  if (!request.saveDirOverride.empty()) {
    folder = request.saveDirOverride;
  } else {
    const std::string root = SaveRoot(env);
    if (root.empty()) throw QuboError(msg::kMsgCannotMakeDataFile);
    folder = fs::path(root) / GameId(request.titleCp932, request.projectBytes);
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder, ec)) throw QuboError(msg::kMsgCannotMakeDataFile);
  const fs::path save = folder / "save.dat";
  if (!request.gameFolder.empty() && !fs::exists(save, ec)) {
    const fs::path beside = fs::path(request.gameFolder) / "save.dat";
    if (fs::is_regular_file(beside, ec) && !fs::equivalent(beside, save, ec)) {
      // A failed copy leaves the game without its old saves but still playable.
      fs::copy_file(beside, save, fs::copy_options::skip_existing, ec);
    }
  }
  return save.string();
}

}  // namespace qubo
