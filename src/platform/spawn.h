#pragma once
// Starting helper programs (the desktop's opener, the file dialog program) without a shell:
// every argument is one argv element, passed as it stands, so no text a game supplies can
// become a command.

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace qubo::platform {

// {"xdg-open", target}. A target that begins with '-' is not a URL and would read as an
// option: it becomes "./target". Empty for an empty target.
std::vector<std::string> OpenerArgv(const std::string& target);

// The zenity command line for a dialog (title and filter converted from CP932 to UTF-8;
// filter patterns become --file-filter entries "Description | *.a *.b"). The dialog starts in
// initialFolder, with initialName proposed by a save dialog.
std::vector<std::string> ZenityArgv(const FileDialogRequest& request);

// Full path of a program found in the folders of pathList (':'-separated, as $PATH); empty
// when none is executable. A name with a '/' is taken as it stands when executable.
std::string FindProgram(const std::string& name, const std::string& pathList);
// The same with the process's $PATH.
std::string FindProgram(const std::string& name);

// Starts argv[0] (searched in $PATH when it has no '/') with the other elements as its
// arguments and standard input from /dev/null; does not wait (the child is reaped in the
// background). False when it could not be started.
bool SpawnDetached(const std::vector<std::string>& argv);

struct RunResult {
  bool started = false;
  int exitCode = -1;   // -1 when ended by a signal
  std::string output;  // standard output
};
// Runs argv and waits for it, collecting its standard output; whileWaiting (may be empty) is
// called about every 50 ms meanwhile (to keep a window answering).
RunResult RunAndCapture(const std::vector<std::string>& argv, const std::function<void()>& whileWaiting = {});

}  // namespace qubo::platform
