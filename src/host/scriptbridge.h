#pragma once
// What the built-in functions and system variables reach, answered from the player's own
// pieces: the engine's call stack, the project, the clocks and the platform. The scene, the
// screen and the media answer as absent until they exist.

#include <cstdint>
#include <functional>

#include "script/scripthost.h"

namespace qubo {
class TCallMan;
class TProject;
}  // namespace qubo

namespace qubo::host {

class TScriptBridge : public TScriptHost {
 public:
  TCallMan* engine = nullptr;
  TProject* project = nullptr;
  platform::Platform* platform = nullptr;
  std::function<uint32_t()> tickCount;    // the game clock
  std::function<uint32_t()> updateCount;  // frames drawn

  platform::Platform* Platform() override { return platform; }

  TCustomParam* ResultValue() override;
  int32_t ArgCount() override;
  std::string ArgText(int32_t i) override;
  std::string Sender() override;
  int32_t FrameCount() override;
  bool RemoveFrame(int32_t n) override;

  uint32_t TickCount() override { return tickCount ? tickCount() : 0; }
  uint32_t UpdateCount() override { return updateCount ? updateCount() : 0; }

  std::vector<SaveCaption> SaveCaptions() override;
  std::string SaveCaptionOf(int32_t slot) override;
  std::string Title() override;
  int32_t ScreenWidth() override;
  int32_t ScreenHeight() override;
};

}  // namespace qubo::host
