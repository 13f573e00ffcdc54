// The real back end where a test machine allows it: fontconfig's font list, and SDL with its
// dummy video driver.

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/fcfonts.h"
#include "platform/platform.h"
#include "support/encoding.h"

namespace qubo::platform {
namespace {

TEST(FontconfigSource, ListsFamiliesOnceSortedAndFindsTheirFiles) {
  auto fonts = MakeFontconfigSource();
  const auto families = fonts->Families();
  if (families.empty()) GTEST_SKIP() << "no fonts installed";
  for (size_t i = 1; i < families.size(); ++i) EXPECT_LT(families[i - 1].name, families[i].name);
  const FontFamily& first = families.front();
  auto file = fonts->FindFile(first.name, false, false);
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->path.empty());
  EXPECT_TRUE(file->exactFamily) << Cp932ToUtf8(first.name);
  auto substitute = fonts->FindFile("No Such Family 7f3a", true, true);
  if (substitute) {
    EXPECT_FALSE(substitute->exactFamily);
  }
}

TEST(FontconfigSource, JapaneseFamiliesAreListedInCp932) {
  auto fonts = MakeFontconfigSource();
  const std::string gothic = *Utf8ToCp932("IPAゴシック");
  for (const auto& f : fonts->Families()) {
    if (f.name == gothic) {
      EXPECT_TRUE(f.japanese);
      EXPECT_TRUE(f.fixedPitch) << "a dual-width face counts as fixed pitch";
      auto file = fonts->FindFile(gothic, false, false);
      ASSERT_TRUE(file);
      EXPECT_TRUE(file->exactFamily);
      return;
    }
  }
  GTEST_SKIP() << "the IPA Gothic font is not installed";
}

class SdlSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    try {
      platform_ = MakeRealPlatform();
    } catch (const std::exception& e) {
      GTEST_SKIP() << "SDL cannot start: " << e.what();
    }
  }
  std::unique_ptr<Platform> platform_;
};

TEST_F(SdlSmoke, OpensAWindowPresentsAndPolls) {
  Display& d = platform_->GetDisplay();
  if (!d.OpenWindow({*Utf8ToCp932("テスト"), 64, 48})) GTEST_SKIP() << "no window on this driver";
  EXPECT_TRUE(d.IsOpen());
  d.SetTitle(*Utf8ToCp932("題名"));
  std::vector<uint32_t> px(64 * 48, 0x00FF8040u);
  d.Present({px.data(), 64, 48, 64 * 4});
  d.Present({px.data(), 32, 24, 64 * 4});  // another size: stretched
  d.Present({px.data(), 64, 48, 4});       // malformed: ignored
  d.SetClientSize(80, 60);
  d.WarpMouse(10, 10);
  for (const auto& m : d.Modes()) EXPECT_GE(m.bits, 15);
  InputEvent e;
  int n = 0;
  while (platform_->GetInput().Poll(e) && n < 1000) ++n;
  EXPECT_FALSE(platform_->GetInput().IsKeyDown(300));
  EXPECT_FALSE(platform_->GetInput().IsTextInputActive());
  EXPECT_FALSE(d.SetFullScreen(1000000));
  EXPECT_FALSE(d.IsFullScreen());
}

}  // namespace
}  // namespace qubo::platform
