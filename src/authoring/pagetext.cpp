#include "authoring/pagetext.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <span>

#include "authoring/exprsource.h"
#include "authoring/projecttext.h"
#include "authoring/textform.h"
#include "script/exprcodes.h"
#include "script/exprcompiler.h"
#include "script/numbertext.h"
#include "script/sysfunctable.h"
#include "support/encoding.h"
#include "support/errors.h"
#include "support/sjis.h"
#include "support/stream.h"

namespace qubo::authoring {
namespace {

using K = TFieldKind;

// A text cannot ask for a mask table larger than this.
constexpr int64_t kMaxMaskEntries = 65536;
constexpr int64_t kMaxMaskTableBytes = int64_t{1} << 24;
// Indents of 0..kMaxSpacedIndent are written as leading spaces, others as indent=N.
constexpr int32_t kMaxSpacedIndent = 40;

using textform::HexValue;

std::string Hex(const uint8_t* p, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[p[i] >> 4];
    out += kDigits[p[i] & 15];
  }
  return out;
}

bool IsSameNameNoCase(std::string_view a, std::string_view b) { return sjis::EqualsNoCase(a, b); }

// Commands whose target index is a command of the page they name.
bool TargetNamesPage(int code) {
  return code == cmdJump || code == cmdCall || code == cmdPCReset || code == cmdReset || code == cmdGameSave;
}

// The page name of such a command.
const std::string& PageFieldOf(const TCommandRecord& c) {
  static const std::string kNone;
  const size_t f = c.Code() == cmdGameSave ? 1 : 0;
  return f < c.fields.size() ? c.fields[f].text : kNone;
}

// VarNew's value type and scope may be written as words.
const char* const kTypeWords[] = {nullptr, "int", "float", "flag", "str"};
const char* const kScopeWords[] = {"global", "auto", "local", "status"};

std::span<const char* const> ByteWords(int code, std::string_view field) {
  if (code != cmdVarNew) return {};
  if (field == "type") return kTypeWords;
  if (field == "scope") return kScopeWords;
  return {};
}

// Whether {text} carries the source as it is: printable, with a UTF-8 form that converts
// back to the same bytes, braces balanced outside string literals, literals closed.
bool FitsBraces(const std::string& s) {
  if (s.find_first_not_of(" \t") == std::string::npos) return false;
  for (unsigned char c : s) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  const auto back = Utf8ToCp932(Cp932ToUtf8(s));
  if (!back || *back != s) return false;
  int depth = 0;
  bool literal = false;
  for (size_t i = 0; i < s.size(); i = sjis::Next(s, i)) {
    if (sjis::CharLen(s, i) != 1) continue;
    const char c = s[i];
    if (literal) {
      if (c == '\\' && i + 1 < s.size()) {
        i = sjis::Next(s, i);  // the escaped character
      } else if (c == '"') {
        literal = false;
      }
    } else if (c == '"') {
      literal = true;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}' && --depth < 0) {
      return false;
    }
  }
  return depth == 0 && !literal;
}

// ---------------------------------------------------------------------------------------
// Expressions as raw operations.

std::string RealText(const Extended80& raw) {
  const long double v = ExtendedToLongDouble(raw);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.21Lg", v);
  if (LongDoubleToExtended(std::strtold(buf, nullptr)) == raw && std::string(buf).find_first_of("nN") == std::string::npos) {
    return buf;
  }
  return "raw:" + Hex(raw.data(), raw.size());
}

