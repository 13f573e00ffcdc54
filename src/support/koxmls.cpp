#include "support/koxmls.h"

#include <algorithm>

#include "support/errors.h"
#include "support/sjis.h"

namespace qubo {
namespace {

// Messages (code page 932).
constexpr const char* kErrNotXml = "\x96\xa2\x91\xce\x89\x9e\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x8c\x60\x8e\xae\x82\xc5\x82\xb7";  // 未対応のファイル形式です
constexpr const char* kErrVersion = "\x96\xa2\x91\xce\x89\x9e\x82\xcc\x58\x4d\x4c\x8c\x60\x8e\xae\x82\xc5\x82\xb7";  // 未対応のXML形式です
constexpr const char* kErrCharset = "\x96\xa2\x91\xce\x89\x9e\x82\xcc\x95\xb6\x8e\x9a\x83\x5a\x83\x62\x83\x67\x82\xc5\x82\xb7";  // 未対応の文字セットです
constexpr const char* kErrMissing = "\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";  // がありません
constexpr const char* kErrTooDeep = "\x58\x4d\x4c\x82\xcc\x8a\x4b\x91\x77\x82\xaa\x90\x5b\x82\xb7\x82\xac\x82\xdc\x82\xb7";  // XMLの階層が深すぎます

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Decimal (optionally signed) or hexadecimal ("$FF", "0xFF") integer text; nullopt-like
// failure through ok.
int32_t ParseInt(std::string_view s, int32_t def) {
  s = Trim(s);
  if (s.empty()) return def;
  bool negative = false;
  if (s[0] == '-' || s[0] == '+') {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s[0] == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return def;
  uint64_t v = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return def;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) return def;
  }
  if (base == 16) {
    // Hexadecimal text is a bit pattern: $FFFFFFFF is -1.
    const uint32_t bits = static_cast<uint32_t>(v);
    return static_cast<int32_t>(negative ? 0u - bits : bits);
  }
  if (negative) {
    if (v > 0x80000000ull) return def;
    return static_cast<int32_t>(0u - static_cast<uint32_t>(v));
  }
  if (v > 0x7FFFFFFFull) return def;
  return static_cast<int32_t>(v);
}

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  std::string out;
  size_t start = 0;
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, start)) {
    out.append(s, start, at - start);
    out.append(to);
    start = at + from.size();
  }
  if (start == 0) return;
  out.append(s, start, std::string::npos);
  s = std::move(out);
}

}  // namespace

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t n = sjis::CharLen(text, i);
    if (n == 2) {
      out.append(text.substr(i, 2));
    } else {
      const uint8_t b = static_cast<uint8_t>(text[i]);
      if (b >= 1 && b <= 31) {
        out += "&#" + std::to_string(b) + ";";
      } else if (b == '&') {
        out += "&amp;";
      } else if (b == '"') {
        out += "&quot;";
      } else if (b == '<') {
        out += "&lt;";
      } else if (b == '>') {
        out += "&gt;";
      } else {
        out += static_cast<char>(b);
      }
    }
    i += n;
  }
  return out;
}

std::string XmlUnescape(std::string_view text) {
  // Numeric references first. '&', '#', digits and ';' are never trail bytes, so a byte scan
  // finds only real references.
  std::string s;
  s.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '#') {
      size_t j = i + 2;
      uint32_t v = 0;
      bool inRange = true;
      while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
        v = v * 10 + static_cast<uint32_t>(text[j] - '0');
        if (v > 65535) {
          // Out of range: stop accumulating (no overflow) but keep consuming digits.
          inRange = false;
          v = 65536;
        }
        ++j;
      }
      if (j > i + 2 && j < text.size() && text[j] == ';' && inRange && v >= 1) {
        if (v >= 256) s += static_cast<char>(v >> 8);
        s += static_cast<char>(v & 0xFF);
        i = j + 1;
        continue;
      }
    }
    s += text[i];
    ++i;
  }
  ReplaceAll(s, "&gt;", ">");
  ReplaceAll(s, "&lt;", "<");
  ReplaceAll(s, "&quot;", "\"");
  ReplaceAll(s, "&amp;", "&");
  return s;
}

// ---- TKoXmlTag ----

TKoXmlTag::TKoXmlTag(std::string text) : text_(std::move(text)) {
  if (IsTag()) Parse();
}

bool TKoXmlTag::IsClosing() const {
  const size_t n = text_.size();
  return (n >= 2 && text_[1] == '/') || (n >= 2 && text_[n - 2] == '/');
}

