// Built-in functions that reach the project, the screen, the history and the desktop: save
// captions, display modes, the wallpaper, opening addresses, history sizes and the alert box.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "script/paramcollection.h"
#include "script/scripthost.h"
#include "script/sysfuncfamilies.h"
#include "script/sysfuncman.h"
#include "storage/folderresolve.h"
#include "support/sjis.h"

namespace qubo {
namespace {

using sysfunc::ArgPtr;
using sysfunc::BoolArg;
using sysfunc::IntArg;
using sysfunc::StrArg;

namespace fs = std::filesystem;

enum : int {
  kGetSaveCaption = 27,
  kGetDisplayMode = 65,
  kSetWallPaper = 125,
  kListSaveCaption = 134,
  kOpenUrl = 135,
  kGetHistoryCount = 142,
  kGetHistoryMaxCount = 143,
  kSetHistoryMaxCount = 144,
  kAlert = 168,
};

// 情報
const char* const kCaptionInfo = "\x8F\xEE\x95\xF1";
const char* const kWallpaperFile = "qubowall.bmp";


bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && sjis::EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

// GetDisplayMode(i, width, height, bits, refresh).
bool GetDisplayMode(TFuncCall& c) {
  const std::vector<platform::DisplayMode> modes = c.host.DisplayModes();
  const int32_t i = IntArg(c, 1);
  if (i < 0 || static_cast<size_t>(i) >= modes.size()) return false;
  const platform::DisplayMode& m = modes[static_cast<size_t>(i)];
  const int32_t values[4] = {m.width, m.height, m.bits, m.refresh};
  for (int k = 0; k < 4; ++k) {
    if (TCustomParam* out = ArgPtr(c, k + 2)) out->SetInt(values[k]);
  }
  return true;
}

// SetWallPaper(image, style): the image (or the screen, for an empty name) is written as a
// bitmap into the player's own folder and handed to the desktop.
bool SetWallPaper(TFuncCall& c) {
  platform::Platform* p = c.host.Platform();
  const std::string folder = c.host.WallpaperFolder();
  if (p == nullptr || folder.empty()) return false;
  std::error_code ec;
  fs::create_directories(folder, ec);
  const std::string path = (fs::path(folder) / kWallpaperFile).string();
  if (!c.host.WriteBitmap(StrArg(c, 1), path)) return false;
  return p->GetShell().SetWallpaper(path, IntArg(c, 2));
}

// ListSaveCaption(captions, slots): the count; the variables get dimensions [count].
int32_t ListSaveCaption(TFuncCall& c) {
  const std::vector<TScriptHost::SaveCaption> list = c.host.SaveCaptions();
  const auto n = static_cast<int32_t>(list.size());
  for (int k = 0; k < 2; ++k) {
    TCustomParam* var = ArgPtr(c, k + 1);
    if (var == nullptr) continue;
    if (n == 0) {
      // No dimensions of size 0 exist: the variable becomes an empty scalar (through a
      // reference a scalar setter would write one element only).
      var->SetDims({1});
      var->MakeScalar();
      var->SetStrAt(0, std::string());
      continue;
    }
    var->SetDims({n});
    for (int32_t i = 0; i < n; ++i) {
      const TScriptHost::SaveCaption& e = list[static_cast<size_t>(i)];
      if (k == 0) {
        var->SetStrAt(i, e.caption);
      } else {
        var->SetIntAt(i, e.slot);
      }
    }
  }
  return n;
}

// OpenUrl(text): an http or ftp address, or an existing folder, is opened by the desktop.
// The target goes to the shell as one argument; nothing is interpreted by a command shell.
void OpenUrl(TFuncCall& c) {
  platform::Platform* p = c.host.Platform();
  const std::string text = StrArg(c, 1);
  if (p == nullptr || text.empty()) return;
  if (StartsWithNoCase(text, "http") || StartsWithNoCase(text, "ftp")) {
    p->GetShell().Open(text);
    return;
  }
  // A folder, written as scripts write paths ('\\' separators, code page 932).
  std::string name = text;
  for (size_t i = 0; i < name.size(); i = sjis::Next(name, i)) {
    if (sjis::CharLen(name, i) == 1 && name[i] == '\\') name[i] = '/';
  }
  std::error_code ec;
  const fs::path folder = fs::path(Cp932ToHostName(name));
  if (!fs::is_directory(folder, ec)) return;
  // Absolute, so that no folder name can be taken for an option of the handler.
  const fs::path absolute = fs::absolute(folder, ec);
  if (ec) return;
  std::string target = absolute.lexically_normal().string();
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  p->GetShell().Open(target);
}

}  // namespace

bool CallOtherFunction(int index, TFuncCall& c) {
  TFuncResult& r = c.result;
  switch (index) {
    case kGetSaveCaption: r.SetStr(c.host.SaveCaptionOf(IntArg(c, 1))); return true;
    case kGetDisplayMode: r.SetBool(GetDisplayMode(c)); return true;
    case kSetWallPaper: r.SetBool(SetWallPaper(c)); return true;
    case kListSaveCaption: r.SetInt(ListSaveCaption(c)); return true;
    case kOpenUrl: OpenUrl(c); return true;
    case kGetHistoryCount: r.SetInt(c.host.HistoryCount(StrArg(c, 1))); return true;
    case kGetHistoryMaxCount: r.SetInt(c.host.HistoryMaxCount(StrArg(c, 1))); return true;
    case kSetHistoryMaxCount: r.SetBool(c.host.SetHistoryMaxCount(StrArg(c, 1), IntArg(c, 2))); return true;
    case kAlert: {
      if (platform::Platform* p = c.host.Platform()) {
        platform::MessageBoxRequest box;
        box.caption = kCaptionInfo;
        box.text = StrArg(c, 1);
        box.buttons = platform::MsgButtons::Ok;
        box.icon = platform::MsgIcon::Information;
        p->GetDialogs().ShowMessage(box);
      }
      r.SetBool(true);
      return true;
    }
    default: return false;
  }
}

}  // namespace qubo
