// The headless back end: virtual clock, scripted input and dialogs, the transcript, frame
// hashes and PNG copies.

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <vector>

#include "platform/frames.h"
#include "platform/headless.h"
#include "platform/vkeys.h"
#include "support/encoding.h"
#include "testkit/testkit.h"

namespace qubo::platform {
namespace {

std::string Cp(const char* utf8) { return *Utf8ToCp932(utf8); }

TEST(HeadlessClock, AdvancesOnlyWhenTold) {
  HeadlessOptions o;
  o.systemTimerStart = 0xFFFFFF00u;
  HeadlessPlatform p(o);
  Clock& c = p.GetClock();
  EXPECT_EQ(c.Milliseconds(), 0u);
  EXPECT_EQ(c.Milliseconds(), 0u);
  p.AdvanceClock(250);
  EXPECT_EQ(c.Milliseconds(), 250u);
  c.Sleep(15);
  EXPECT_EQ(c.Milliseconds(), 265u);
  // The system timer wraps at 2^32 like the real one.
  EXPECT_EQ(c.SystemMilliseconds(), static_cast<uint32_t>(0xFFFFFF00u + 265u));
  p.SetSleepAdvances(false);
  c.Sleep(1000);
  EXPECT_EQ(c.Milliseconds(), 265u);
}

TEST(HeadlessClock, LocalTimeFollowsTheClockAcrossDaysMonthsAndYears) {
  struct Case {
    LocalDateTime start;
    uint64_t advance;
    LocalDateTime expect;
  };
  const Case cases[] = {
      // Saturday 2001-02-03 04:05:06.007 plus 1 ms.
      {{2001, 2, 3, 4, 5, 6, 7, 6}, 1, {2001, 2, 3, 4, 5, 6, 8, 6}},
      // Last millisecond of a day to the next day (a Sunday).
      {{2001, 2, 3, 23, 59, 59, 999, 6}, 1, {2001, 2, 4, 0, 0, 0, 0, 0}},
      // Leap day: 2024-02-28 + 1 day is 2024-02-29 (Thursday); + 2 days is 2024-03-01.
      {{2024, 2, 28, 12, 0, 0, 0, 3}, 86400000, {2024, 2, 29, 12, 0, 0, 0, 4}},
      {{2024, 2, 28, 12, 0, 0, 0, 3}, 2 * 86400000ull, {2024, 3, 1, 12, 0, 0, 0, 5}},
      // 1900 was not a leap year; 2000 was.
      {{1900, 2, 28, 0, 0, 0, 0, 3}, 86400000, {1900, 3, 1, 0, 0, 0, 0, 4}},
      {{2000, 2, 28, 0, 0, 0, 0, 1}, 86400000, {2000, 2, 29, 0, 0, 0, 0, 2}},
      // New Year.
      {{1999, 12, 31, 23, 0, 0, 0, 5}, 3600000, {2000, 1, 1, 0, 0, 0, 0, 6}},
  };
  for (const auto& c : cases) {
    HeadlessOptions o;
    o.startTime = c.start;
    HeadlessPlatform p(o);
    p.AdvanceClock(c.advance);
    EXPECT_EQ(p.GetClock().Now(), c.expect) << c.start.year << "-" << c.start.month << "-" << c.start.day;
  }
}

TEST(HeadlessClock, RandomSeedIsTheMillisecondOfTheDay) {
  HeadlessOptions o;
  o.startTime = {2010, 5, 6, 1, 2, 3, 4, 4};
  HeadlessPlatform p(o);
  EXPECT_EQ(p.GetClock().RandomSeed(), 3723004u);
  p.AdvanceClock(996);
  EXPECT_EQ(p.GetClock().RandomSeed(), 3724000u);
}

TEST(HeadlessInput, EventsArriveInTimeOrderOnceTheClockReachesThem) {
  HeadlessPlatform p;
  p.QueueKey(vk::kReturn, true, 100);
  p.QueueMouseMove(5, 6, 0);
  p.QueueKey(vk::kReturn, false, 100);
  p.QueueClick(7, 8, MouseButton::Right, 50);
  Input& in = p.GetInput();
  InputEvent e;
  ASSERT_TRUE(in.Poll(e));
  EXPECT_EQ(e.type, EventType::MouseMove);
  EXPECT_EQ(e.x, 5);
  EXPECT_FALSE(in.Poll(e)) << "the click is due at 50 ms";
  p.AdvanceClock(50);
  ASSERT_TRUE(in.Poll(e));
  EXPECT_EQ(e.type, EventType::MouseDown);
  EXPECT_EQ(e.button, MouseButton::Right);
  EXPECT_TRUE(in.IsKeyDown(vk::kRButton));
  ASSERT_TRUE(in.Poll(e));
  EXPECT_EQ(e.type, EventType::MouseUp);
  EXPECT_FALSE(in.IsKeyDown(vk::kRButton));
  int32_t x = 0, y = 0;
  in.MousePosition(x, y);
  EXPECT_EQ(x, 7);
  EXPECT_EQ(y, 8);
  EXPECT_FALSE(in.Poll(e));
  p.AdvanceClock(50);
  ASSERT_TRUE(in.Poll(e));
  EXPECT_EQ(e.type, EventType::KeyDown);
  EXPECT_TRUE(in.IsKeyDown(vk::kReturn));
  ASSERT_TRUE(in.Poll(e));
  EXPECT_EQ(e.type, EventType::KeyUp) << "events of the same time keep their queued order";
  EXPECT_FALSE(in.IsKeyDown(vk::kReturn));
  EXPECT_EQ(p.PendingEvents(), 0u);
}

TEST(HeadlessInput, KeyStateIgnoresCodesOutOfRangeAndClearsOnDeactivation) {
  HeadlessPlatform p;
  p.QueueKey(vk::kShift, true);
  p.QueueKey(300, true);
  p.QueueKey(-1, true);
  InputEvent deactivate;
  deactivate.type = EventType::Deactivate;
  p.QueueEvent(deactivate);
  Input& in = p.GetInput();
  InputEvent e;
  ASSERT_TRUE(in.Poll(e));
  ASSERT_TRUE(in.Poll(e));
  ASSERT_TRUE(in.Poll(e));
  EXPECT_TRUE(in.IsKeyDown(vk::kShift));
  EXPECT_FALSE(in.IsKeyDown(300));
  EXPECT_FALSE(in.IsKeyDown(-1));
  EXPECT_FALSE(in.IsKeyDown(256));
  ASSERT_TRUE(in.Poll(e));
  EXPECT_FALSE(in.IsKeyDown(vk::kShift));
}

TEST(HeadlessInput, WarpingTheMouseReportsAMovement) {
  HeadlessPlatform p;
  p.AdvanceClock(40);
  p.QueueKey(vk::kSpace, true, 1000);
  p.GetDisplay().WarpMouse(30, 40);
  InputEvent e;
  ASSERT_TRUE(p.GetInput().Poll(e));
  EXPECT_EQ(e.type, EventType::MouseMove);
  EXPECT_EQ(e.x, 30);
  EXPECT_EQ(e.y, 40);
  EXPECT_EQ(p.Transcript().back(), "WarpMouse 30,40");
}

TEST(HeadlessInput, TextAndClipboardKeepCp932) {
  HeadlessPlatform p;
  const std::string kana = Cp("かな");
  p.QueueText(kana);
  InputEvent e;
  ASSERT_TRUE(p.GetInput().Poll(e));
  EXPECT_EQ(e.type, EventType::TextInput);
  EXPECT_EQ(e.text, kana);
  p.GetInput().StartTextInput({1, 2, 3, 4});
  EXPECT_TRUE(p.GetInput().IsTextInputActive());
  p.GetInput().SetClipboardText(kana);
  EXPECT_EQ(p.GetInput().ClipboardText(), kana);
  p.GetInput().StopTextInput();
  EXPECT_FALSE(p.GetInput().IsTextInputActive());
  const std::vector<std::string> expect{"StartTextInput 1,2,3,4", "SetClipboardText \"かな\"", "StopTextInput"};
  EXPECT_EQ(p.Transcript(), expect);
}

MessageBoxRequest Box(MsgButtons buttons, int def = 0) {
  MessageBoxRequest r;
  r.caption = Cp("情報");
  r.text = Cp("終了しますか？");
  r.buttons = buttons;
  r.icon = MsgIcon::Question;
  r.defaultButton = def;
  return r;
}

TEST(HeadlessDialogs, ScriptedAnswersAreUsedInOrderAndRecorded) {
  HeadlessPlatform p;
  p.QueueMessageAnswer(MsgButton::No);
  p.QueueMessageAnswer(MsgButton::YesToAll);  // not offered by YesNo
  Dialogs& d = p.GetDialogs();
  EXPECT_EQ(d.ShowMessage(Box(MsgButtons::YesNo)), MsgButton::No);
  EXPECT_EQ(d.ShowMessage(Box(MsgButtons::YesNo)), MsgButton::No) << "an answer not offered closes the box";
  EXPECT_EQ(d.ShowMessage(Box(MsgButtons::YesNo)), MsgButton::Yes) << "unanswered: the default button";
  EXPECT_EQ(d.ShowMessage(Box(MsgButtons::OkCancel, 1)), MsgButton::Cancel);
  EXPECT_EQ(d.ShowMessage(Box(MsgButtons::OkCancel, 7)), MsgButton::Ok) << "a default out of range is the first";
  ASSERT_EQ(p.MessageBoxes().size(), 5u);
  EXPECT_EQ(p.MessageBoxes()[0].text, Cp("終了しますか？"));
  EXPECT_EQ(p.Transcript()[0], "MessageBox \"情報\" \"終了しますか？\" YesNo Question -> No [scripted]");
  EXPECT_EQ(p.Transcript()[1], "MessageBox \"情報\" \"終了しますか？\" YesNo Question -> No [not offered]");
  EXPECT_EQ(p.Transcript()[2], "MessageBox \"情報\" \"終了しますか？\" YesNo Question -> Yes [unanswered]");
}

TEST(HeadlessDialogs, UnansweredBoxesCanAnswerAsIfClosed) {
  HeadlessOptions o;
  o.unansweredMessageEscapes = true;
  HeadlessPlatform p(o);
  EXPECT_EQ(p.GetDialogs().ShowMessage(Box(MsgButtons::YesNo)), MsgButton::No);
  EXPECT_EQ(p.GetDialogs().ShowMessage(Box(MsgButtons::YesNoAllCancel)), MsgButton::Cancel);
  EXPECT_EQ(p.GetDialogs().ShowMessage(Box(MsgButtons::Ok)), MsgButton::Ok);
}

TEST(HeadlessDialogs, PathDialogsAnswerFromTheQueueThenCancel) {
  HeadlessPlatform p;
  p.QueuePathAnswer(std::string("/home/player/save.txt"));
  p.QueuePathAnswer(std::nullopt);
  FileDialogRequest r;
  r.kind = FileDialogKind::Save;
  r.filter = Cp("テキスト|*.txt");
  r.initialFolder = "/home/player/Desktop";
  Dialogs& d = p.GetDialogs();
  EXPECT_EQ(d.SelectPath(r), std::optional<std::string>("/home/player/save.txt"));
  EXPECT_EQ(d.SelectPath(r), std::nullopt);
  r.kind = FileDialogKind::Folder;
  EXPECT_EQ(d.SelectPath(r), std::nullopt);
  ASSERT_EQ(p.PathDialogs().size(), 3u);
  EXPECT_EQ(p.Transcript()[0],
            "SelectPath Save \"\" \"テキスト|*.txt\" \"/home/player/Desktop\" -> /home/player/save.txt [scripted]");
  EXPECT_EQ(p.Transcript()[1], "SelectPath Save \"\" \"テキスト|*.txt\" \"/home/player/Desktop\" -> cancel [scripted]");
  EXPECT_EQ(p.Transcript()[2],
            "SelectPath Folder \"\" \"テキスト|*.txt\" \"/home/player/Desktop\" -> cancel [unanswered]");
}

TEST(HeadlessShell, RecordsOpensWallpaperAndInstances) {
  HeadlessPlatform p;
  Shell& s = p.GetShell();
  EXPECT_TRUE(s.Open("http://example.com/a b;c"));
  EXPECT_FALSE(s.Open(""));
  EXPECT_EQ(p.OpenedTargets(), std::vector<std::string>{"http://example.com/a b;c"});
  EXPECT_TRUE(s.SetWallpaper("/tmp/w.bmp", 1));
  p.HoldInstanceElsewhere("GAME-B");
  auto a = s.AcquireInstance("GAME-A");
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(s.AcquireInstance("GAME-A"), nullptr) << "held by this process already";
  EXPECT_EQ(s.AcquireInstance("GAME-B"), nullptr);
  a.reset();
  EXPECT_NE(s.AcquireInstance("GAME-A"), nullptr) << "released with the lock";
  const std::vector<std::string> expect{"Open \"http://example.com/a b;c\" -> started",
                                        "Open \"\" -> refused",
                                        "SetWallpaper \"/tmp/w.bmp\" 1",
                                        "AcquireInstance \"GAME-A\" -> held",
                                        "AcquireInstance \"GAME-A\" -> refused",
                                        "AcquireInstance \"GAME-B\" -> refused",
                                        "AcquireInstance \"GAME-A\" -> held"};
  EXPECT_EQ(p.Transcript(), expect);
  EXPECT_EQ(s.UserFolderPath(UserFolder::Desktop), "/home/player/Desktop");
  EXPECT_EQ(s.UserFolderPath(UserFolder::Documents), "/home/player/Documents");
}

TEST(HeadlessDisplay, WindowTitleIsConvertedAndFullScreenFollowsTheModes) {
  HeadlessOptions o;
  o.modes = {{800, 600, 32, 60}, {640, 480, 16, 75}};
  HeadlessPlatform p(o);
  Display& d = p.GetDisplay();
  EXPECT_FALSE(d.IsOpen());
  ASSERT_TRUE(d.OpenWindow({Cp("ゲーム"), 320, 240}));
  EXPECT_EQ(p.WindowTitleUtf8(), "ゲーム");
  d.SetTitle(Cp("第二章"));
  EXPECT_EQ(p.WindowTitleUtf8(), "第二章");
  EXPECT_EQ(d.Modes(), o.modes);
  EXPECT_TRUE(d.SetFullScreen(1));
  EXPECT_TRUE(d.IsFullScreen());
  EXPECT_FALSE(d.SetFullScreen(2));
  EXPECT_FALSE(d.IsFullScreen()) << "a refused mode leaves the display windowed";
  EXPECT_TRUE(d.SetFullScreen(Display::kDesktopFullScreen));
  EXPECT_EQ(p.FullScreenMode(), Display::kDesktopFullScreen);
  EXPECT_TRUE(d.SetFullScreen(-1));
  EXPECT_FALSE(d.IsFullScreen());
  d.SetClientSize(0, -5);
  EXPECT_EQ(p.ClientWidth(), 1);
  EXPECT_EQ(p.ClientHeight(), 1);
  const std::vector<std::string> expect{
      "OpenWindow \"ゲーム\" 320x240", "SetTitle \"第二章\"",    "SetFullScreen 1 -> ok", "SetFullScreen 2 -> refused",
      "SetFullScreen -2 -> ok",        "SetFullScreen -1 -> ok", "SetClientSize 1x1"};
  EXPECT_EQ(p.Transcript(), expect);
}

TEST(HeadlessDisplay, FullScreenCanBeRefusedAltogether) {
  HeadlessOptions o;
  o.fullScreenWorks = false;
  HeadlessPlatform p(o);
  EXPECT_FALSE(p.GetDisplay().SetFullScreen(0));
  EXPECT_FALSE(p.GetDisplay().SetFullScreen(Display::kDesktopFullScreen));
  EXPECT_FALSE(p.GetDisplay().IsFullScreen());
}

TEST(HeadlessDisplay, CursorImagesAreCheckedAndRecorded) {
  HeadlessPlatform p;
  Display& d = p.GetDisplay();
  CursorImage c{2, 2, 1, 1, std::vector<uint32_t>(4, 0xFF000000u)};
  EXPECT_TRUE(d.SetCursorImage(&c));
  c.pixels.pop_back();
  EXPECT_FALSE(d.SetCursorImage(&c));
  EXPECT_TRUE(d.SetCursorImage(nullptr));
  d.ShowCursor(false);
  EXPECT_FALSE(p.CursorVisible());
  const std::vector<std::string> expect{"SetCursorImage 2x2 hot 1,1", "SetCursorImage 2x2 hot 1,1 -> refused",
                                        "SetCursorImage default", "ShowCursor off"};
  EXPECT_EQ(p.Transcript(), expect);
}

// A w x h picture whose pixel (x, y) is 0xXXRRGGBB with R = x, G = y, B = 7, padded to pitch.
std::vector<uint32_t> Picture(int w, int h, int pitchWords, uint32_t pad, uint32_t top) {
  std::vector<uint32_t> px(static_cast<size_t>(pitchWords) * h, pad);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) px[static_cast<size_t>(y) * pitchWords + x] = top << 24 | x << 16 | y << 8 | 7;
  }
  return px;
}

