// Message boxes through SDL; open, save and folder dialogs through zenity when it is
// installed, else a box saying that no dialog can be shown (the answer is then cancel).

#include <cstdio>

#include "platform/sdlvideo.h"
#include "platform/spawn.h"
#include "platform/userdirs.h"
#include "support/encoding.h"

namespace qubo::platform {
namespace {

// CP932 text for a box: UTF-8 with "\r\n" as "\n".
std::string BoxText(const std::string& cp932) {
  std::string utf8 = Cp932ToUtf8(cp932);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
    out += utf8[i];
  }
  return out;
}

const char* Label(MsgButton b, bool japanese) {
  switch (b) {
    case MsgButton::Ok:
      return "OK";
    case MsgButton::Cancel:
      return japanese ? "キャンセル" : "Cancel";
    case MsgButton::Yes:
      return japanese ? "はい" : "Yes";
    case MsgButton::No:
      return japanese ? "いいえ" : "No";
    case MsgButton::YesToAll:
      return japanese ? "すべてはい" : "Yes to All";
    case MsgButton::NoToAll:
      return japanese ? "すべていいえ" : "No to All";
  }
  return "?";
}

class SdlDialogs : public Dialogs {
 public:
  SdlDialogs(SdlWindow& w, bool japanese) : w_(w), japanese_(japanese) {}

  MsgButton ShowMessage(const MessageBoxRequest& request) override {
    const auto buttons = ButtonsOf(request.buttons);
    const MsgButton escape = EscapeAnswer(request.buttons);
    const size_t def = request.defaultButton >= 0 && static_cast<size_t>(request.defaultButton) < buttons.size()
                           ? static_cast<size_t>(request.defaultButton)
                           : 0;
    std::vector<SDL_MessageBoxButtonData> data;
    for (size_t i = 0; i < buttons.size(); ++i) {
      SDL_MessageBoxButtonData d{};
      d.buttonid = static_cast<int>(i);
      d.text = Label(buttons[i], japanese_);
      if (i == def) d.flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
      if (buttons[i] == escape) d.flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
      data.push_back(d);
    }
    const std::string caption = BoxText(request.caption);
    const std::string text = BoxText(request.text);
    SDL_MessageBoxData box{};
    switch (request.icon) {
      case MsgIcon::Error:
        box.flags = SDL_MESSAGEBOX_ERROR;
        break;
      case MsgIcon::Warning:
        box.flags = SDL_MESSAGEBOX_WARNING;
        break;
      case MsgIcon::Information:
      case MsgIcon::Question:
        box.flags = SDL_MESSAGEBOX_INFORMATION;
        break;
      case MsgIcon::None:
        break;
    }
    box.flags |= SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    box.window = w_.window;
    box.title = caption.c_str();
    box.message = text.c_str();
    box.numbuttons = static_cast<int>(data.size());
    box.buttons = data.data();
    int hit = -1;
    if (SDL_ShowMessageBox(&box, &hit) != 0) {
      // No box can be shown (no display): the text still reaches the user's terminal.
      std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
      return buttons.size() == 1 ? buttons[0] : escape;
    }
    if (hit < 0 || static_cast<size_t>(hit) >= buttons.size()) return escape;
    return buttons[static_cast<size_t>(hit)];
  }

  std::optional<std::string> SelectPath(const FileDialogRequest& request) override {
    const std::string zenity = FindProgram("zenity");
    if (zenity.empty()) {
      MessageBoxRequest box;
      box.caption = Utf8ToCp932Lossy("QuboPlayer");
      box.text = Utf8ToCp932Lossy(japanese_ ? "ファイルを選ぶダイアログを表示できません（zenity がありません）。"
                                            : "No file dialog can be shown (zenity is not installed).");
      box.icon = MsgIcon::Warning;
      ShowMessage(box);
      return std::nullopt;
    }
    FileDialogRequest r = request;
    if (r.initialFolder.empty()) r.initialFolder = ResolveUserFolder(UserFolder::Desktop);
    auto argv = ZenityArgv(r);
    argv[0] = zenity;
    const RunResult result = RunAndCapture(argv, [] { SDL_PumpEvents(); });
    if (!result.started || result.exitCode != 0) return std::nullopt;
    std::string path = result.output;
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    if (path.empty() || path[0] != '/') return std::nullopt;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  }

 private:
  SdlWindow& w_;
  bool japanese_;
};

}  // namespace

std::unique_ptr<Dialogs> MakeSdlDialogs(SdlWindow& shared, bool japanese) {
  return std::make_unique<SdlDialogs>(shared, japanese);
}

}  // namespace qubo::platform
