#pragma once
// The installed fonts through fontconfig.

#include <memory>

#include "platform/platform.h"

namespace qubo::platform {

// A font source over the system's fontconfig configuration, loaded when made. Every name of
// a family counts (fontconfig gives localized names beside the English one). A family is
// fixed-pitch when one of its faces is monospaced, dual-width (CJK) or character-cell.
std::unique_ptr<FontSource> MakeFontconfigSource();

}  // namespace qubo::platform