void TKoXmlTag::Parse() {
  std::string_view t = text_;
  const size_t start = t.size() >= 2 && t[1] == '/' ? 2 : 1;
  // The name ends before the first '/', '>' or blank from the third character on.
  size_t end = !t.empty() && t.back() == '>' ? t.size() - 1 : t.size();
  for (size_t i = 2; i < end; i = sjis::Next(t, i)) {
    const char c = t[i];
    if (sjis::CharLen(t, i) == 1 && (c == '/' || IsBlank(c))) {
      end = i;
      break;
    }
  }
  if (end < start) end = start;
  name_ = std::string(Trim(t.substr(start, end - start)));
  if (end >= t.size() || !IsBlank(t[end])) return;
  if (!t.empty() && t.back() == '>') t.remove_suffix(1);

  // Attributes: name '=' "value". The scan stops at the first one that is not whole.
  size_t p = end;
  while (p < t.size()) {
    while (p < t.size() && IsBlank(t[p])) ++p;
    if (p >= t.size()) break;
    const size_t eq = sjis::FindChar(t, '=', p);
    if (eq == std::string_view::npos) break;
    const size_t open = sjis::FindChar(t, '"', eq + 1);
    if (open == std::string_view::npos) break;
    const size_t close = sjis::FindChar(t, '"', open + 1);
    if (close == std::string_view::npos) break;
    attrs_.push_back({std::string(Trim(t.substr(p, eq - p))), std::string(t.substr(open + 1, close - open - 1))});
    p = close + 1;
  }
}

const TKoXmlValue* TKoXmlTag::FindAttr(std::string_view name) const {
  for (const auto& a : attrs_) {
    if (sjis::EqualsNoCase(a.name, name)) return &a;
  }
  return nullptr;
}

// ---- TKoXmlTags ----

void TKoXmlTags::Tokenize(std::string_view text) {
  tags_.clear();
  // CR and LF are never trail bytes, so lines can be cut with a byte scan.
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  const int last = static_cast<int>(lines.size()) - 1;
  for (int i = 0; i <= last; ++i) {
    if (progress) progress(*this, i, last);
    TokenizeLine(lines[static_cast<size_t>(i)]);
  }
}

void TKoXmlTags::TokenizeLine(std::string_view line) {
  enum class State { Outside, InTag, InQuote } state = State::Outside;
  size_t tagStart = 0;
  size_t textStart = std::string_view::npos;  // npos: no tag has ended on this line yet
  for (size_t i = 0; i < line.size(); i = sjis::Next(line, i)) {
    if (sjis::CharLen(line, i) != 1) continue;
    const char c = line[i];
    switch (state) {
      case State::Outside:
        if (c == '<') {
          if (textStart != std::string_view::npos && i > textStart) {
            tags_.emplace_back(std::string(line.substr(textStart, i - textStart)));
          }
          tagStart = i;
          state = State::InTag;
        }
        break;
      case State::InTag:
        if (c == '"') {
          state = State::InQuote;
        } else if (c == '>') {
          tags_.emplace_back(std::string(line.substr(tagStart, i + 1 - tagStart)));
          textStart = i + 1;
          state = State::Outside;
        }
        break;
      case State::InQuote:
        if (c == '"') state = State::InTag;
        break;
    }
  }
  if (state == State::Outside && textStart != std::string_view::npos && textStart < line.size()) {
    tags_.emplace_back(std::string(line.substr(textStart)));
  }
}

// ---- TKoXmlElement ----

TKoXmlElement* TKoXmlElement::AddChild(const std::string& name) {
  auto child = std::make_unique<TKoXmlElement>();
  child->name_ = name;
  child->parent_ = this;
  child->document_ = IsDocument() ? this : document_;
  children_.push_back(std::move(child));
  return children_.back().get();
}

TKoXmlElement* TKoXmlElement::AddChildText(const std::string& name, const std::string& text) {
  TKoXmlElement* child = AddChild(name);
  child->text_ = text;
  return child;
}

int TKoXmlElement::AddAttr(const std::string& name, const std::string& value) {
  attrs_.push_back({name, value});
  return static_cast<int>(attrs_.size()) - 1;
}

TKoXmlElement* TKoXmlElement::Child(int i) const {
  if (i < 0 || i >= ChildCount()) return nullptr;
  return children_[static_cast<size_t>(i)].get();
}

int TKoXmlElement::IndexOfChild(std::string_view name) const {
  for (int i = 0; i < ChildCount(); ++i) {
    if (sjis::EqualsNoCase(children_[static_cast<size_t>(i)]->name_, name)) return i;
  }
  return -1;
}

TKoXmlElement* TKoXmlElement::FindChild(std::string_view name) const {
  TKoXmlElement* child = Child(IndexOfChild(name));
  if (!child && strict) throw FormatError("<" + std::string(name) + ">" + kErrMissing);
  return child;
}

const TKoXmlValue* TKoXmlElement::Attr(int i) const {
  if (i < 0 || i >= AttrCount()) return nullptr;
  return &attrs_[static_cast<size_t>(i)];
}

const TKoXmlValue* TKoXmlElement::FindAttr(std::string_view name) const {
  for (const auto& a : attrs_) {
    if (sjis::EqualsNoCase(a.name, name)) return &a;
  }
  return nullptr;
}

int32_t TKoXmlElement::AttrInt(std::string_view name, int32_t def) const {
  const TKoXmlValue* a = FindAttr(name);
  return a ? ParseInt(a->value, def) : def;
}

std::string TKoXmlElement::AttrStr(std::string_view name, const std::string& def) const {
  const TKoXmlValue* a = FindAttr(name);
  return a ? a->value : def;
}

