// The string functions: byte and character (J) positions, comparisons, case, trimming,
// builders, conversions to and from numbers and single bytes.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "script/numbertext.h"
#include "script/paramcollection.h"
#include "script/sysfuncfamilies.h"
#include "script/sysfuncman.h"
#include "support/errors.h"
#include "support/sjis.h"
#include "support/textutils.h"

namespace qubo {

namespace {

using namespace sysfunc;

// Widest zero padding of IntToStr and IntToHex; wider requests are cut to it.
constexpr int32_t kMaxDigits = 1024;
// IntToStr:書式が不正です
constexpr const char* kMsgBadFormat = "IntToStr:\x8F\x91\x8E\xAE\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7";

uint8_t Byte(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

// Decimal text of v with at least `digits` digits (zero padded after the sign).
std::string PaddedDecimal(int32_t v, int32_t digits) {
  const uint32_t mag = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  std::string d = std::to_string(mag);
  std::string out = v < 0 ? "-" : "";
  if (static_cast<int32_t>(d.size()) < digits) out.append(static_cast<size_t>(digits) - d.size(), '0');
  return out + d;
}

// The width of IntToStr's second argument, read as the text of a format precision: decimal
// digits only (an empty text is no precision at all). Anything else is a format failure.
int32_t FormatWidth(const std::string& text) {
  if (text.empty()) return 0;
  int64_t w = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') throw QuboError(kMsgBadFormat);
    w = std::min<int64_t>(w * 10 + (ch - '0'), kMaxDigits);
  }
  return static_cast<int32_t>(w);
}

std::string HexText(int32_t v, int32_t digits) {
  static const char kHex[] = "0123456789ABCDEF";
  uint32_t u = static_cast<uint32_t>(v);
  std::string d;
  do {
    d.insert(d.begin(), kHex[u & 15]);
    u >>= 4;
  } while (u != 0);
  digits = std::min(digits, kMaxDigits);
  if (static_cast<int32_t>(d.size()) < digits) d.insert(0, static_cast<size_t>(digits) - d.size(), '0');
  return d;
}

// Case mapping of the locale, for ASCII letters and the double-byte Latin, Greek and
// Cyrillic letters; every mapping keeps the byte length, so positions found in a folded
// copy are positions in the original.
void MapCase(std::string& s, bool upper) {
  for (size_t i = 0; i < s.size();) {
    const uint8_t b = Byte(s, i);
    if (sjis::CharLen(s, i) == 2) {
      const uint8_t t = Byte(s, i + 1);
      int out = -1;
      if (b == 0x82) {
        if (!upper && t >= 0x60 && t <= 0x79) out = t + 0x21;
        if (upper && t >= 0x81 && t <= 0x9A) out = t - 0x21;
      } else if (b == 0x83) {
        if (!upper && t >= 0x9F && t <= 0xB6) out = t + 0x20;
        if (upper && t >= 0xBF && t <= 0xD6) out = t - 0x20;
      } else if (b == 0x84) {
        // Upper 0x40-0x60; lower 0x70-0x91 with 0x7F left out.
        if (!upper && t >= 0x40 && t <= 0x60) {
          out = t + 0x30;
          if (out >= 0x7F) ++out;
        }
        if (upper && t >= 0x70 && t <= 0x91 && t != 0x7F) out = t - 0x30 - (t > 0x7F ? 1 : 0);
      }
      if (out >= 0) s[i + 1] = static_cast<char>(out);
      i += 2;
      continue;
    }
    if (!upper && b >= 'A' && b <= 'Z') s[i] = static_cast<char>(b + 32);
    if (upper && b >= 'a' && b <= 'z') s[i] = static_cast<char>(b - 32);
    ++i;
  }
}

std::string Lower(std::string s) {
  MapCase(s, false);
  return s;
}
std::string Upper(std::string s) {
  MapCase(s, true);
  return s;
}

// Whether byte i starts a character, given that from (<= i) does: the lead-range bytes just
// before i, back to from at most, decide by their parity.
bool StartsChar(std::string_view text, size_t from, size_t i) {
  size_t leads = 0;
  for (size_t k = i; k > from && sjis::IsLeadByte(text[k - 1]); --k) ++leads;
  return leads % 2 == 0;
}

// Byte offset of the first occurrence of pattern that starts on a character boundary, at or
// after from (itself a boundary). Candidates come from a plain search; one on a trail byte
// is passed over.
size_t FindAtBoundary(std::string_view text, std::string_view pattern, size_t from) {
  if (pattern.empty() || pattern.size() > text.size()) return std::string_view::npos;
  for (size_t at = from;;) {
    const size_t hit = text.find(pattern, at);
    if (hit == std::string_view::npos || StartsChar(text, from, hit)) return hit;
    at = hit + 1;
  }
}

std::string Replace(const std::string& s, const std::string& from, const std::string& to, bool all, bool noCase) {
  if (from.empty()) return s;
  const std::string hay = noCase ? Upper(s) : std::string();
  const std::string needle = noCase ? Upper(from) : std::string();
  const std::string_view h = noCase ? std::string_view(hay) : std::string_view(s);
  const std::string_view n = noCase ? std::string_view(needle) : std::string_view(from);
  std::string out;
  size_t at = 0;
  while (true) {
    const size_t hit = FindAtBoundary(h, n, at);
    if (hit == std::string_view::npos) break;
    CheckTextSize(uint64_t{out.size()} + (hit - at) + to.size() + (s.size() - hit - from.size()));
    out.append(s, at, hit - at);
    out += to;
    at = hit + from.size();
    if (!all) break;
  }
  out.append(s, at, std::string::npos);
  return out;
}

// Byte functions take positions as the classic string routines do: Copy clamps a start
// below 1 to 1; Delete ignores a start outside the text; Insert clamps into 1..length+1.
std::string ByteCopy(std::string_view s, int32_t start, int32_t count) {
  if (start < 1) start = 1;
  if (count <= 0 || static_cast<int64_t>(start) > static_cast<int64_t>(s.size())) return {};
  return std::string(s.substr(static_cast<size_t>(start) - 1, static_cast<size_t>(count)));
}

void ByteDelete(std::string& s, int32_t start, int32_t count) {
  if (start < 1 || static_cast<int64_t>(start) > static_cast<int64_t>(s.size()) || count <= 0) return;
  s.erase(static_cast<size_t>(start) - 1, static_cast<size_t>(count));
}

void ByteInsert(const std::string& what, std::string& s, int32_t pos) {
  CheckTextSize(uint64_t{s.size()} + what.size());
  int64_t p = pos < 1 ? 1 : pos;
  if (p > static_cast<int64_t>(s.size()) + 1) p = static_cast<int64_t>(s.size()) + 1;
  s.insert(static_cast<size_t>(p - 1), what);
}

int32_t CompareBytes(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<int32_t>(Byte(a, i)) - static_cast<int32_t>(Byte(b, i));
  }
  return static_cast<int32_t>(a.size() > b.size() ? 1 : a.size() < b.size() ? -1 : 0);
}

std::string TrimBytes(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && Byte(s, a) <= 0x20) ++a;
  while (b > a && Byte(s, b - 1) <= 0x20) --b;
  return s.substr(a, b - a);
}

