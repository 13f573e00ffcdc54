#pragma once
// The compiled page file (.qsb) as plain data: the table of the 64 command types with the
// fields of each record, the records themselves, and the one reader and one writer of the
// bytes. The runnable page (page.h) is built from this image; the page assembler prints it
// and builds it back.
//
//   i32 version; u8 result type; i32 mask entry count N; i32 mask entry size S;
//   N mask entries of S bytes; i32 command count M; M records:
//     u8 type (low 7 bits: code 0..63); i32 indent; u8 disabled; u8 continue; i32 line;
//     the fields of the type, in table order, each from its version on.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/exprstore.h"
#include "support/stream.h"

namespace qubo {

// Property ids run from 0 to 170; a mask slot holds 176 bits.
inline constexpr int kPropertyCount = 171;
inline constexpr int kMaskBytes = 22;
inline constexpr int kCommandTypes = 64;
using TPropertyMask = std::array<uint8_t, kMaskBytes>;

inline bool MaskHas(const TPropertyMask& mask, int id) {
  return id >= 0 && id < kMaskBytes * 8 && (mask[static_cast<size_t>(id / 8)] >> (id % 8) & 1) != 0;
}

// The oldest and newest page versions the player reads. Older pages must be rebuilt; newer
// ones load as empty pages.
inline constexpr int32_t kOldestPageVersion = 103;
inline constexpr int32_t kNewestPageVersion = 117;
// Mask entries of size 0 a page may have (entries with bytes are bounded by the file).
inline constexpr int32_t kMaxEmptyMaskEntries = 65536;
// A page made in memory without a file.
inline constexpr int32_t kMemoryPageVersion = 200;

enum class TFieldKind : uint8_t {
  Str,       // string
  Int,       // i32
  Byte,      // u8
  Expr,      // one stored expression
  ExprList,  // i32 n, then n expressions
  Text,      // i32 n, then n bytes (a message text)
  Props,     // one expression per property id set in the page's mask for the type
};

struct TFieldDef {
  TFieldKind kind;
  const char* name;      // the field's name in the page text form
  int32_t sinceVersion;  // present in pages of this version and newer
};

struct TCommandDef {
  const char* name;  // the command's name in the authoring vocabulary ("If", "Jump", ...)
  std::span<const TFieldDef> fields;
  bool IsComponent() const { return !fields.empty() && fields[0].kind == TFieldKind::Props; }
};

// Type codes of the commands the engine itself drives.
enum TCommandCode : uint8_t {
  cmdIf = 0, cmdElseif = 1, cmdElse = 2, cmdLabel = 3, cmdJump = 4, cmdCall = 5, cmdExit = 6,
  cmdWait = 7, cmdBoxNew = 8, cmdImgNew = 9, cmdMesNew = 10, cmdTimer = 11, cmdMovie = 12,
  cmdFlip = 13, cmdCalc = 14, cmdVarNew = 15, cmdVarDel = 16, cmdGetProp = 17, cmdSetProp = 18,
  cmdObjDel = 19, cmdTextIns = 20, cmdMovieStop = 21, cmdClrHist = 22, cmdCinema = 23,
  cmdCaption = 24, cmdMenu = 25, cmdMenuClose = 26, cmdComment = 27, cmdTextClr = 28,
  cmdCallHist = 29, cmdButton = 30, cmdWhile = 31, cmdWhileInit = 32, cmdWhileLoop = 33,
  cmdBreak = 34, cmdContinue = 35, cmdParticleNew = 36, cmdFireNew = 37, cmdGameSave = 38,
  cmdGameLoad = 39, cmdPCReset = 40, cmdReset = 41, cmdSound = 42, cmdEditNew = 43,
  cmdMemoNew = 44, cmdTerminate = 45, cmdDoEvent = 46, cmdClrRead = 47, cmdMapImgNew = 48,
  cmdWaveNew = 49, cmdTileNew = 50, cmdSliderNew = 51, cmdScrollbarNew = 52, cmdGaugeNew = 53,
  cmdCGCaption = 54, cmdMediaPlay = 55, cmdPrevMenuNew = 56, cmdPropMotion = 57,
  cmdFormatHist = 58, cmdSaveCabinet = 59, cmdLoadCabinet = 60, cmdIfdef = 61, cmdIfndef = 62,
  cmdEndif = 63,
};

// code 0..63.
const TCommandDef& CommandDef(int code);
// The code of a command name (case-insensitive), -1 when there is none.
int CommandCodeOf(std::string_view name);
// The built-in default masks (the slots of a page made without a file).
const std::array<TPropertyMask, kCommandTypes>& DefaultPropertyMasks();

// One field's value. Expressions of a Props field are the set bits of the mask in ascending
// property id (propIds holds those ids beside them).
struct TFieldValue {
  std::string text;  // Str, Text
  int32_t number = 0;  // Int, Byte
  std::vector<TStoredExpression> exprs;  // Expr (exactly one), ExprList, Props
  std::vector<uint8_t> propIds;          // Props

  bool operator==(const TFieldValue&) const = default;
};

struct TCommandRecord {
  uint8_t typeByte = 0;  // as stored; the code is its low 7 bits
  int32_t indent = 0;
  uint8_t disabled = 0;
  uint8_t continueFlag = 0;
  int32_t line = 0;
  std::vector<TFieldValue> fields;  // one per field of the type (absent ones keep defaults)

  uint8_t Code() const { return typeByte & 0x7F; }
  bool operator==(const TCommandRecord&) const = default;
};

struct TPageImage {
  int32_t version = kMemoryPageVersion;
  uint8_t resultType = 1;
  int32_t maskEntrySize = kMaskBytes;
  std::vector<std::vector<uint8_t>> maskEntries;  // as stored, maskEntrySize bytes each
  std::vector<TCommandRecord> commands;

  // The 64 slots the entries give (the first 22 bytes of entries 0..63, zero elsewhere).
  std::array<TPropertyMask, kCommandTypes> Masks() const;
  bool operator==(const TPageImage&) const = default;
};

// How a page read ended.
enum class TPageReadResult { Loaded, TooOld, TooNew };

// Reads a page file. A version outside the readable range stops after the version (TooOld,
// TooNew) with nothing else read. Damage raises FormatError with a message that names the
// page: "page: ..."; a type code above 63 raises the bad-command message.
TPageReadResult ReadPageImage(TStream& stream, const std::string& pageName, TPageImage& out);
// A record's body (after its type byte) for a page of that version with those masks.
void ReadCommandRecord(TStream& stream, int32_t version, const std::array<TPropertyMask, kCommandTypes>& masks,
                       TCommandRecord& record);
// Writes the image exactly as ReadPageImage reads it. Props fields write the expressions they
// hold; the caller keeps them in step with the masks.
void WritePageImage(TStream& stream, const TPageImage& image);
std::vector<uint8_t> PageImageBytes(const TPageImage& image);

// "不正なコマンド"
extern const char* const kMsgBadCommand;
// "リビルドしてください"
extern const char* const kMsgRebuildPage;
// "警告"
extern const char* const kCaptionWarning;

}  // namespace qubo
