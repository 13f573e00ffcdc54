// posix_spawn helpers.

#include "platform/spawn.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "support/encoding.h"

extern char** environ;

namespace qubo::platform {

std::vector<std::string> OpenerArgv(const std::string& target) {
  if (target.empty()) return {};
  std::string arg = target;
  if (arg[0] == '-') arg = "./" + arg;
  return {"xdg-open", arg};
}

std::vector<std::string> ZenityArgv(const FileDialogRequest& request) {
  std::vector<std::string> argv{"zenity", "--file-selection"};
  if (request.kind == FileDialogKind::Save) {
    argv.push_back("--save");
    argv.push_back("--confirm-overwrite");
  } else if (request.kind == FileDialogKind::Folder) {
    argv.push_back("--directory");
  }
  if (!request.title.empty()) argv.push_back("--title=" + Cp932ToUtf8(request.title));
  std::string start = request.initialFolder;
  if (!start.empty() && start.back() != '/') start += '/';
  if (request.kind == FileDialogKind::Save) start += request.initialName;
  if (!start.empty()) argv.push_back("--filename=" + start);
  if (request.kind != FileDialogKind::Folder) {
    for (const auto& e : ParseDialogFilter(request.filter)) {
      // zenity splits the entry at " | " and the patterns at blanks.
      std::string entry = Cp932ToUtf8(e.description);
      for (auto& c : entry) {
        if (c == '|') c = '/';
      }
      entry += " |";
      for (const auto& p : e.patterns) entry += " " + Cp932ToUtf8(p);
      argv.push_back("--file-filter=" + entry);
    }
  }
  return argv;
}

std::string FindProgram(const std::string& name, const std::string& pathList) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : std::string();
  size_t start = 0;
  while (start <= pathList.size()) {
    size_t end = pathList.find(':', start);
    if (end == std::string::npos) end = pathList.size();
    std::string dir = pathList.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string full = dir + "/" + name;
    if (access(full.c_str(), X_OK) == 0) return full;
    start = end + 1;
  }
  return {};
}

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  return FindProgram(name, path ? path : "/usr/local/bin:/usr/bin:/bin");
}

namespace {

std::vector<char*> CArgv(const std::vector<std::string>& argv) {
  std::vector<char*> out;
  out.reserve(argv.size() + 1);
  for (const auto& a : argv) out.push_back(const_cast<char*>(a.c_str()));
  out.push_back(nullptr);
  return out;
}

// Starts the child with stdin from /dev/null and, when stdoutFd >= 0, stdout to it.
pid_t Start(const std::vector<std::string>& argv, int stdoutFd, int closeFd) {
  if (argv.empty() || argv[0].empty()) return -1;
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
  if (closeFd >= 0) posix_spawn_file_actions_addclose(&actions, closeFd);
  auto cargv = CArgv(argv);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

int WaitExit(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool SpawnDetached(const std::vector<std::string>& argv) {
  const pid_t pid = Start(argv, -1, -1);
  if (pid < 0) return false;
  std::thread([pid] { WaitExit(pid); }).detach();
  return true;
}

RunResult RunAndCapture(const std::vector<std::string>& argv, const std::function<void()>& whileWaiting) {
  RunResult result;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return result;
  const pid_t pid = Start(argv, fds[1], fds[0]);
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return result;
  }
  result.started = true;
  char buf[4096];
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    const int r = poll(&p, 1, 50);
    if (r < 0 && errno != EINTR) break;
    if (r > 0) {
      const ssize_t n = read(fds[0], buf, sizeof buf);
      if (n > 0) {
        result.output.append(buf, static_cast<size_t>(n));
        continue;
      }
      if (n == 0 || (errno != EINTR && errno != EAGAIN)) break;
    }
    if (whileWaiting) whileWaiting();
  }
  close(fds[0]);
  result.exitCode = WaitExit(pid);
  return result;
}

}  // namespace qubo::platform
