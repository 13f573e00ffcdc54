#include "script/pageformat.h"

#include <algorithm>

#include "support/errors.h"
#include "support/record.h"

namespace qubo {

const char* const kMsgBadCommand = "\x95\x73\x90\xB3\x82\xC8\x83\x52\x83\x7D\x83\x93\x83\x68";
const char* const kMsgRebuildPage =
    "\x83\x8A\x83\x72\x83\x8B\x83\x68\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2";
const char* const kCaptionWarning = "\x8C\x78\x8D\x90";

namespace {

using K = TFieldKind;
constexpr TFieldDef kNone[] = {{K::Byte, "", 0}};  // placeholder; the span below is empty
constexpr TFieldDef kCond[] = {{K::Expr, "cond", 0}};
constexpr TFieldDef kLabel[] = {{K::Str, "name", 0}};
constexpr TFieldDef kJump[] = {{K::Str, "page", 0}, {K::Int, "target", 0}, {K::Expr, "cond", 0}};
constexpr TFieldDef kCall[] = {{K::Str, "page", 0},    {K::Int, "target", 0},     {K::Str, "result", 0},
                               {K::Expr, "cond", 0},   {K::ExprList, "args", 0}};
constexpr TFieldDef kWait[] = {{K::Expr, "cond", 0}, {K::Expr, "time", 0}, {K::Expr, "blocks", 107}};
constexpr TFieldDef kProps[] = {{K::Props, "props", 0}};
constexpr TFieldDef kFlip[] = {{K::Expr, "kind", 0},     {K::Expr, "time", 0},       {K::Expr, "reverse", 0},
                               {K::Expr, "mode", 0},     {K::ExprList, "names", 0},  {K::Expr, "freeold", 0},
                               {K::Expr, "param0", 0},   {K::Expr, "param1", 0},     {K::Expr, "source", 101},
                               {K::Expr, "blocks", 107}, {K::Expr, "option", 117}};
constexpr TFieldDef kExpr[] = {{K::Expr, "expr", 0}};
constexpr TFieldDef kVarNew[] = {{K::Str, "name", 0}, {K::Byte, "type", 0}, {K::Expr, "init", 0}, {K::Byte, "scope", 0}};
constexpr TFieldDef kVarDel[] = {{K::Str, "name", 0}};
constexpr TFieldDef kGetProp[] = {{K::Expr, "object", 0}, {K::Expr, "prop", 0}, {K::Str, "var", 0}};
constexpr TFieldDef kSetProp[] = {{K::Expr, "object", 0}, {K::Expr, "prop", 0}, {K::Expr, "value", 0}};
constexpr TFieldDef kObject[] = {{K::Expr, "object", 0}};
constexpr TFieldDef kTextIns[] = {{K::Text, "text", 0}, {K::Expr, "box", 0},      {K::Expr, "record", 0},
                                  {K::Expr, "wait", 0}, {K::Expr, "blocks", 107}};
constexpr TFieldDef kMovieStop[] = {{K::Expr, "object", 0}, {K::Expr, "fade", 0}, {K::Expr, "wait", 0},
                                    {K::Expr, "blocks", 107}};
constexpr TFieldDef kMenuClose[] = {{K::Expr, "menu", 0}};
constexpr TFieldDef kComment[] = {{K::Str, "text", 0}};
constexpr TFieldDef kBox[] = {{K::Expr, "box", 0}};
constexpr TFieldDef kCallHist[] = {{K::Expr, "box", 0},    {K::Expr, "first", 0},  {K::Expr, "count", 0},
                                   {K::Expr, "option", 0}, {K::Expr, "format", 111}};
constexpr TFieldDef kWhile[] = {{K::Expr, "cond", 0}, {K::Int, "exit", 0}};
constexpr TFieldDef kWhileLoop[] = {{K::Expr, "expr", 0}, {K::Int, "head", 0}};
constexpr TFieldDef kBreak[] = {{K::Expr, "cond", 0}, {K::Int, "target", 0}};
constexpr TFieldDef kGameSave[] = {{K::Expr, "slot", 0}, {K::Str, "page", 0}, {K::Int, "position", 105},
                                   {K::Expr, "caption", 0}};
constexpr TFieldDef kGameLoad[] = {{K::Expr, "slot", 0}};
constexpr TFieldDef kPCReset[] = {{K::Str, "page", 0}, {K::Int, "target", 0}, {K::Byte, "all", 0}};
constexpr TFieldDef kPropMotion[] = {{K::Expr, "name", 0},     {K::Expr, "target", 0}, {K::Expr, "prop", 0},
                                     {K::Expr, "value", 0},    {K::Expr, "duration", 0}, {K::Expr, "curve", 0},
                                     {K::Expr, "paused", 108}};
constexpr TFieldDef kFormatHist[] = {{K::Expr, "template", 0}, {K::Expr, "format", 111}};
constexpr TFieldDef kCabinet[] = {{K::Props, "props", 0}, {K::Expr, "invert", 0}, {K::ExprList, "names", 0}};

template <size_t N>
constexpr std::span<const TFieldDef> F(const TFieldDef (&a)[N]) {
  return {a, N};
}
constexpr std::span<const TFieldDef> kEmpty = std::span<const TFieldDef>(kNone, 0);

const TCommandDef kDefs[kCommandTypes] = {
    {"If", F(kCond)},                 // 0
    {"Elseif", F(kCond)},             // 1
    {"Else", kEmpty},                 // 2
    {"Label", F(kLabel)},             // 3
    {"Jump", F(kJump)},               // 4
    {"Call", F(kCall)},               // 5
    {"Exit", F(kCond)},               // 6
    {"Wait", F(kWait)},               // 7
    {"BoxNew", F(kProps)},            // 8
    {"ImgNew", F(kProps)},            // 9
    {"MesNew", F(kProps)},            // 10
    {"Timer", F(kProps)},             // 11
    {"Movie", F(kProps)},             // 12
    {"Flip", F(kFlip)},               // 13
    {"Calc", F(kExpr)},               // 14
    {"VarNew", F(kVarNew)},           // 15
    {"VarDel", F(kVarDel)},           // 16
    {"GetProp", F(kGetProp)},         // 17
    {"SetProp", F(kSetProp)},         // 18
    {"ObjDel", F(kObject)},           // 19
    {"TextIns", F(kTextIns)},         // 20
    {"MovieStop", F(kMovieStop)},     // 21
    {"ClrHist", kEmpty},              // 22
    {"Cinema", F(kProps)},            // 23
    {"Caption", F(kProps)},           // 24
    {"Menu", F(kProps)},              // 25
    {"MenuClose", F(kMenuClose)},     // 26
    {"Comment", F(kComment)},         // 27
    {"TextClr", F(kBox)},             // 28
    {"CallHist", F(kCallHist)},       // 29
    {"Button", F(kProps)},            // 30
    {"While", F(kWhile)},             // 31
    {"WhileInit", F(kExpr)},          // 32
    {"WhileLoop", F(kWhileLoop)},     // 33
    {"Break", F(kBreak)},             // 34
    {"Continue", F(kBreak)},          // 35
    {"ParticleNew", F(kProps)},       // 36
    {"FireNew", F(kProps)},           // 37
    {"GameSave", F(kGameSave)},       // 38
    {"GameLoad", F(kGameLoad)},       // 39
    {"PCReset", F(kPCReset)},         // 40
    {"Reset", F(kPCReset)},           // 41
    {"Sound", F(kProps)},             // 42
    {"EditNew", F(kProps)},           // 43
    {"MemoNew", F(kProps)},           // 44
    {"Terminate", kEmpty},            // 45
    {"DoEvent", kEmpty},              // 46
    {"ClrRead", kEmpty},              // 47
    {"MapImgNew", F(kProps)},         // 48
    {"WaveNew", F(kProps)},           // 49
    {"TileNew", F(kProps)},           // 50
    {"SliderNew", F(kProps)},         // 51
    {"ScrollbarNew", F(kProps)},      // 52
    {"GaugeNew", F(kProps)},          // 53
    {"CGCaption", F(kProps)},         // 54
    {"MediaPlay", F(kObject)},        // 55
    {"PrevMenuNew", F(kProps)},       // 56
    {"PropMotion", F(kPropMotion)},   // 57
    {"FormatHist", F(kFormatHist)},   // 58
    {"SaveCabinet", F(kCabinet)},     // 59
    {"LoadCabinet", F(kCabinet)},     // 60
    {"IFDEF", kEmpty},                // 61
    {"IFNDEF", kEmpty},               // 62
    {"ENDIF", kEmpty},                // 63
};

struct MaskText {
  int code;
  const char* hex;
};
constexpr MaskText kDefaultMaskTexts[] = {
    {8, "7f7f0028fc8b0000800001008800f2004000bf001800"},  {9, "9f7800acfc9f0000800001019880f3005000bf009807"},
    {10, "7bf87d0effcb000000000700a800f20000e0bf012000"}, {11, "0100000c020000008000000000000000000080000000"},
    {12, "9f7800fcfc9b0000800001009880f3005008ff408003"}, {23, "1f700038fc9b0000800001008800f2004008bf400000"},
    {24, "9ff80faafc8b2400800001009800f2005000bf008003"}, {25, "1b9fef0ffc83feffff3f01008a03f200c0e1bf1e0000"},
    {30, "9ff80b8a0e8c04008000f9019880f3007000bf009807"}, {36, "7f78000cfc930000000001f0c900f2014000bf000000"},
    {37, "9b700008fc8300000000010e9800f2005000bf000003"}, {42, "0500007c001800008000000000000000000880400400"},
    {43, "7be10b08028004000000000004000000000080004000"}, {44, "7be10b08028024000000000004000000000080004000"},
    {48, "1f780008fc870000800309008807f2004000bf000000"}, {49, "7b70000cfc830000000001008818f2004000bf000000"},
    {50, "ff180008fc8700000000010088e0ff005000bf001803"}, {51, "1f780008fe830000000001018800f2fe8001bf200004"},
    {52, "1f780008fe830000000001018800f2fe8101bf200004"}, {53, "1f78000cfc830000000001008800f2790002bf200000"},
    {54, "1f780408fc832400000001008800f2004e00bf000000"}, {56, "1f70000800880000800301000803f2004000bf000000"},
    {59, "01000000000000000000000000000000000000000000"}, {60, "01000000000000000000000000000000000000000000"},
};

int HexDigit(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

std::array<TPropertyMask, kCommandTypes> MakeDefaultMasks() {
  std::array<TPropertyMask, kCommandTypes> masks{};
  for (const MaskText& m : kDefaultMaskTexts) {
    for (int i = 0; i < kMaskBytes; ++i) {
      masks[static_cast<size_t>(m.code)][static_cast<size_t>(i)] =
          static_cast<uint8_t>(HexDigit(m.hex[2 * i]) * 16 + HexDigit(m.hex[2 * i + 1]));
    }
  }
  return masks;
}

// Truncation inside a page is reported with the page's name.
[[noreturn]] void PageDamaged(const std::string& page, const std::string& what) {
  throw FormatError(page + ": " + what);
}

// Expression lists and message texts: every element takes at least 4 bytes (an empty
// expression is its operation count), a text byte one.
int32_t ReadCount(RecordReader& r, int64_t minElementSize) {
  const int32_t n = r.I32();
  if (n <= 0) return 0;
  r.CheckCount(n, minElementSize);
  return n;
}

}  // namespace

const TCommandDef& CommandDef(int code) {
  if (code < 0 || code >= kCommandTypes) throw FormatError(kMsgBadCommand);
  return kDefs[code];
}

int CommandCodeOf(std::string_view name) {
  for (int code = 0; code < kCommandTypes; ++code) {
    const std::string_view n = kDefs[code].name;
    if (n.size() == name.size() &&
        std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
          auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c; };
          return lower(a) == lower(b);
        })) {
      return code;
    }
  }
  return -1;
}

