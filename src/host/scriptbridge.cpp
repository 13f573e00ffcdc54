#include "host/scriptbridge.h"

#include "script/callman.h"
#include "script/project.h"

namespace qubo::host {

TCustomParam* TScriptBridge::ResultValue() { return engine != nullptr ? engine->CallResult() : nullptr; }
int32_t TScriptBridge::ArgCount() { return engine != nullptr ? engine->ArgumentCount() : 0; }
std::string TScriptBridge::ArgText(int32_t i) { return engine != nullptr ? engine->Argument(i) : std::string(); }
std::string TScriptBridge::Sender() { return engine != nullptr ? engine->SenderName() : std::string(); }
int32_t TScriptBridge::FrameCount() { return engine != nullptr ? engine->Stack().Count() : 0; }
bool TScriptBridge::RemoveFrame(int32_t n) { return engine != nullptr && engine->Stack().Remove(n); }

std::vector<TScriptHost::SaveCaption> TScriptBridge::SaveCaptions() {
  std::vector<SaveCaption> out;
  if (project == nullptr) return out;
  for (const TProject::SavedGame& g : project->SavedGames()) out.push_back({g.slot, g.caption});
  return out;
}

std::string TScriptBridge::SaveCaptionOf(int32_t slot) {
  return project != nullptr ? project->SaveCaption(slot) : std::string();
}
std::string TScriptBridge::Title() { return project != nullptr ? project->Title() : std::string(); }
int32_t TScriptBridge::ScreenWidth() { return project != nullptr ? project->File().screenWidth : 640; }
int32_t TScriptBridge::ScreenHeight() { return project != nullptr ? project->File().screenHeight : 480; }

}  // namespace qubo::host