std::string RawText(const TStoredExpression& e) {
  std::string out = "[";
  for (size_t i = 0; i < e.operations.size(); ++i) {
    const TStoredOperation& op = e.operations[i];
    if (i > 0) out += "; ";
    const std::string_view name = OpeCodeName(op.code);
    out += name.size() > 2 ? std::string(name.substr(2)) : std::to_string(op.code);
    out += " " + QuoteCp932(op.destination);
    if (op.code == ocFunc) {
      out += op.funcIndex < kSysFuncCount ? " " + std::string(kSysFuncs[op.funcIndex].name)
                                          : " #" + std::to_string(op.funcIndex);
    }
    for (const TStoredOperand& o : op.operands) {
      switch (o.kind) {
        case kOperandInt: out += " i:" + std::to_string(o.intValue); break;
        case kOperandFloat: out += " f:" + RealText(o.floatValue); break;
        case kOperandFlag: out += o.flagValue ? " b:1" : " b:0"; break;
        case kOperandString: out += " s:" + QuoteCp932(o.text); break;
        default: out += " v:" + QuoteCp932(o.text); break;
      }
    }
  }
  return out + "]";
}

// ---------------------------------------------------------------------------------------
// Writing

bool IsDefaultMaskTable(const TPageImage& page) {
  if (page.maskEntrySize != kMaskBytes || page.maskEntries.size() != kCommandTypes) return false;
  const auto& defaults = DefaultPropertyMasks();
  for (size_t i = 0; i < kCommandTypes; ++i) {
    const auto& e = page.maskEntries[i];
    if (e.size() != kMaskBytes || !std::equal(e.begin(), e.end(), defaults[i].begin())) return false;
  }
  return true;
}

std::string LabelRef(const std::string& name) {
  bool plain = !name.empty() && name != "end" && name[0] != '+' && name[0] != '-';
  for (char c : name) {
    const bool word = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    if (!word) plain = false;
  }
  return "@" + (plain ? name : QuoteCp932(name));
}

class PageWriter {
 public:
  PageWriter(const TPageImage& page, std::string_view pageName) : page_(page), pageName_(pageName) {
    for (size_t i = 0; i < page.commands.size(); ++i) {
      const TCommandRecord& c = page.commands[i];
      if (c.Code() == cmdLabel && !c.fields.empty()) firstLabel_.emplace(c.fields[0].text, i);
    }
  }

  std::string Text() {
    std::string out = "page " + std::to_string(page_.version) + "\n";
    if (page_.version < kOldestPageVersion || page_.version > kNewestPageVersion) return out;
    out += "result " + std::to_string(page_.resultType) + "\n";
    if (IsDefaultMaskTable(page_)) {
      out += "masks default\n";
    } else {
      out += "masks " + std::to_string(page_.maskEntries.size()) + " " + std::to_string(page_.maskEntrySize) + "\n";
      for (size_t i = 0; i < page_.maskEntries.size(); ++i) {
        const auto& e = page_.maskEntries[i];
        if (std::all_of(e.begin(), e.end(), [](uint8_t b) { return b == 0; })) continue;
        out += "mask " + std::to_string(i) + " " + Hex(e.data(), e.size()) + "\n";
      }
    }
    if (!pageName_.empty()) out += "name " + QuoteCp932(pageName_) + "\n";
    for (size_t i = 0; i < page_.commands.size(); ++i) out += Command(page_.commands[i], i);
    return out;
  }

 private:
  std::string Target(const TCommandRecord& c, int32_t index) const {
    if (index >= 0 && static_cast<size_t>(index) < page_.commands.size()) {
      const TCommandRecord& t = page_.commands[static_cast<size_t>(index)];
      const bool samePage = !TargetNamesPage(c.Code()) ||
                            (!pageName_.empty() && IsSameNameNoCase(PageFieldOf(c), pageName_));
      if (samePage && t.Code() == cmdLabel && !t.fields.empty()) {
        auto it = firstLabel_.find(t.fields[0].text);
        if (it != firstLabel_.end() && it->second == static_cast<size_t>(index)) return LabelRef(t.fields[0].text);
      }
    }
    return std::to_string(index);
  }

