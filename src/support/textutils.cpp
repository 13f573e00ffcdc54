#include "support/textutils.h"

#include <array>

#include "support/errors.h"
#include "support/kanatable.h"
#include "support/sjis.h"

namespace qubo {
namespace {

using sjis::CharLen;

uint8_t At(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

// 0-based byte offset where character charPos (1-based) begins; s.size() past the end.
size_t CharOffset(std::string_view s, int64_t charPos) {
  size_t i = 0;
  for (int64_t p = 1; p < charPos && i < s.size(); ++p) i += CharLen(s, i);
  return i;
}

struct Symbol {
  uint8_t half;
  uint8_t lead;
  uint8_t trail;
};

// ASCII symbols and their full-width forms (both directions).
constexpr Symbol kSymbols[] = {
    {0x20, 0x81, 0x40}, {0x21, 0x81, 0x49}, {0x22, 0x81, 0x68}, {0x23, 0x81, 0x94}, {0x24, 0x81, 0x90},
    {0x25, 0x81, 0x93}, {0x26, 0x81, 0x95}, {0x27, 0x81, 0x66}, {0x28, 0x81, 0x69}, {0x29, 0x81, 0x6A},
    {0x2A, 0x81, 0x96}, {0x2B, 0x81, 0x7B}, {0x2C, 0x81, 0x43}, {0x2D, 0x81, 0x7C}, {0x2E, 0x81, 0x44},
    {0x2F, 0x81, 0x5E}, {0x3A, 0x81, 0x46}, {0x3B, 0x81, 0x47}, {0x3C, 0x81, 0x83}, {0x3D, 0x81, 0x81},
    {0x3E, 0x81, 0x84}, {0x3F, 0x81, 0x48}, {0x40, 0x81, 0x97}, {0x5B, 0x81, 0x6D}, {0x5C, 0x81, 0x8F},
    {0x5D, 0x81, 0x6E}, {0x5E, 0x81, 0x4F}, {0x5F, 0x81, 0x51}, {0x60, 0x81, 0x65}, {0x7B, 0x81, 0x6F},
    {0x7C, 0x81, 0x62}, {0x7D, 0x81, 0x70}, {0x7E, 0x81, 0x60},
};
static_assert(std::size(kSymbols) == 33);

// Full-width form of one ASCII byte, or {0, 0} when it has none.
struct AsciiTable {
  std::array<kana::FullChar, 128> full{};
  constexpr AsciiTable() {
    for (const Symbol& s : kSymbols) full[s.half] = {s.lead, s.trail};
    for (int b = 0x30; b <= 0x39; ++b) full[b] = {0x82, static_cast<uint8_t>(b + 0x1F)};
    for (int b = 0x41; b <= 0x5A; ++b) full[b] = {0x82, static_cast<uint8_t>(b + 0x1F)};
    for (int b = 0x61; b <= 0x7A; ++b) full[b] = {0x82, static_cast<uint8_t>(b + 0x20)};
  }
};
constexpr AsciiTable kAscii;

// Half-width bytes (one or two) for the full-width characters with lead 0x81-0x83; every
// full-width form above lies there.
struct HalfForm {
  uint8_t len = 0;
  uint8_t b[2] = {0, 0};
};

class ReverseTable {
 public:
  ReverseTable() {
    for (int b = 0; b < 128; ++b) {
      const kana::FullChar f = kAscii.full[b];
      if (f.lead != 0) Put(f, static_cast<uint8_t>(b));
    }
    Put({0x81, 0x67}, 0x22);  // the left double quote as well as the right one
    for (int b = kana::kHalfFirst; b <= kana::kHalfLast; ++b) {
      const auto h = static_cast<uint8_t>(b);
      Put(kana::kHalfToFull[b - kana::kHalfFirst], h);
      if (const kana::FullChar* v = kana::Voiced(h)) Put(*v, h, 0xDE);
      if (const kana::FullChar* v = kana::SemiVoiced(h)) Put(*v, h, 0xDF);
    }
  }
  const HalfForm* Find(uint8_t lead, uint8_t trail) const {
    if (lead < 0x81 || lead > 0x83) return nullptr;
    const HalfForm& h = table_[(lead - 0x81) * 256 + trail];
    return h.len ? &h : nullptr;
  }

 private:
  void Put(kana::FullChar f, uint8_t a, uint8_t b = 0) {
    HalfForm& h = table_[(f.lead - 0x81) * 256 + f.trail];
    h.len = b ? 2 : 1;
    h.b[0] = a;
    h.b[1] = b;
  }
  std::array<HalfForm, 3 * 256> table_{};
};

void PutFull(std::string& out, kana::FullChar f) {
  out.push_back(static_cast<char>(f.lead));
  out.push_back(static_cast<char>(f.trail));
}

}  // namespace

int32_t CharToByteIndex(std::string_view text, int32_t charPos) {
  return static_cast<int32_t>(CharOffset(text, charPos)) + 1;
}

bool IsTrailByte(std::string_view text, int32_t pos) {
  if (pos < 1 || static_cast<size_t>(pos) > text.size()) throw QuboError("Illegal Index");
  if (pos == 1) return false;
  // Lead-range bytes directly before the position, back to the first byte that is not one:
  // the byte after a non-lead byte always starts a character, so the parity decides.
  size_t leads = 0;
  for (size_t i = static_cast<size_t>(pos) - 1; i > 0 && sjis::IsLeadByte(text[i - 1]); --i) ++leads;
  return leads % 2 == 1;
}

int32_t JLength(std::string_view text) {
  int32_t n = 0;
  for (size_t i = 0; i < text.size(); i += CharLen(text, i)) ++n;
  return n;
}

int32_t JPos(std::string_view pattern, std::string_view text) {
  if (pattern.empty() || pattern.size() > text.size()) return 0;
  const size_t last = text.size() - pattern.size();
  int32_t p = 1;
  for (size_t i = 0; i <= last; i += CharLen(text, i), ++p) {
    if (text.compare(i, pattern.size(), pattern) == 0) return p;
  }
  return 0;
}

std::string JCopy(std::string_view text, int32_t start, int32_t count) {
  std::string out;
  if (text.empty() || count <= 0) return out;
  const int64_t end = int64_t{start} + count;
  int64_t p = 1;
  for (size_t i = 0; i < text.size() && p < end; ++p) {
    const size_t n = CharLen(text, i);
    if (p >= start) out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

void JInsert(std::string_view insertion, std::string& text, int32_t pos) {
  const size_t at = CharOffset(text, pos < 1 ? 1 : pos);
  if (at >= text.size()) {
    text.append(insertion);
  } else {
    text.insert(at, insertion);
  }
}

void JDelete(std::string& text, int32_t pos, int32_t count) {
  const size_t from = CharOffset(text, pos < 1 ? 1 : pos);
  if (from >= text.size() || count <= 0) return;
  size_t to = from;
  for (int32_t k = 0; k < count && to < text.size(); ++k) to += CharLen(text, to);
  // Stepping by characters always ends on a boundary, so no trail byte is left behind.
  text.erase(from, to - from);
}

void CutToken(std::string& source, std::string_view delimiters, std::string& token) {
  if (source.empty()) {
    token.clear();
    return;
  }
  if (!delimiters.empty()) {
    for (size_t i = 0; i < source.size(); i += CharLen(source, i)) {
      if (delimiters.find(source[i]) != std::string_view::npos) {
        token.assign(source, 0, i);
        source.erase(0, i + 1);
        return;
      }
    }
  }
  token = std::move(source);
  source.clear();
}

void TrimLeftJ(std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    if (At(text, i) == kHalfBlank) {
      i += 1;
    } else if (i + 1 < text.size() && At(text, i) == kFullBlankLead && At(text, i + 1) == kFullBlankTrail) {
      i += 2;
    } else {
      break;
    }
  }
  text.erase(0, i);
}

void TrimRightJ(std::string& text) {
  while (!text.empty()) {
    const auto n = static_cast<int32_t>(text.size());
    if (IsTrailByte(text, n)) {
      if (At(text, n - 2) != kFullBlankLead || At(text, n - 1) != kFullBlankTrail) return;
      text.resize(text.size() - 2);
    } else {
      if (At(text, n - 1) != kHalfBlank) return;
      text.pop_back();
    }
  }
}

std::string JTrim(std::string_view text) {
  std::string s(text);
  TrimLeftJ(s);
  TrimRightJ(s);
  return s;
}

uint16_t CharCodeAt(std::string_view text, int32_t charPos) {
  const size_t i = CharOffset(text, charPos);
  if (i >= text.size()) return 0;
  if (CharLen(text, i) == 2) return static_cast<uint16_t>(At(text, i) << 8 | At(text, i + 1));
  return At(text, i);
}

std::string CharFromCode(uint16_t code) {
  if (code >= 256) return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
  return std::string(1, static_cast<char>(code));
}

std::string HanToZen(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (size_t i = 0; i < text.size();) {
    const size_t n = CharLen(text, i);
    const uint8_t b = At(text, i);
    if (n == 2 || sjis::IsLeadByte(b)) {
      out.append(text.substr(i, n));
      i += n;
      continue;
    }
    i += 1;
    if (b < 0x80) {
      if (kAscii.full[b].lead != 0) PutFull(out, kAscii.full[b]);
      continue;
    }
    if (!IsHalfKana(b)) continue;  // 0x80, 0xA0, 0xFD-0xFF
    const uint8_t next = i < text.size() ? At(text, i) : 0;
    const kana::FullChar* joined = next == 0xDE ? kana::Voiced(b) : next == 0xDF ? kana::SemiVoiced(b) : nullptr;
    if (joined) {
      PutFull(out, *joined);
      i += 1;
    } else {
      PutFull(out, kana::kHalfToFull[b - kana::kHalfFirst]);
    }
  }
  return out;
}

std::string ZenToHan(std::string_view text) {
  static const ReverseTable reverse;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t n = CharLen(text, i);
    if (n == 1) {
      out.push_back(text[i]);
    } else if (const HalfForm* h = reverse.Find(At(text, i), At(text, i + 1))) {
      out.append(reinterpret_cast<const char*>(h->b), h->len);
    }
    i += n;
  }
  return out;
}

}  // namespace qubo
