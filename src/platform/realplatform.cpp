// The real back end: SDL2 for the window, display, input and message boxes; the system
// clock; the desktop shell; fontconfig.

#include "platform/fcfonts.h"
#include "platform/sdlvideo.h"
#include "platform/system.h"
#include "support/errors.h"

namespace qubo::platform {
namespace {

class RealPlatform : public Platform {
 public:
  RealPlatform() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      throw QuboError(std::string("SDL: ") + SDL_GetError());
    }
    clock_ = MakeSystemClock();
    shell_ = MakeSystemShell();
    display_ = MakeSdlDisplay(window_);
    input_ = MakeSdlInput(window_);
    dialogs_ = MakeSdlDialogs(window_, shell_->IsJapaneseLanguage());
    fonts_ = MakeFontconfigSource();
  }
  ~RealPlatform() override {
    dialogs_.reset();
    input_.reset();
    display_.reset();
    window_.Destroy();
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    SDL_Quit();
  }
  RealPlatform(const RealPlatform&) = delete;
  RealPlatform& operator=(const RealPlatform&) = delete;

  Clock& GetClock() override { return *clock_; }
  Dialogs& GetDialogs() override { return *dialogs_; }
  Shell& GetShell() override { return *shell_; }
  Display& GetDisplay() override { return *display_; }
  Input& GetInput() override { return *input_; }
  FontSource& GetFonts() override { return *fonts_; }

 private:
  SdlWindow window_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<Shell> shell_;
  std::unique_ptr<Display> display_;
  std::unique_ptr<Input> input_;
  std::unique_ptr<Dialogs> dialogs_;
  std::unique_ptr<FontSource> fonts_;
};

}  // namespace

std::unique_ptr<Platform> MakeRealPlatform() { return std::make_unique<RealPlatform>(); }

}  // namespace qubo::platform