  std::string Command(const TCommandRecord& c, size_t index) const {
    const TCommandDef& def = CommandDef(c.Code());
    std::string line;
    const bool spaced = c.indent >= 0 && c.indent <= kMaxSpacedIndent;
    if (spaced) line.assign(static_cast<size_t>(c.indent) * 2, ' ');
    line += def.name;
    for (size_t f = 0; f < def.fields.size() && f < c.fields.size(); ++f) {
      const TFieldDef& fd = def.fields[f];
      const TFieldValue& v = c.fields[f];
      if (page_.version < fd.sinceVersion) continue;
      const std::string key = std::string(" ") + fd.name + "=";
      switch (fd.kind) {
        case K::Str:
        case K::Text:
          if (!v.text.empty() || c.Code() == cmdLabel) line += key + QuoteCp932(v.text);
          break;
        case K::Int: line += key + Target(c, v.number); break;
        case K::Byte: {
          const auto words = ByteWords(c.Code(), fd.name);
          const bool word = v.number >= 0 && static_cast<size_t>(v.number) < words.size() && words[static_cast<size_t>(v.number)];
          line += key + (word ? std::string(words[static_cast<size_t>(v.number)]) : std::to_string(v.number));
          break;
        }
        case K::Expr:
          if (!v.exprs.empty() && !v.exprs[0].operations.empty()) line += key + ExpressionToText(v.exprs[0]);
          break;
        case K::ExprList:
          if (!v.exprs.empty()) {
            line += key + "(";
            for (size_t k = 0; k < v.exprs.size(); ++k) line += (k ? " " : "") + ExpressionToText(v.exprs[k]);
            line += ")";
          }
          break;
        case K::Props:
          for (size_t k = 0; k < v.exprs.size() && k < v.propIds.size(); ++k) {
            if (v.exprs[k].operations.empty()) continue;
            line += " p" + std::to_string(v.propIds[k]) + "=" + ExpressionToText(v.exprs[k]);
          }
          break;
      }
    }
    if (c.line != 0) line += " line=" + std::to_string(c.line);
    if (c.disabled == 1) line += " disabled";
    if (c.disabled > 1) line += " disabled=" + std::to_string(c.disabled);
    if (c.continueFlag == 1) line += " continue";
    if (c.continueFlag > 1) line += " continue=" + std::to_string(c.continueFlag);
    if (c.typeByte != c.Code()) {
      char buf[16];
      std::snprintf(buf, sizeof buf, " typebyte=0x%02X", c.typeByte);
      line += buf;
    }
    if (!spaced) line += " indent=" + std::to_string(c.indent);
    return line + "  # " + std::to_string(index) + "\n";
  }

  const TPageImage& page_;
  std::string pageName_;
  std::map<std::string, size_t> firstLabel_;
};

// ---------------------------------------------------------------------------------------
// Reading

using textform::LineError;

struct Value {
  enum class Form { Quoted, Source, Raw, List, Label, Word } form = Form::Word;
  std::string text;  // Quoted, Source, Label: code page 932; Word: as written
  bool relative = false;  // Label: text is "+N", "-N" or "end"
  TStoredExpression raw;
  std::vector<Value> items;
};

class Cursor {
 public:
  Cursor(std::string_view s, int line) : s_(s), line_(line) {}

  [[noreturn]] void Fail(const std::string& what) const { LineError(line_, what); }
  int Line() const { return line_; }