const std::array<TPropertyMask, kCommandTypes>& DefaultPropertyMasks() {
  static const std::array<TPropertyMask, kCommandTypes> masks = MakeDefaultMasks();
  return masks;
}

std::array<TPropertyMask, kCommandTypes> TPageImage::Masks() const {
  std::array<TPropertyMask, kCommandTypes> masks{};
  for (size_t i = 0; i < maskEntries.size() && i < kCommandTypes; ++i) {
    const std::vector<uint8_t>& e = maskEntries[i];
    std::copy_n(e.begin(), std::min<size_t>(e.size(), kMaskBytes), masks[i].begin());
  }
  return masks;
}

void ReadCommandRecord(TStream& stream, int32_t version, const std::array<TPropertyMask, kCommandTypes>& masks,
                       TCommandRecord& record) {
  RecordReader r(stream);
  const TCommandDef& def = CommandDef(record.Code());
  record.indent = r.I32();
  record.disabled = r.U8();
  record.continueFlag = r.U8();
  record.line = r.I32();
  record.fields.assign(def.fields.size(), TFieldValue{});
  for (size_t f = 0; f < def.fields.size(); ++f) {
    const TFieldDef& fd = def.fields[f];
    if (version < fd.sinceVersion) continue;
    TFieldValue& v = record.fields[f];
    switch (fd.kind) {
      case K::Str: v.text = r.String(); break;
      case K::Int: v.number = r.I32(); break;
      case K::Byte: v.number = r.U8(); break;
      case K::Expr: v.exprs.push_back(ReadStoredExpression(stream)); break;
      case K::ExprList: {
        const int32_t n = ReadCount(r, 4);
        v.exprs.reserve(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) v.exprs.push_back(ReadStoredExpression(stream));
        break;
      }
      case K::Text: v.text = r.Text(ReadCount(r, 1)); break;
      case K::Props: {
        const TPropertyMask& mask = masks[record.Code()];
        for (int id = 0; id < kPropertyCount; ++id) {
          if (!MaskHas(mask, id)) continue;
          v.propIds.push_back(static_cast<uint8_t>(id));
          v.exprs.push_back(ReadStoredExpression(stream));
        }
        break;
      }
    }
  }
}

