#pragma once
// Golden images: a picture compared exactly against a committed PNG under
// tests/render/golden/. On a mismatch the actual picture and a diff (differing pixels red
// over a dimmed copy) are written into the test output folder. With QUBO_UPDATE_GOLDEN=1 the
// golden file is (re)written instead and the comparison passes.

#include <gtest/gtest.h>

#include <string>

namespace qubo {
class TDIBSurface;
class TCustomDIBX;
}  // namespace qubo

namespace qubo::testkit {

// name without extension, e.g. "blend_scene".
::testing::AssertionResult MatchesGolden(const TDIBSurface& image, const std::string& name);
::testing::AssertionResult MatchesGolden(TCustomDIBX& surface, const std::string& name);

}  // namespace qubo::testkit
