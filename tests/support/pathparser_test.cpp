#include "support/pathparser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qubo {
namespace {

using Parts = std::vector<std::string>;

TEST(PathParser, Parse) {
  struct Case {
    std::string path;
    Parts parts;
  };
  const Case cases[] = {
      {"", {}},
      {"c:\\work\\a.txt", {"C:\\", "WORK\\", "A.TXT\\"}},
      {"C:\\", {"C:\\"}},
      {"c:", {"C:\\"}},
      {"\\\\server\\share\\f", {"\\\\SERVER\\", "SHARE\\", "F\\"}},
      {"\\\\", {"\\\\"}},
      {"\\\\host", {"\\\\HOST\\"}},
      {"a\\b\\", {"A\\", "B\\"}},
      {"\\x", {"\\", "X\\"}},
      // 0x5C as the trail byte of a double-byte character is not a separator, and the
      // character is not upper-cased.
      {"c:\\\x95\x5C\\\x83\x5Cz\\b", {"C:\\", "\x95\x5C\\", "\x83\x5CZ\\", "B\\"}},
      // A path ending in such a character still gets its own trailing '\'.
      {"dir\\\x95\x5C", {"DIR\\", "\x95\x5C\\"}},
      {"\\\\\x95\x5C\\s", {"\\\\\x95\x5C\\", "S\\"}},
  };
  TPathParser p;
  for (const auto& c : cases) {
    p.Parse(c.path);
    EXPECT_EQ(p.Items(), c.parts) << c.path;
    std::string joined;
    for (const auto& s : c.parts) joined += s;
    EXPECT_EQ(p.Join(), joined);
  }
}

TEST(PathParser, ResolveRelative) {
  struct Case {
    std::string path, base, result;
  };
  const Case cases[] = {
      {"..\\..\\x", "C:\\A\\B\\C\\", "C:\\A\\x"},
      {"..\\x", "c:\\a\\b\\", "C:\\A\\x"},               // upper-cased by parsing
      {"..\\..\\..\\..\\x", "C:\\A\\", "..\\..\\x"},     // runs out of components
      {"x\\y.txt", "c:\\base\\", "c:\\base\\x\\y.txt"},  // kept as given
      {"x", "", "x"},
      {"\\abs", "C:\\A\\", "\\abs"},
      {"d:\\abs", "C:\\A\\", "d:\\abs"},
      {"a", "C:\\A\\", "a"},  // one byte: unchanged
      {"ab", "C:\\A\\", "C:\\A\\ab"},
      {"", "C:\\A\\", ""},
      {"..\\\x95\x5C", "C:\\\x83\x5C\\B\\", "C:\\\x83\x5C\\\x95\x5C"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TPathParser::ResolveRelative(c.path, c.base), c.result) << c.path << " | " << c.base;
  }
}

}  // namespace
}  // namespace qubo
