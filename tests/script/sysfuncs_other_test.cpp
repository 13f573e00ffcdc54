// Save captions, display modes, the wallpaper, OpenUrl through the headless shell, history
// sizes and the alert box.

#include <gtest/gtest.h>

#include <filesystem>

#include "fakescripthost.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

namespace fs = std::filesystem;
using testing::Caller;

enum {
  kGetSaveCaption = 27, kGetDisplayMode = 65, kSetWallPaper = 125, kListSaveCaption = 134, kOpenUrl = 135,
  kGetHistoryCount = 142, kGetHistoryMaxCount = 143, kSetHistoryMaxCount = 144, kAlert = 168,
};

TFuncResult Do(Caller& c, int index, std::vector<TCustomParam*> args) { return c.Call(CallOtherFunction, index, args); }

TEST(OtherFunctions, SaveCaptions) {
  Caller c;
  c.host.captions = {{3, "Chapter 1"}, {0, "Start"}, {12, "End"}};
  EXPECT_EQ(Do(c, kGetSaveCaption, {c.Int(12)}).strValue, "End");
  EXPECT_EQ(Do(c, kGetSaveCaption, {c.Int(5)}).type, PT_STR);

  EXPECT_EQ(Do(c, kListSaveCaption, {}).intValue, 3);
  EXPECT_EQ(Do(c, kListSaveCaption, {c.Ref("caps"), c.Ref("slots", PT_INT)}).intValue, 3);
  TCustomParam& caps = c.Var("caps");
  TCustomParam& slots = c.Var("slots");
  EXPECT_EQ(caps.DimList(), std::vector<int32_t>{3});
  EXPECT_EQ(slots.DimList(), std::vector<int32_t>{3});
  EXPECT_EQ(caps.GetStrAt(0), "Chapter 1");
  EXPECT_EQ(caps.GetStrAt(2), "End");
  EXPECT_EQ(slots.GetIntAt(0), 3);
  EXPECT_EQ(slots.GetIntAt(2), 12);

  // None: the count 0 and empty scalars, not a failure over a dimension of 0.
  c.host.captions.clear();
  EXPECT_EQ(Do(c, kListSaveCaption, {c.Ref("caps"), c.Ref("slots")}).intValue, 0);
  EXPECT_EQ(caps.Count(), 1);
  EXPECT_TRUE(caps.DimList().empty());
  EXPECT_EQ(caps.AsStr(), "");
  EXPECT_EQ(slots.Count(), 1);
  EXPECT_EQ(slots.AsInt(), 0);
}

TEST(OtherFunctions, DisplayModes) {
  Caller c;
  TFuncResult r = Do(c, kGetDisplayMode, {c.Int(1), c.Ref("w", PT_INT), c.Ref("h", PT_INT), c.Ref("b", PT_INT),
                                          c.Ref("hz", PT_STR)});
  EXPECT_TRUE(r.flagValue);
  EXPECT_EQ(c.Var("w").AsInt(), 640);
  EXPECT_EQ(c.Var("h").AsInt(), 480);
  EXPECT_EQ(c.Var("b").AsInt(), 16);
  EXPECT_EQ(c.Var("hz").AsStr(), "0");
  for (int32_t bad : {2, -1}) {
    c.Var("w").SetInt(7);
    r = Do(c, kGetDisplayMode, {c.Int(bad), c.Ref("w"), c.Ref("h"), c.Ref("b"), c.Ref("hz")});
    EXPECT_EQ(r.type, PT_BOOL);
    EXPECT_FALSE(r.flagValue);
    EXPECT_EQ(c.Var("w").AsInt(), 7);
  }
}