std::string FixStr(std::string s) {
  const auto n = static_cast<int32_t>(s.size());
  if (n >= 2 && sjis::IsLeadByte(s.back()) && !IsTrailByte(s, n)) s.pop_back();
  return s;
}

// Writes text into argument k when it is a variable; a constant stays as compiled.
void WriteText(TFuncCall& c, int k, const std::string& text) {
  if (TCustomParam* v = VarArg(c, k)) v->SetStr(text);
}

}  // namespace

namespace sysfunc {

int32_t CompareTextNoCase(std::string_view a, std::string_view b) {
  const int32_t r = CompareBytes(Upper(std::string(a)), Upper(std::string(b)));
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int32_t CompareTextCase(std::string_view a, std::string_view b) {
  if (const int32_t r = CompareTextNoCase(a, b); r != 0) return r;
  const int32_t r = CompareBytes(b, a);
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

}  // namespace sysfunc

bool CallTextFunction(int index, TFuncCall& c) {
  TFuncResult& r = c.result;
  std::string a, b;  // scratch of TextOf
  switch (index) {
    case 0:  // IntToStr
      r.SetStr(PaddedDecimal(Arg(c, 1).AsInt(), HasArg(c, 2) ? FormatWidth(Arg(c, 2).AsStr()) : 0));
      return true;
    case 1:  // IntToHex
      r.SetStr(HexText(Arg(c, 1).AsInt(), Arg(c, 2).AsInt()));
      return true;
    case 5:  // Length
      r.SetInt(static_cast<int32_t>(TextOf(Arg(c, 1), a).size()));
      return true;
    case 6:  // JLength
      r.SetInt(JLength(TextOf(Arg(c, 1), a)));
      return true;
    case 7:  // Copy
      r.SetStr(ByteCopy(TextOf(Arg(c, 1), a), Arg(c, 2).AsInt(), IntArg(c, 3, INT32_MAX)));
      return true;
    case 8:  // JCopy
      r.SetStr(JCopy(TextOf(Arg(c, 1), a), Arg(c, 2).AsInt(), IntArg(c, 3, INT32_MAX)));
      return true;
    case 9:    // Delete
    case 10: {  // JDelete
      std::string s = Arg(c, 1).AsStr();
      const int32_t count = IntArg(c, 3, INT32_MAX);
      if (index == 9) {
        ByteDelete(s, Arg(c, 2).AsInt(), count);
      } else {
        JDelete(s, Arg(c, 2).AsInt(), count);
      }
      WriteText(c, 1, s);
      return true;
    }
    case 11:    // Insert
    case 12: {  // JInsert
      const std::string what = Arg(c, 1).AsStr();
      std::string s = Arg(c, 2).AsStr();
      if (index == 11) {
        ByteInsert(what, s, Arg(c, 3).AsInt());
      } else {
        CheckTextSize(uint64_t{s.size()} + what.size());
        JInsert(what, s, Arg(c, 3).AsInt());
      }
      WriteText(c, 2, s);
      return true;
    }
    case 13:  // CompareStr
      r.SetInt(CompareBytes(Arg(c, 1).AsStr(), Arg(c, 2).AsStr()));
      return true;
    case 14:  // CompareText
      r.SetInt(CompareTextNoCase(Arg(c, 1).AsStr(), Arg(c, 2).AsStr()));
      return true;
    case 15: {  // Pos
      const size_t at = FindAtBoundary(TextOf(Arg(c, 2), b), TextOf(Arg(c, 1), a), 0);
      r.SetInt(at == std::string_view::npos ? 0 : static_cast<int32_t>(at) + 1);
      return true;
    }
    case 16:  // JPos
      r.SetInt(JPos(TextOf(Arg(c, 1), a), TextOf(Arg(c, 2), b)));
      return true;
    case 17:  // Trim
      r.SetStr(TrimBytes(Arg(c, 1).AsStr()));
      return true;
    case 18:  // JTrim
      r.SetStr(JTrim(Arg(c, 1).AsStr()));
      return true;
    case 64:  // FixStr
      r.SetStr(FixStr(Arg(c, 1).AsStr()));
      return true;
    case 73:  // LowerCase
      r.SetStr(Lower(Arg(c, 1).AsStr()));
      return true;
    case 74:  // UpperCase
      r.SetStr(Upper(Arg(c, 1).AsStr()));
      return true;
    case 82: {  // StringOfChar
      const std::string unit = Arg(c, 1).AsStr();
      const int32_t n = Arg(c, 2).AsInt();
      std::string out;
      if (n > 0 && !unit.empty()) {
        CheckTextSize(uint64_t{unit.size()} * static_cast<uint64_t>(n));
        out.reserve(unit.size() * static_cast<size_t>(n));
        for (int32_t k = 0; k < n; ++k) out += unit;
      }
      r.SetStr(std::move(out));
      return true;
    }
    case 83:  // StringReplace
      r.SetStr(Replace(Arg(c, 1).AsStr(), Arg(c, 2).AsStr(), Arg(c, 3).AsStr(), BoolArg(c, 4), BoolArg(c, 5)));
      return true;
    case 85:  // HanToZen
      r.SetStr(HanToZen(Arg(c, 1).AsStr()));
      return true;
    case 86:  // ZenToHan
      r.SetStr(ZenToHan(Arg(c, 1).AsStr()));
      return true;
    case 133: {  // AddDelimiter
      const std::string s = Arg(c, 2).AsStr();
      r.SetStr(s.empty() ? s : s + Arg(c, 1).AsStr());
      return true;
    }
    case 138: {  // StrToIntDef
      const auto v = numtext::ParseInt(Arg(c, 1).AsStr());
      r.SetInt(v ? *v : Arg(c, 2).AsInt());
      return true;
    }
    case 139: {  // StrToFloatDef
      const auto v = numtext::ParseFloat(Arg(c, 1).AsStr());
      r.SetFloat(v ? *v : Arg(c, 2).AsFloat());
      return true;
    }
    case 152:  // Chr
      r.SetStr(std::string(1, static_cast<char>(static_cast<uint32_t>(Arg(c, 1).AsInt()) & 0xFF)));
      return true;
    case 153: {  // Ord
      const std::string s = Arg(c, 1).AsStr();
      r.SetInt(s.empty() ? 0 : Byte(s, 0));
      return true;
    }
    default: return false;
  }
}

}  // namespace qubo
