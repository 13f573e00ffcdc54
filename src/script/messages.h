#pragma once
// Message texts of values and variables, in code page 932 (the UTF-8 form in each comment).

namespace qubo::msg {

// :配列の添字が不正です  (after "[%d]")
inline constexpr const char* kMsgBadIndexTail = ":\x94z\x97\xF1\x82\xCC\x93Y\x8E\x9A\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7";
// 配列の要素数[  (then the entries joined by ',')
inline constexpr const char* kMsgBadDimsHead = "\x94z\x97\xF1\x82\xCC\x97v\x91" "f\x90\x94[";
// ]が不正です
inline constexpr const char* kMsgBadDimsTail = "]\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7";
// 添え字が不正です  (after the subscript prefix)
inline constexpr const char* kMsgSubscriptCount = "\x93Y\x82\xA6\x8E\x9A\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7";
// 要素数を超えています  (after the subscript prefix)
inline constexpr const char* kMsgBeyondCount = "\x97v\x91" "f\x90\x94\x82\xF0\x92\xB4\x82\xA6\x82\xC4\x82\xA2\x82\xDC\x82\xB7";
// CopyMem:変数の型があいません
inline constexpr const char* kMsgCopyType = "CopyMem:\x95\xCF\x90\x94\x82\xCC\x8C^\x82\xAA\x82\xA0\x82\xA2\x82\xDC\x82\xB9\x82\xF1";
// "：変数名が不正です  (after '"' and the name)
inline constexpr const char* kMsgBadNameTail = "\x22\x81" "F\x95\xCF\x90\x94\x96\xBC\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7";
// 変数名がありません
inline constexpr const char* kMsgNoName = "\x95\xCF\x90\x94\x96\xBC\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// " 変数がありません  (after '"' and the name)
inline constexpr const char* kMsgNoVariableTail = "\x22 \x95\xCF\x90\x94\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// :不正な変数です  (after the name)
inline constexpr const char* kMsgBadVariableTail = ":\x95s\x90\xB3\x82\xC8\x95\xCF\x90\x94\x82\xC5\x82\xB7";
// 実数を整数に変換できません  (NaN, infinity or beyond 64 bits)
inline constexpr const char* kMsgRealToInt = "\x8E\xC0\x90\x94\x82\xF0\x90\xAE\x90\x94\x82\xC9\x95\xCF\x8A\xB7\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1";
// 整数の除算が不正です  (by zero, or the lowest integer by -1)
inline constexpr const char* kMsgIntDivide = "\x90\xAE\x90\x94\x82\xCC\x8F\x9C\x8EZ\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7";

// Display names of the value types (index type - 1) and of the scopes (index scope).
inline constexpr const char* kTypeNames[4] = {"\x90\xAE\x90\x94", "\x8E\xC0\x90\x94", "\x83t\x83\x89\x83O", "\x95\xB6\x8E\x9A\x97\xF1"};  // 整数 実数 フラグ 文字列
inline constexpr const char* kScopeNames[4] = {"\x83O\x83\x8D\x81[\x83o\x83\x8B", "\x8E\xA9\x93\xAE\x94j\x8A\xFC", "\x83\x8D\x81[\x83J\x83\x8B", ("\x83X\x83" "e\x81[\x83^\x83X")};  // グローバル 自動破棄 ローカル ステータス

}  // namespace qubo::msg