  void SkipBlanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r')) ++pos_;
  }
  // After blanks: nothing left but a comment.
  bool AtEnd() {
    SkipBlanks();
    return pos_ >= s_.size() || s_[pos_] == '#';
  }
  char Peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++pos_;
    return true;
  }

  static bool EndsWord(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '=' || c == ';' || c == '(' || c == ')' || c == '[' ||
           c == ']' || c == '{' || c == '}' || c == '"';
  }
  std::string Word() {
    const size_t start = pos_;
    while (pos_ < s_.size() && !EndsWord(s_[pos_])) ++pos_;
    return std::string(s_.substr(start, pos_ - start));
  }
  std::string NeedWord(const char* what) {
    SkipBlanks();
    std::string w = Word();
    if (w.empty()) Fail(std::string("missing ") + what);
    return w;
  }

  std::string Cp932(const std::string& utf8) const {
    const auto cp = Utf8ToCp932(utf8);
    if (!cp) Fail("text without a code-page-932 form");
    return *cp;
  }

  // A quoted string at the cursor (UTF-8 with escapes) as code page 932 bytes.
  std::string Quoted() {
    if (pos_ >= s_.size() || s_[pos_] != '"') Fail("a quoted string expected");
    std::string out, error;
    if (!textform::ReadQuoted(s_, pos_, out, error)) Fail(error);
    return out;
  }

  // {source}: up to the '}' that balances the '{', outside string literals.
  std::string Braced() {
    ++pos_;
    const size_t start = pos_;
    int depth = 1;
    bool literal = false;
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (literal) {
        if (c == '\\' && pos_ + 1 < s_.size()) {
          pos_ += 2;
          continue;
        }
        if (c == '"') literal = false;
      } else if (c == '"') {
        literal = true;
      } else if (c == '{') {
        ++depth;
      } else if (c == '}' && --depth == 0) {
        const std::string utf8(s_.substr(start, pos_ - start));
        ++pos_;
        return Cp932(utf8);
      }
      ++pos_;
    }
    Fail("unclosed { (an expression ends at its balancing })");
  }

  int64_t Number(const std::string& w, int64_t lo, int64_t hi, const std::string& what) const {
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(w.c_str(), &end, 0);
    if (w.empty() || errno != 0 || *end != '\0' || v < lo || v > hi) Fail("bad " + what + " \"" + w + "\"");
    return v;
  }

  Extended80 Real(const std::string& w) const {
    Extended80 v{};
    std::string error;
    if (!textform::ParseReal(w, v, error)) Fail(error);
    return v;
  }

  TStoredOperand Operand() {
    const char kind = Peek();
    if (kind != '\0') ++pos_;
    if (!Take(':')) Fail("an operand is i:, f:, b:, s:\"..\" or v:\"..\"");
    switch (kind) {
      case 'i': return TStoredOperand::Int(static_cast<int32_t>(Number(Word(), INT32_MIN, UINT32_MAX, "integer")));
      case 'f': return TStoredOperand::Float(Real(Word()));
      case 'b': return TStoredOperand::Flag(Number(Word(), 0, 1, "flag") != 0);
      case 's': return TStoredOperand::String(Quoted());
      case 'v': return TStoredOperand::Name(Quoted());
      default: Fail(std::string("unknown operand kind ") + kind);
    }
  }

  uint8_t OperationCode() {
    const std::string w = NeedWord("operation");
    if (w[0] >= '0' && w[0] <= '9') return static_cast<uint8_t>(Number(w, 0, kLastOpeCode, "operation code"));
    for (int code = 0; code <= kLastOpeCode; ++code) {
      const std::string_view name = OpeCodeName(static_cast<uint8_t>(code));
      if (sjis::EqualsNoCase(w, name) || sjis::EqualsNoCase(w, name.substr(2))) return static_cast<uint8_t>(code);
    }
    Fail("unknown operation " + w);
  }

  // [op; op ...]
  TStoredExpression RawOperations() {
    ++pos_;
    TStoredExpression e;
    SkipBlanks();
    if (Take(']')) return e;
    for (;;) {
      TStoredOperation op;
      op.code = OperationCode();
      SkipBlanks();
      op.destination = Quoted();
      if (op.code == ocFunc) {
        const std::string f = NeedWord("function name");
        const int index = f[0] == '#' ? static_cast<int>(Number(f.substr(1), 0, kSysFuncCount - 1, "function number"))
                                      : FindSysFunc(Cp932(f));
        if (index < 0) Fail("unknown function " + f);
        op.funcIndex = static_cast<uint8_t>(index);
      }
      for (;;) {
        SkipBlanks();
        if (Peek() == ';' || Peek() == ']' || Peek() == '\0') break;
        op.operands.push_back(Operand());
      }
      if (op.code == ocFunc && !kSysFuncs[op.funcIndex].AcceptsArgCount(static_cast<int>(op.operands.size()))) {
        Fail(std::string(kSysFuncs[op.funcIndex].name) + " does not take " + std::to_string(op.operands.size()) +
             " arguments");
      }
      e.operations.push_back(std::move(op));
      if (Take(';')) continue;
      if (Take(']')) return e;
      Fail("unclosed [ (operations end with ])");
    }
  }

  Value ParseValue() {
    Value v;
    switch (Peek()) {
      case '"':
        v.form = Value::Form::Quoted;
        v.text = Quoted();
        break;
      case '{':
        v.form = Value::Form::Source;
        v.text = Braced();
        break;
      case '[':
        v.form = Value::Form::Raw;
        v.raw = RawOperations();
        break;
      case '(':
        v.form = Value::Form::List;
        ++pos_;
        for (;;) {
          SkipBlanks();
          if (Take(')')) break;
          if (Peek() == '\0') Fail("unclosed ( (a list ends with ))");
          v.items.push_back(ParseValue());
        }
        break;
      case '@':
        v.form = Value::Form::Label;
        ++pos_;
        if (Peek() == '"') {
          v.text = Quoted();
        } else {
          v.text = Cp932(Word());
          if (v.text.empty()) Fail("@ needs a label name");
          v.relative = v.text == "end" || v.text[0] == '+' || v.text[0] == '-';
        }
        break;
      default:
        v.form = Value::Form::Word;
        v.text = Word();
        if (v.text.empty()) Fail("missing value");
        break;
    }
    return v;
  }

 private:
  std::string_view s_;
  size_t pos_ = 0;
  int line_;
};