TPageReadResult ReadPageImage(TStream& stream, const std::string& pageName, TPageImage& out) {
  out = TPageImage{};
  RecordReader r(stream);
  int32_t i = 0;
  try {
    out.version = r.I32();
    if (out.version < kOldestPageVersion) return TPageReadResult::TooOld;
    if (out.version > kNewestPageVersion) return TPageReadResult::TooNew;
    out.resultType = r.U8();
    const int32_t n = r.I32();
    out.maskEntrySize = r.I32();
    if (n < 0 || out.maskEntrySize < 0) PageDamaged(pageName, "bad property mask table");
    if (out.maskEntrySize > 0) {
      r.CheckCount(n, out.maskEntrySize);
    } else if (n > kMaxEmptyMaskEntries) {
      // Entries of no bytes take no room in the file: their number is bounded instead.
      PageDamaged(pageName, "too many empty property mask entries");
    }
    out.maskEntries.resize(static_cast<size_t>(n));
    for (auto& e : out.maskEntries) e = r.Bytes(out.maskEntrySize);
    const auto masks = out.Masks();
    const int32_t m = r.I32();
    if (m < 0) PageDamaged(pageName, "negative command count");
    r.CheckCount(m, 11);  // the type byte and the common header
    out.commands.resize(static_cast<size_t>(m));
    for (i = 0; i < m; ++i) {
      TCommandRecord& c = out.commands[static_cast<size_t>(i)];
      c.typeByte = r.U8();
      if (c.Code() >= kCommandTypes) throw QuboError(kMsgBadCommand);
      ReadCommandRecord(stream, out.version, masks, c);
    }
  } catch (const FormatError& e) {
    // Name the page and the record, so a damaged game says where.
    PageDamaged(pageName, "command " + std::to_string(i) + ": " + e.what());
  }
  return TPageReadResult::Loaded;
}

