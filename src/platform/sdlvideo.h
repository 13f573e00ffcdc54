#pragma once
// The SDL2 window, display and input (internal to the platform folder).

#include <SDL.h>

#include <memory>

#include "platform/platform.h"

namespace qubo::platform {

// What the SDL display, input and dialogs share: the window and its renderer.
struct SdlWindow {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int32_t textureW = 0, textureH = 0;
  int32_t logicalW = 640, logicalH = 480;
  int fullScreen = -1;           // as Display::SetFullScreen's argument; -1 windowed
  SDL_Cursor* cursor = nullptr;  // our own cursor, when one is set

  // A point of the logical surface in window coordinates, and back.
  void LogicalToWindow(int32_t x, int32_t y, int& wx, int& wy) const;
  void Destroy();
};

// The SDL display mode's bit count as DisplayMode counts it: 32 for every 4-byte format.
int32_t DisplayModeBits(uint32_t sdlPixelFormat);

std::unique_ptr<Display> MakeSdlDisplay(SdlWindow& shared);
std::unique_ptr<Input> MakeSdlInput(SdlWindow& shared);
// Message boxes through SDL; file dialogs through zenity when it is installed.
std::unique_ptr<Dialogs> MakeSdlDialogs(SdlWindow& shared, bool japanese);

}  // namespace qubo::platform
