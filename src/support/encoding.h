#pragma once
// Conversion between code page 932 (the player's text) and UTF-8 (the terminal, host file
// names, fonts), for the edges only.

#include <optional>
#include <string>
#include <string_view>

namespace qubo {

// Bytes that are not valid code page 932 become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);
// nullopt when the text is not valid UTF-8 or has a character code page 932 lacks.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
// Like Utf8ToCp932, but characters that cannot be converted become '?'.
std::string Utf8ToCp932Lossy(std::string_view utf8);

}  // namespace qubo
