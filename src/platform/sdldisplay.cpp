// SDL2 window and display. Frames are 0x00RRGGBB words; SDL_PIXELFORMAT_RGB888 is exactly
// that layout (32-bit words, red in bits 16-23, the top byte unused), so a frame is uploaded
// to a streaming texture of that format without conversion.

#include <algorithm>
#include <vector>

#include "platform/frames.h"
#include "platform/sdlvideo.h"
#include "support/encoding.h"

namespace qubo::platform {

void SdlWindow::LogicalToWindow(int32_t x, int32_t y, int& wx, int& wy) const {
  wx = x;
  wy = y;
  if (!renderer) return;
  SDL_RenderLogicalToWindow(renderer, static_cast<float>(x), static_cast<float>(y), &wx, &wy);
}

void SdlWindow::Destroy() {
  if (texture) SDL_DestroyTexture(texture);
  if (renderer) SDL_DestroyRenderer(renderer);
  if (window) SDL_DestroyWindow(window);
  if (cursor) SDL_FreeCursor(cursor);
  texture = nullptr;
  renderer = nullptr;
  window = nullptr;
  cursor = nullptr;
}

int32_t DisplayModeBits(uint32_t sdlPixelFormat) {
  if (SDL_BYTESPERPIXEL(sdlPixelFormat) == 4) return 32;
  return static_cast<int32_t>(SDL_BITSPERPIXEL(sdlPixelFormat));
}

namespace {

DisplayMode FromSdl(const SDL_DisplayMode& m) { return {m.w, m.h, DisplayModeBits(m.format), m.refresh_rate}; }

class SdlDisplay : public Display {
 public:
  explicit SdlDisplay(SdlWindow& w) : w_(w) {}

  std::vector<DisplayMode> Modes() override {
    Refresh();
    std::vector<DisplayMode> out;
    out.reserve(modes_.size());
    for (const auto& m : modes_) out.push_back(FromSdl(m));
    return out;
  }
  DisplayMode DesktopMode() override {
    SDL_DisplayMode m{};
    if (SDL_GetDesktopDisplayMode(DisplayIndex(), &m) != 0) return {};
    return FromSdl(m);
  }
  TRect DesktopBounds() override {
    SDL_Rect r{};
    if (SDL_GetDisplayBounds(DisplayIndex(), &r) != 0) return {};
    return {r.x, r.y, r.x + r.w, r.y + r.h};
  }
  TRect UsableBounds() override {
    SDL_Rect r{};
    if (SDL_GetDisplayUsableBounds(DisplayIndex(), &r) != 0) return DesktopBounds();
    return {r.x, r.y, r.x + r.w, r.y + r.h};
  }

  bool OpenWindow(const WindowOptions& options) override {
    if (w_.window) return true;
    w_.logicalW = std::max<int32_t>(1, options.clientWidth);
    w_.logicalH = std::max<int32_t>(1, options.clientHeight);
    const std::string title = Cp932ToUtf8(options.title);
    w_.window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w_.logicalW,
                                 w_.logicalH, SDL_WINDOW_HIDDEN);
    if (!w_.window) return false;
    w_.renderer = SDL_CreateRenderer(w_.window, -1, SDL_RENDERER_ACCELERATED);
    if (!w_.renderer) w_.renderer = SDL_CreateRenderer(w_.window, -1, SDL_RENDERER_SOFTWARE);
    if (!w_.renderer) {
      w_.Destroy();
      return false;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    SDL_RenderSetLogicalSize(w_.renderer, w_.logicalW, w_.logicalH);
    CenterWindow();
    SDL_ShowWindow(w_.window);
    SDL_SetRenderDrawColor(w_.renderer, 0, 0, 0, 255);
    SDL_RenderClear(w_.renderer);
    SDL_RenderPresent(w_.renderer);
    return true;
  }
  bool IsOpen() override { return w_.window != nullptr; }

  void SetTitle(const std::string& cp932) override {
    if (w_.window) SDL_SetWindowTitle(w_.window, Cp932ToUtf8(cp932).c_str());
  }

  void SetClientSize(int32_t width, int32_t height) override {
    w_.logicalW = std::max<int32_t>(1, width);
    w_.logicalH = std::max<int32_t>(1, height);
    if (!w_.window) return;
    if (w_.fullScreen == -1) SDL_SetWindowSize(w_.window, w_.logicalW, w_.logicalH);
    SDL_RenderSetLogicalSize(w_.renderer, w_.logicalW, w_.logicalH);
  }