bool TKoXmlElement::AttrBool(std::string_view name, bool def) const {
  const TKoXmlValue* a = FindAttr(name);
  return a ? a->value == "1" : def;
}

int32_t TKoXmlElement::ChildInt(std::string_view name, int32_t def) const {
  const TKoXmlElement* c = FindChild(name);
  return c ? ParseInt(c->text_, def) : def;
}

std::string TKoXmlElement::ChildStr(std::string_view name, const std::string& def) const {
  const TKoXmlElement* c = FindChild(name);
  return c ? c->text_ : def;
}

bool TKoXmlElement::ChildBool(std::string_view name, bool def) const {
  const TKoXmlElement* c = FindChild(name);
  return c ? c->text_ == "1" : def;
}

int TKoXmlElement::Depth() const {
  int depth = 0;
  for (const TKoXmlElement* p = parent_; p; p = p->parent_) ++depth;
  return depth;
}

bool TKoXmlElement::NameIs(std::string_view name) const { return sjis::EqualsNoCase(name_, name); }

void TKoXmlElement::Clear() {
  children_.clear();
  attrs_.clear();
  name_.clear();
  text_.clear();
}

void TKoXmlElement::WriteElement(std::string& out) const {
  if (attrs_.empty() && text_.empty() && children_.empty()) return;
  const bool hasBody = !text_.empty() || !children_.empty();
  const std::string indent(static_cast<size_t>(2 * Depth()), ' ');
  out += indent;
  out += '<';
  out += name_;
  for (const auto& a : attrs_) {
    out += ' ';
    out += a.name;
    out += "=\"";
    out += XmlEscape(a.value);
    out += '"';
  }
  out += hasBody ? ">" : " />";
  out += XmlEscape(text_);
  if (!children_.empty()) {
    out += "\r\n";
    for (const auto& c : children_) c->WriteElement(out);
    out += indent;
  }
  if (hasBody) {
    out += "</";
    out += name_;
    out += '>';
  }
  out += "\r\n";
}

void TKoXmlElement::SaveToStream(TStream& stream) const {
  std::string out;
  WriteElement(out);
  stream.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

int TKoXmlElement::FirstTag(const TKoXmlTags& tags, int from) {
  for (int i = from; i < tags.Count(); ++i) {
    if (tags[i].IsTag() && !tags[i].IsDeclaration()) return i;
  }
  return -1;
}

int TKoXmlElement::ParseElement(const TKoXmlTags& tags, int p, int depth, const TKoXmlProgress& report) {
  if (depth > kXmlMaxDepth) throw FormatError(kErrTooDeep);
  const TKoXmlTag& tag = tags[p];
  name_ = tag.Name();
  for (const auto& a : tag.Attrs()) attrs_.push_back({a.name, XmlUnescape(a.value)});
  ++p;
  if (tag.IsClosing()) return p;
  const int last = tags.Count() - 1;
  while (p < tags.Count()) {
    if (report) report(tags, p, last);
    const TKoXmlTag& t = tags[p];
    if (t.IsTag() && !t.IsDeclaration()) {
      if (t.IsClosing() && sjis::EqualsNoCase(t.Name(), name_)) return p + 1;
      TKoXmlElement* child = AddChild(std::string());
      p = child->ParseElement(tags, p, depth + 1, report);
    } else {
      text_ += XmlUnescape(t.Text());
      ++p;
    }
  }
  return p;
}

std::string TKoXmlElement::ReadAllText(TStream& stream) {
  std::string text(static_cast<size_t>(stream.Remaining()), '\0');
  text.resize(static_cast<size_t>(std::max<int64_t>(0, stream.Read(text.data(), static_cast<int64_t>(text.size())))));
  return text;
}

void TKoXmlElement::LoadFromStream(TStream& stream) {
  Clear();
  TKoXmlTags tags;
  tags.progress = progress;
  tags.Tokenize(ReadAllText(stream));
  const int first = FirstTag(tags, 0);
  if (first >= 0) ParseElement(tags, first, 0, progress);
}

// ---- TKoXml ----

void TKoXml::SaveToStream(TStream& stream) const {
  std::string out = "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\r\n";
  WriteElement(out);
  stream.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

void TKoXml::LoadFromStream(TStream& stream) {
  Clear();
  TKoXmlTags tags;
  tags.progress = progress;
  tags.Tokenize(ReadAllText(stream));
  if (tags.Count() == 0 || !tags[0].IsDeclaration()) throw FormatError(kErrNotXml);
  const TKoXmlValue* version = tags[0].FindAttr("version");
  const TKoXmlValue* encoding = tags[0].FindAttr("encoding");
  if (!version || !encoding) throw FormatError(kErrNotXml);
  if (version->value != "1.0") throw FormatError(kErrVersion);
  const std::string charset = sjis::AsciiLower(encoding->value);
  if (charset != "shift_jis" && charset != "shift-jis") throw FormatError(kErrCharset);
  const int first = FirstTag(tags, 1);
  if (first >= 0) ParseElement(tags, first, 0, progress);
}

}  // namespace qubo