TEST(FrameHash, DependsOnColoursAndSizeOnly) {
  const auto a = Picture(3, 2, 3, 0, 0);
  const auto b = Picture(3, 2, 5, 0xDEADBEEF, 0xAB);  // other padding, other unused top byte
  const uint64_t ha = HashFrame({a.data(), 3, 2, 12});
  EXPECT_EQ(ha, HashFrame({b.data(), 3, 2, 20}));
  auto c = a;
  c[4] ^= 0x000100;  // one green step in one pixel
  EXPECT_NE(ha, HashFrame({c.data(), 3, 2, 12}));
  // The same bytes seen as 2 x 3 are another frame.
  EXPECT_NE(ha, HashFrame({a.data(), 2, 3, 8}));
  EXPECT_FALSE(IsValidFrame({a.data(), 3, 2, 8})) << "pitch below 4 * width";
  EXPECT_FALSE(IsValidFrame({nullptr, 3, 2, 12}));
  EXPECT_FALSE(IsValidFrame({a.data(), 2, 2, 10})) << "rows must stay word-aligned";
  EXPECT_FALSE(IsValidFrame({a.data(), 0, 2, 12}));
}

TEST(HeadlessDisplay, PresentedFramesAreHashedAndMalformedOnesIgnored) {
  HeadlessPlatform p;
  const auto a = Picture(4, 4, 4, 0, 0);
  p.GetDisplay().Present({a.data(), 4, 4, 16});
  p.GetDisplay().Present({a.data(), 4, 4, 4});  // malformed: shows nothing
  p.GetDisplay().Present({a.data(), 2, 2, 16});
  ASSERT_EQ(p.Frames().size(), 2u);
  EXPECT_EQ(p.Frames()[0].hash, HashFrame({a.data(), 4, 4, 16}));
  EXPECT_EQ(p.Frames()[1].width, 2);
  EXPECT_NE(p.Frames()[0].hash, p.Frames()[1].hash);
  EXPECT_TRUE(p.FrameFiles().empty());
  EXPECT_TRUE(p.Transcript().empty()) << "presenting is not written to the transcript";
}