  void CenterWindow() override {
    if (!w_.window || w_.fullScreen != -1) return;
    const TRect area = UsableBounds();
    int ww = 0, wh = 0;
    SDL_GetWindowSize(w_.window, &ww, &wh);
    int top = 0, left = 0, bottom = 0, right = 0;
    SDL_GetWindowBordersSize(w_.window, &top, &left, &bottom, &right);
    const int x = area.left + (area.Width() - ww - left - right) / 2 + left;
    const int y = area.top + (area.Height() - wh - top - bottom) / 2 + top;
    SDL_SetWindowPosition(w_.window, std::max(area.left + left, x), std::max(area.top + top, y));
  }

  bool SetFullScreen(int modeIndex) override {
    if (!w_.window) return false;
    if (modeIndex < 0 && modeIndex != kDesktopFullScreen) {
      SDL_SetWindowFullscreen(w_.window, 0);
      w_.fullScreen = -1;
      SDL_SetWindowSize(w_.window, w_.logicalW, w_.logicalH);
      CenterWindow();
      return true;
    }
    bool ok = false;
    if (modeIndex == kDesktopFullScreen) {
      ok = SDL_SetWindowFullscreen(w_.window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
    } else {
      Refresh();
      if (static_cast<size_t>(modeIndex) < modes_.size()) {
        SDL_DisplayMode m = modes_[static_cast<size_t>(modeIndex)];
        ok = SDL_SetWindowDisplayMode(w_.window, &m) == 0 &&
             SDL_SetWindowFullscreen(w_.window, SDL_WINDOW_FULLSCREEN) == 0;
      }
    }
    if (!ok) {
      SDL_SetWindowFullscreen(w_.window, 0);
      w_.fullScreen = -1;
      return false;
    }
    w_.fullScreen = modeIndex;
    return true;
  }
  bool IsFullScreen() override { return w_.fullScreen != -1; }

  void Present(const FrameView& frame) override {
    if (!w_.renderer || !IsValidFrame(frame)) return;
    if (!w_.texture || w_.textureW != frame.width || w_.textureH != frame.height) {
      if (w_.texture) SDL_DestroyTexture(w_.texture);
      w_.texture = SDL_CreateTexture(w_.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, frame.width,
                                     frame.height);
      w_.textureW = w_.texture ? frame.width : 0;
      w_.textureH = w_.texture ? frame.height : 0;
      if (!w_.texture) return;
    }
    SDL_UpdateTexture(w_.texture, nullptr, frame.pixels, frame.pitchBytes);
    SDL_SetRenderDrawColor(w_.renderer, 0, 0, 0, 255);
    SDL_RenderClear(w_.renderer);
    SDL_RenderCopy(w_.renderer, w_.texture, nullptr, nullptr);
    SDL_RenderPresent(w_.renderer);
  }

  void WarpMouse(int32_t x, int32_t y) override {
    if (!w_.window) return;
    int wx = 0, wy = 0;
    w_.LogicalToWindow(x, y, wx, wy);
    SDL_WarpMouseInWindow(w_.window, wx, wy);
  }
  void ShowCursor(bool visible) override { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

  bool SetCursorImage(const CursorImage* image) override {
    if (!image) {
      SDL_SetCursor(SDL_GetDefaultCursor());
      if (w_.cursor) SDL_FreeCursor(w_.cursor);
      w_.cursor = nullptr;
      return true;
    }
    if (image->width <= 0 || image->height <= 0 || image->width > 1024 || image->height > 1024 ||
        image->pixels.size() != static_cast<size_t>(image->width) * static_cast<size_t>(image->height)) {
      return false;
    }
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(image->pixels.data()), image->width,
                                                        image->height, 32, image->width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!s) return false;
    SDL_Cursor* c = SDL_CreateColorCursor(s, std::clamp(image->hotX, 0, image->width - 1),
                                          std::clamp(image->hotY, 0, image->height - 1));
    SDL_FreeSurface(s);
    if (!c) return false;
    SDL_SetCursor(c);
    if (w_.cursor) SDL_FreeCursor(w_.cursor);
    w_.cursor = c;
    return true;
  }

 private:
  int DisplayIndex() const {
    if (w_.window) {
      const int i = SDL_GetWindowDisplayIndex(w_.window);
      if (i >= 0) return i;
    }
    return 0;
  }
  void Refresh() {
    modes_.clear();
    const int display = DisplayIndex();
    const int n = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < n; ++i) {
      SDL_DisplayMode m{};
      if (SDL_GetDisplayMode(display, i, &m) == 0) modes_.push_back(m);
    }
  }

  SdlWindow& w_;
  std::vector<SDL_DisplayMode> modes_;
};

}  // namespace

std::unique_ptr<Display> MakeSdlDisplay(SdlWindow& shared) { return std::make_unique<SdlDisplay>(shared); }

}  // namespace qubo::platform