void WritePageImage(TStream& stream, const TPageImage& image) {
  RecordWriter w(stream);
  w.I32(image.version);
  if (image.version < kOldestPageVersion || image.version > kNewestPageVersion) return;
  w.U8(image.resultType);
  w.I32(static_cast<int32_t>(image.maskEntries.size()));
  w.I32(image.maskEntrySize);
  for (const auto& e : image.maskEntries) {
    std::vector<uint8_t> entry(e);
    entry.resize(static_cast<size_t>(std::max(image.maskEntrySize, 0)));
    w.Bytes(entry.data(), static_cast<int64_t>(entry.size()));
  }
  w.I32(static_cast<int32_t>(image.commands.size()));
  for (const TCommandRecord& c : image.commands) {
    const TCommandDef& def = CommandDef(c.Code());
    w.U8(c.typeByte);
    w.I32(c.indent);
    w.U8(c.disabled);
    w.U8(c.continueFlag);
    w.I32(c.line);
    for (size_t f = 0; f < def.fields.size(); ++f) {
      const TFieldDef& fd = def.fields[f];
      if (image.version < fd.sinceVersion) continue;
      static const TFieldValue kEmptyValue;
      const TFieldValue& v = f < c.fields.size() ? c.fields[f] : kEmptyValue;
      switch (fd.kind) {
        case K::Str: w.String(v.text); break;
        case K::Int: w.I32(v.number); break;
        case K::Byte: w.U8(static_cast<uint8_t>(v.number)); break;
        case K::Expr: WriteStoredExpression(stream, v.exprs.empty() ? TStoredExpression{} : v.exprs[0]); break;
        case K::ExprList:
          w.I32(static_cast<int32_t>(v.exprs.size()));
          for (const auto& e : v.exprs) WriteStoredExpression(stream, e);
          break;
        case K::Text:
          w.I32(static_cast<int32_t>(v.text.size()));
          w.Bytes(v.text.data(), static_cast<int64_t>(v.text.size()));
          break;
        case K::Props:
          for (const auto& e : v.exprs) WriteStoredExpression(stream, e);
          break;
      }
    }
  }
}

std::vector<uint8_t> PageImageBytes(const TPageImage& image) {
  TKoMemoryStream s;
  WritePageImage(s, image);
  return s.Bytes();
}

}  // namespace qubo