struct ReadPng {
  uint32_t width = 0, height = 0;
  int colorType = -1, depth = 0;
  std::vector<uint8_t> rgb;
};

ReadPng Read(const std::string& path) {
  ReadPng out;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
  image.format = PNG_FORMAT_RGB;
  out.width = image.width;
  out.height = image.height;
  out.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) out.rgb.clear();
  // The stored format, read separately.
  FILE* f = std::fopen(path.c_str(), "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (f && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, f);
    png_read_info(png, info);
    out.colorType = png_get_color_type(png, info);
    out.depth = png_get_bit_depth(png, info);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  if (f) std::fclose(f);
  return out;
}

TEST(HeadlessDisplay, FramesAreWrittenAsPngFilesThatReadBackExactly) {
  testkit::TempDir dir;
  HeadlessOptions o;
  o.pngFolder = dir.Path().string();
  HeadlessPlatform p(o);
  const auto a = Picture(5, 3, 6, 0x12345678, 0xFF);
  p.GetDisplay().Present({a.data(), 5, 3, 24});
  p.GetDisplay().Present({a.data(), 5, 3, 24});
  ASSERT_EQ(p.FrameFiles().size(), 2u);
  EXPECT_EQ(p.FrameFiles()[0], dir / "frame-000001.png");
  EXPECT_EQ(p.FrameFiles()[1], dir / "frame-000002.png");
  const ReadPng r = Read(p.FrameFiles()[0]);
  ASSERT_EQ(r.width, 5u);
  ASSERT_EQ(r.height, 3u);
  EXPECT_EQ(r.colorType, PNG_COLOR_TYPE_RGB);
  EXPECT_EQ(r.depth, 8);
  ASSERT_EQ(r.rgb.size(), 45u);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      const uint8_t* px = &r.rgb[static_cast<size_t>(y * 5 + x) * 3];
      EXPECT_EQ(px[0], x) << x << "," << y;  // red
      EXPECT_EQ(px[1], y) << x << "," << y;  // green
      EXPECT_EQ(px[2], 7) << x << "," << y;  // blue
    }
  }
}

