#pragma once
// Pieces shared by the text forms of records and pages: line errors, hexadecimal digits and
// reals written either as decimal text or as their ten stored bytes.

#include <functional>
#include <string>
#include <string_view>

#include "support/extended.h"

namespace qubo::authoring::textform {

// Calls each(line, number) for every line of text (split at '\n', numbered from 1; a last
// line without '\n' counts, so does an empty one after a final '\n').
void ForEachLine(std::string_view text, const std::function<void(std::string_view, int)>& each);
// QuboError "line N: what".
[[noreturn]] void LineError(int line, const std::string& what);
// 0..15, or -1 for a character that is no hexadecimal digit.
int HexValue(char c);
// "raw:" followed by 20 hexadecimal digits (the stored bytes, first byte first), or a decimal
// real. False with error set when w is neither.
bool ParseReal(const std::string& w, Extended80& out, std::string& error);
// The quoted string whose opening '"' is at s[pos]: UTF-8 with \" \\ \n \r \t, and \xNN for a
// code-page-932 byte that has no UTF-8 form. Appends its code-page-932 bytes to out and moves
// pos past the closing quote; false with error set for a bad escape, text without a
// code-page-932 form or a missing closing quote.
bool ReadQuoted(std::string_view s, size_t& pos, std::string& out, std::string& error);

}  // namespace qubo::authoring::textform
