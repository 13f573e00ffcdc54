// The real clock and shell.

#include "platform/system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/spawn.h"

namespace qubo::platform {
namespace {

class SystemClock : public Clock {
 public:
  uint64_t Milliseconds() override {
    const auto d = std::chrono::steady_clock::now() - start_;
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
  }
  uint32_t SystemMilliseconds() override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                                 static_cast<uint64_t>(ts.tv_nsec / 1000000));
  }
  void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  LocalDateTime Now() override {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    const time_t secs = ts.tv_sec;
    localtime_r(&secs, &local);
    LocalDateTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second reads as :59
    t.millisecond = static_cast<int32_t>(ts.tv_nsec / 1000000);
    t.weekday = local.tm_wday;
    return t;
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

class FileLock : public InstanceLock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() override { close(fd_); }  // closing the file releases the lock

 private:
  int fd_;
};

EnvLookup ProcessEnv() {
  return [](const char* name) -> const char* { return std::getenv(name); };
}

class SystemShell : public Shell {
 public:
  bool Open(const std::string& target) override {
    const auto argv = OpenerArgv(target);
    return !argv.empty() && SpawnDetached(argv);
  }
  std::string UserFolderPath(UserFolder which) override { return ResolveUserFolder(which); }
  std::string ProgramPath() override {
    std::string buf(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return {};
    buf.resize(static_cast<size_t>(n));
    return buf;
  }
  bool IsJapaneseLanguage() override { return IsJapaneseLocale(ProcessEnv()); }
  bool SetWallpaper(const std::string& imagePath, int style) override {
    const std::string gsettings = FindProgram("gsettings");
    if (gsettings.empty() || imagePath.empty()) return false;
    const auto commands = WallpaperCommands(gsettings, imagePath, style);
    for (size_t i = 0; i < commands.size(); ++i) {
      const RunResult r = RunAndCapture(commands[i]);
      // The dark-variant key exists only in newer desktops: its failure does not count.
      if ((!r.started || r.exitCode != 0) && i != 1) return false;
    }
    return true;
  }
  std::unique_ptr<InstanceLock> AcquireInstance(const std::string& name) override {
    // The user's runtime folder; else the user's cache folder (not a folder others share,
    // where someone else's file of that name could make every start look like a second one).
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/') return AcquireInstanceLock(runtime, name);
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    std::string folder = cache && *cache == '/' ? std::string(cache)
                         : home && *home == '/' ? std::string(home) + "/.cache"
                                                : std::string("/tmp");
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return AcquireInstanceLock(folder, name);
  }
};

}  // namespace

std::unique_ptr<Clock> MakeSystemClock() { return std::make_unique<SystemClock>(); }
std::unique_ptr<Shell> MakeSystemShell() { return std::make_unique<SystemShell>(); }

bool IsJapaneseLocale(const EnvLookup& env) {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = env(var);
    if (!v || !*v) continue;
    const std::string s = v;
    return s.size() >= 2 && s.compare(0, 2, "ja") == 0 && (s.size() == 2 || s[2] == '_' || s[2] == '.' || s[2] == '@');
  }
  return false;
}

std::string InstanceLockPath(const std::string& folder, const std::string& name) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : name) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  static const char kHex[] = "0123456789abcdef";
  std::string digits(16, '0');
  for (int i = 15; i >= 0; --i, h >>= 4) digits[static_cast<size_t>(i)] = kHex[h & 15];
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  return path + "quboplayer-" + digits + ".lock";
}

std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& folder, const std::string& name) {
  const std::string path = InstanceLockPath(folder, name);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return nullptr;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<FileLock>(fd);
}

std::vector<std::vector<std::string>> WallpaperCommands(const std::string& gsettings, const std::string& imagePath,
                                                        int style) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : imagePath) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  const char* options = style == 0 ? "centered" : style == 1 ? "wallpaper" : "stretched";
  const std::string schema = "org.gnome.desktop.background";
  return {{gsettings, "set", schema, "picture-uri", uri},
          {gsettings, "set", schema, "picture-uri-dark", uri},
          {gsettings, "set", schema, "picture-options", options}};
}

}  // namespace qubo::platform