TEST(FramePng, AFolderThatCannotBeWrittenFailsQuietly) {
  const auto a = Picture(2, 2, 2, 0, 0);
  EXPECT_FALSE(WriteFramePng({a.data(), 2, 2, 8}, "/nonexistent-folder/x.png"));
  EXPECT_FALSE(WriteFramePng({a.data(), 0, 2, 8}, "/tmp/never.png"));
}

TEST(HeadlessFonts, FixedListIsSortedAndFindsFilesWithoutRegardToCase) {
  HeadlessOptions o;
  o.fonts = {{{Cp("ＭＳ ゴシック"), true, true, true}, "/f/msgothic.ttc"},
             {{"Arial", false, true, false}, "/f/arial.ttf"},
             {{"Arial", false, true, false}, "/f/arial-bold.ttf"}};
  HeadlessPlatform p(o);
  const auto families = p.GetFonts().Families();
  ASSERT_EQ(families.size(), 2u);
  EXPECT_EQ(families[0].name, "Arial");
  EXPECT_EQ(families[1].name, Cp("ＭＳ ゴシック"));
  auto f = p.GetFonts().FindFile("arial", false, false);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->path, "/f/arial.ttf");
  EXPECT_TRUE(f->exactFamily);
  f = p.GetFonts().FindFile("Nothing", true, false);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->path, "/f/msgothic.ttc");
  EXPECT_FALSE(f->exactFamily);
  o.fonts.clear();
  HeadlessPlatform none(o);
  EXPECT_FALSE(none.GetFonts().FindFile("Arial", false, false));
}

}  // namespace
}  // namespace qubo::platform
