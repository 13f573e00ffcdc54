#include "script/scripthost.h"

namespace qubo {
namespace {
TScriptHost& NullHost() {
  static TScriptHost host;
  return host;
}
TScriptHost* current = nullptr;
}  // namespace

TScriptHost& ScriptHost() { return current != nullptr ? *current : NullHost(); }
void SetScriptHost(TScriptHost* host) { current = host; }

}  // namespace qubo