TEST(OtherFunctions, WallpaperIsWrittenIntoThePlayersFolder) {
  testkit::TempDir dir;
  Caller c;
  // Without a folder of the player's own nothing is written and the answer is false.
  EXPECT_FALSE(Do(c, kSetWallPaper, {c.Str("cg\\bg.brx"), c.Int(1)}).flagValue);
  EXPECT_TRUE(c.host.bitmaps.empty());

  c.host.wallpaperFolder = dir / "player";
  EXPECT_TRUE(Do(c, kSetWallPaper, {c.Str("cg\\bg.brx"), c.Int(1)}).flagValue);
  const std::string path = dir / "player/qubowall.bmp";
  ASSERT_EQ(c.host.bitmaps.size(), 1u);
  EXPECT_EQ(c.host.bitmaps[0].first, "cg\\bg.brx");
  EXPECT_EQ(c.host.bitmaps[0].second, path);
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(c.host.Headless().Transcript().back(), "SetWallpaper \"" + path + "\" 1");
  // An empty name is the screen.
  EXPECT_TRUE(Do(c, kSetWallPaper, {c.Str(""), c.Int(5)}).flagValue);
  EXPECT_EQ(c.host.bitmaps.back().first, "");

  // The desktop refusing, or no image to write, answers false.
  platform::HeadlessOptions refusing;
  refusing.wallpaperWorks = false;
  Caller d(refusing);
  d.host.wallpaperFolder = dir / "player";
  EXPECT_FALSE(d.Call(CallOtherFunction, kSetWallPaper, {d.Str(""), d.Int(0)}).flagValue);
  d.host.screen = false;
  d.host.Headless().ClearTranscript();
  EXPECT_FALSE(d.Call(CallOtherFunction, kSetWallPaper, {d.Str(""), d.Int(0)}).flagValue);
  EXPECT_TRUE(d.host.Headless().Transcript().empty());
}

TEST(OtherFunctions, OpenUrlOpensAddressesAndExistingFoldersOnly) {
  testkit::TempDir dir;
  fs::create_directories(dir / "My Folder");
  Caller c;
  auto& opened = c.host.Headless().OpenedTargets();
  std::string folder = dir / "My Folder";
  std::string scriptFolder = folder;
  std::replace(scriptFolder.begin(), scriptFolder.end(), '/', '\\');

  struct Case {
    std::string text;
    std::string opened;  // empty: nothing is opened
  };
  const Case cases[] = {
      {"http://example.com/a?b=1&c=$(x)", "http://example.com/a?b=1&c=$(x)"},
      {"https://example.com/", "https://example.com/"},
      {"ftp://example.com/file", "ftp://example.com/file"},
      {"HTTP://EXAMPLE.COM", "HTTP://EXAMPLE.COM"},
      {scriptFolder + "\\", folder},
      {folder, folder},
      {"mailto:someone@example.com", ""},
      {"file:///etc/passwd", ""},
      {"/etc/passwd", ""},  // a file, not a folder
      {dir / "missing", ""},
      {"; rm -rf ~", ""},
      {"", ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    const size_t before = opened.size();
    EXPECT_FALSE(Do(c, kOpenUrl, {c.Str(k.text)}).HasValue());
    if (k.opened.empty()) {
      EXPECT_EQ(opened.size(), before);
    } else {
      ASSERT_EQ(opened.size(), before + 1);
      EXPECT_EQ(opened.back(), k.opened);
    }
  }
  // A relative folder is opened by its absolute path, never as something that looks like an
  // option to the opener.
  const fs::path cwd = fs::current_path();
  fs::current_path(dir.Path());
  fs::create_directories("-x");
  Do(c, kOpenUrl, {c.Str("-x")});
  fs::current_path(cwd);
  ASSERT_FALSE(opened.empty());
  EXPECT_EQ(opened.back(), (dir.Path() / "-x").string());
}

TEST(OtherFunctions, HistoryAndAlert) {
  Caller c;
  c.host.history["log"] = {12, 100};
  EXPECT_EQ(Do(c, kGetHistoryCount, {c.Str("log")}).intValue, 12);
  EXPECT_EQ(Do(c, kGetHistoryMaxCount, {c.Str("log")}).intValue, 100);
  EXPECT_EQ(Do(c, kGetHistoryCount, {c.Str("none")}).intValue, -1);
  EXPECT_EQ(Do(c, kGetHistoryMaxCount, {c.Str("none")}).intValue, -1);
  EXPECT_TRUE(Do(c, kSetHistoryMaxCount, {c.Str("log"), c.Int(50)}).flagValue);
  EXPECT_EQ(c.host.history["log"].second, 50);
  EXPECT_FALSE(Do(c, kSetHistoryMaxCount, {c.Str("none"), c.Int(50)}).flagValue);

  EXPECT_TRUE(Do(c, kAlert, {c.Str("Hello\r\nthere")}).flagValue);
  const auto& boxes = c.host.Headless().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Hello\r\nthere");
  EXPECT_EQ(boxes[0].caption, "\x8F\xEE\x95\xF1");  // 情報
  EXPECT_EQ(boxes[0].buttons, platform::MsgButtons::Ok);
  EXPECT_EQ(boxes[0].icon, platform::MsgIcon::Information);

  bool handled = true;
  c.Call(CallOtherFunction, 0, {c.Int(1)}, &handled);
  EXPECT_FALSE(handled);
}

}  // namespace
}  // namespace qubo