TStoredExpression CompileSource(const std::string& text, const Cursor& c, const std::string& field) {
  if (text.find_first_not_of(" \t") == std::string::npos) return {};
  try {
    TBuildQuboParser compiler;
    compiler.Compile(text);
    return compiler.ToStored();
  } catch (const QuboError& e) {
    c.Fail(field + ": " + e.what());
  }
}

TStoredExpression ExpressionOf(const Value& v, const Cursor& c, const std::string& field) {
  switch (v.form) {
    case Value::Form::Quoted:
    case Value::Form::Source: return CompileSource(v.text, c, field);
    case Value::Form::Raw: return v.raw;
    default: c.Fail(field + " takes an expression: {source}, \"source\" or [operations]");
  }
}

struct PendingTarget {
  size_t command;
  size_t field;
  Value value;
  int line;
};

struct ParsedCommand {
  int line = 0;
  std::map<int, TStoredExpression> props;
};

class PageParser {
 public:
  TPageImage Parse(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a UTF-8 byte order mark
    textform::ForEachLine(text, [this](std::string_view line, int lineNo) { Line(line, lineNo); });
    if (!started_) throw QuboError("empty text: the first line is \"page VERSION\"");
    return Finish();
  }

 private:
  void Line(std::string_view line, int lineNo) {
    size_t spaces = 0;
    while (spaces < line.size() && line[spaces] == ' ') ++spaces;
    Cursor c(line.substr(spaces), lineNo);
    if (c.AtEnd()) return;
    if (line.substr(spaces).front() == '\t') c.Fail("indent with spaces, two per level");
    const std::string key = c.Word();
    if (key.empty()) c.Fail("a line starts with a command name");
    if (!started_) {
      if (key != "page") c.Fail("the first line is \"page VERSION\"");
      image_.version = static_cast<int32_t>(c.Number(c.NeedWord("version"), INT32_MIN, INT32_MAX, "version"));
      started_ = true;
    } else if (key == "page") {
      c.Fail("\"page\" comes once, on the first line");
    } else if (key == "result") {
      image_.resultType = static_cast<uint8_t>(c.Number(c.NeedWord("result type"), 0, 255, "result type"));
    } else if (key == "masks") {
      Masks(c);
    } else if (key == "mask") {
      const int64_t index = c.Number(c.NeedWord("entry index"), 0, INT32_MAX, "entry index");
      const std::string hex = c.NeedWord("hexadecimal bytes");
      if (hex.size() % 2 != 0) c.Fail("an even number of hexadecimal digits");
      std::vector<uint8_t> bytes;
      for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
        if (hi < 0 || lo < 0) c.Fail("bad hexadecimal \"" + hex + "\"");
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
      }
      if (!maskLines_.emplace(index, std::make_pair(std::move(bytes), lineNo)).second) {
        c.Fail("mask " + std::to_string(index) + " given twice");
      }
    } else if (key == "name") {
      c.SkipBlanks();
      pageName_ = c.Quoted();
    } else {
      Command(c, key, spaces);
      return;
    }
    if (!c.AtEnd()) c.Fail("unexpected text after " + key);
  }

  void Masks(Cursor& c) {
    const std::string w = c.NeedWord("default, auto or COUNT SIZE");
    if (w == "default" || w == "auto") {
      maskMode_ = w == "auto" ? MaskMode::Auto : MaskMode::Default;
      return;
    }
    maskMode_ = MaskMode::Explicit;
    maskCount_ = static_cast<int32_t>(c.Number(w, 0, INT32_MAX, "entry count"));
    maskSize_ = static_cast<int32_t>(c.Number(c.NeedWord("entry size"), 0, INT32_MAX, "entry size"));
    if (maskCount_ > kMaxMaskEntries || int64_t{maskCount_} * maskSize_ > kMaxMaskTableBytes) {
      c.Fail("mask table too large");
    }
  }

  void Command(Cursor& c, const std::string& name, size_t spaces) {
    const int code = CommandCodeOf(name);
    if (code < 0) c.Fail("unknown command " + name);
    const int32_t v = image_.version;
    if (v < kOldestPageVersion || v > kNewestPageVersion) {
      c.Fail("a page of version " + std::to_string(v) + " holds no commands");
    }
    const TCommandDef& def = CommandDef(code);
    if (spaces % 2 != 0) c.Fail("indent with two spaces per level (or indent=N)");
    TCommandRecord rec;
    rec.typeByte = static_cast<uint8_t>(code);
    rec.indent = static_cast<int32_t>(spaces / 2);
    rec.fields.assign(def.fields.size(), TFieldValue{});
    for (size_t f = 0; f < def.fields.size(); ++f) {
      if (def.fields[f].kind == K::Expr && v >= def.fields[f].sinceVersion) rec.fields[f].exprs.resize(1);
    }
    ParsedCommand parsed;
    parsed.line = c.Line();
    std::set<std::string> seen;
    const size_t index = image_.commands.size();
    while (!c.AtEnd()) {
      const std::string key = c.Word();
      if (key.empty()) c.Fail("a field name expected");
      const std::string lower = sjis::AsciiLower(key);
      if (!seen.insert(lower).second) c.Fail(key + " given twice");
      if (!c.Take('=')) {
        if (lower == "disabled") rec.disabled = 1;
        else if (lower == "continue") rec.continueFlag = 1;
        else c.Fail(key + " needs =value");
        continue;
      }
      Value val = c.ParseValue();
      auto number = [&](int64_t lo, int64_t hi) {
        if (val.form != Value::Form::Word) c.Fail(key + " takes a number");
        return c.Number(val.text, lo, hi, key);
      };
      if (lower == "line") {
        rec.line = static_cast<int32_t>(number(INT32_MIN, INT32_MAX));
      } else if (lower == "indent") {
        rec.indent = static_cast<int32_t>(number(INT32_MIN, INT32_MAX));
      } else if (lower == "disabled") {
        rec.disabled = static_cast<uint8_t>(number(0, 255));
      } else if (lower == "continue") {
        rec.continueFlag = static_cast<uint8_t>(number(0, 255));
      } else if (lower == "typebyte") {
        const int64_t t = number(0, 255);
        if ((t & 0x7F) != code) c.Fail("typebyte " + val.text + " is not a " + def.name);
        rec.typeByte = static_cast<uint8_t>(t);
      } else if (def.IsComponent() && lower.size() > 1 && lower[0] == 'p' && lower[1] >= '0' && lower[1] <= '9') {
        const int id = static_cast<int>(c.Number(lower.substr(1), 0, kPropertyCount - 1, "property id"));
        parsed.props[id] = ExpressionOf(val, c, key);
      } else {
        size_t f = 0;
        while (f < def.fields.size() && !sjis::EqualsNoCase(def.fields[f].name, key)) ++f;
        if (f == def.fields.size() || def.fields[f].kind == K::Props) {
          std::string names;
          for (const TFieldDef& fd : def.fields) names += std::string(" ") + (fd.kind == K::Props ? "pN" : fd.name);
          c.Fail(std::string(def.name) + " has no field " + key + (names.empty() ? "" : " (fields:" + names + ")"));
        }
        const TFieldDef& fd = def.fields[f];
        if (v < fd.sinceVersion) {
          c.Fail(std::string(def.name) + " " + fd.name + " needs page version " + std::to_string(fd.sinceVersion) +
                 " or later");
        }
        TFieldValue& out = rec.fields[f];
        switch (fd.kind) {
          case K::Str:
          case K::Text:
            if (val.form != Value::Form::Quoted) c.Fail(key + " takes a quoted string");
            out.text = val.text;
            break;
          case K::Int:
            if (val.form == Value::Form::Label) {
              targets_.push_back({index, f, std::move(val), c.Line()});
            } else {
              out.number = static_cast<int32_t>(number(INT32_MIN, INT32_MAX));
            }
            break;
          case K::Byte: {
            const auto words = ByteWords(code, fd.name);
            const auto it = std::find_if(words.begin(), words.end(),
                                         [&](const char* w) { return w && val.form == Value::Form::Word && val.text == w; });
            out.number = it != words.end() ? static_cast<int32_t>(it - words.begin()) : static_cast<int32_t>(number(0, 255));
            break;
          }
          case K::Expr: out.exprs[0] = ExpressionOf(val, c, key); break;
          case K::ExprList:
            if (val.form != Value::Form::List) c.Fail(key + " takes a list: (expression ...)");
            for (const Value& item : val.items) out.exprs.push_back(ExpressionOf(item, c, key));
            break;
          case K::Props: break;
        }
      }
    }
    image_.commands.push_back(std::move(rec));
    parsed_.push_back(std::move(parsed));
  }

  void BuildMasks() {
    if (maskMode_ != MaskMode::Explicit) {
      image_.maskEntrySize = kMaskBytes;
      for (const auto& m : DefaultPropertyMasks()) image_.maskEntries.emplace_back(m.begin(), m.end());
      if (!maskLines_.empty()) LineError(maskLines_.begin()->second.second, "mask lines need \"masks COUNT SIZE\"");
    } else {
      image_.maskEntrySize = maskSize_;
      // The size of an entry matters only when there are entries (the table's bytes are bounded).
      image_.maskEntries.resize(static_cast<size_t>(maskCount_));
      for (auto& e : image_.maskEntries) e.resize(static_cast<size_t>(maskSize_));
      for (auto& [index, entry] : maskLines_) {
        const auto& [bytes, line] = entry;
        if (index >= maskCount_) LineError(line, "mask " + std::to_string(index) + " is past the entry count");
        if (bytes.size() > static_cast<size_t>(maskSize_)) LineError(line, "mask longer than the entry size");
        std::copy(bytes.begin(), bytes.end(), image_.maskEntries[static_cast<size_t>(index)].begin());
      }
    }
    if (maskMode_ != MaskMode::Auto) return;
    for (size_t i = 0; i < image_.commands.size(); ++i) {
      auto& entry = image_.maskEntries[image_.commands[i].Code()];
      for (const auto& [id, e] : parsed_[i].props) entry[static_cast<size_t>(id / 8)] |= static_cast<uint8_t>(1 << (id % 8));
    }
  }

  void FillProperties() {
    const auto masks = image_.Masks();
    for (size_t i = 0; i < image_.commands.size(); ++i) {
      TCommandRecord& rec = image_.commands[i];
      const TCommandDef& def = CommandDef(rec.Code());
      if (!def.IsComponent()) continue;
      const TPropertyMask& mask = masks[rec.Code()];
      auto& props = parsed_[i].props;
      for (const auto& [id, e] : props) {
        if (!MaskHas(mask, id)) {
          LineError(parsed_[i].line, "property p" + std::to_string(id) + " is not in the mask of " + def.name +
                                         " (type " + std::to_string(rec.Code()) + "); add it with a mask line or masks auto");
        }
      }
      TFieldValue& out = rec.fields[0];
      for (int id = 0; id < kPropertyCount; ++id) {
        if (!MaskHas(mask, id)) continue;
        out.propIds.push_back(static_cast<uint8_t>(id));
        auto it = props.find(id);
        out.exprs.push_back(it != props.end() ? std::move(it->second) : TStoredExpression{});
      }
    }
  }

  void ResolveTargets() {
    std::map<std::string, size_t> labels;
    for (size_t i = 0; i < image_.commands.size(); ++i) {
      const TCommandRecord& c = image_.commands[i];
      if (c.Code() == cmdLabel) labels.emplace(c.fields[0].text, i);
    }
    const int64_t count = static_cast<int64_t>(image_.commands.size());
    for (PendingTarget& t : targets_) {
      TCommandRecord& rec = image_.commands[t.command];
      int64_t index = 0;
      if (t.value.relative) {
        const std::string& w = t.value.text;
        if (w == "end") {
          index = count;
        } else {
          const Cursor c(std::string_view{}, t.line);
          index = static_cast<int64_t>(t.command) + c.Number(w.substr(1), 0, INT32_MAX, "offset") * (w[0] == '-' ? -1 : 1);
        }
      } else {
        auto it = labels.find(t.value.text);
        if (it == labels.end()) LineError(t.line, "unknown label " + LabelRef(t.value.text));
        index = static_cast<int64_t>(it->second);
      }
      if (TargetNamesPage(rec.Code()) && !pageName_.empty() && !IsSameNameNoCase(PageFieldOf(rec), pageName_)) {
        LineError(t.line, "a label names a command of this page, but the command goes to " +
                              QuoteCp932(PageFieldOf(rec)) + "; give another page's target as a number");
      }
      if (index < INT32_MIN || index > INT32_MAX) LineError(t.line, "target out of range");
      rec.fields[t.field].number = static_cast<int32_t>(index);
    }
  }

  TPageImage Finish() {
    if (image_.version < kOldestPageVersion || image_.version > kNewestPageVersion) {
      TPageImage bare;
      bare.version = image_.version;
      return bare;
    }
    BuildMasks();
    FillProperties();
    ResolveTargets();
    // What is written must read back as it is: a page the player would refuse is no output.
    TKoMemoryStream s(PageImageBytes(image_));
    TPageImage back;
    try {
      ReadPageImage(s, "text", back);
    } catch (const QuboError& e) {
      throw QuboError(std::string("the page would not read back: ") + e.what());
    }
    if (!(back == image_)) throw QuboError("the page would not read back as written");
    return std::move(image_);
  }

  enum class MaskMode { Default, Auto, Explicit };

  TPageImage image_;
  bool started_ = false;
  MaskMode maskMode_ = MaskMode::Default;
  int32_t maskCount_ = 0;
  int32_t maskSize_ = 0;
  std::map<int64_t, std::pair<std::vector<uint8_t>, int>> maskLines_;
  std::string pageName_;
  std::vector<ParsedCommand> parsed_;
  std::vector<PendingTarget> targets_;
};

}  // namespace

std::string ExpressionToText(const TStoredExpression& e) {
  if (e.operations.empty()) return "{}";
  if (const auto source = ExpressionSource(e)) {
    if (FitsBraces(*source)) return "{" + Cp932ToUtf8(*source) + "}";
    return QuoteCp932(*source);
  }
  return RawText(e);
}

std::string PageToText(const TPageImage& page, std::string_view pageName) {
  return PageWriter(page, pageName).Text();
}

TPageImage ParsePageText(std::string_view text) { return PageParser().Parse(text); }

}  // namespace qubo::authoring
