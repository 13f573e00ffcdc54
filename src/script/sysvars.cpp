#include "script/sysvars.h"

#include <algorithm>
#include <numbers>

#include "script/arith.h"
#include "script/numbertext.h"
#include "script/scripthost.h"
#include "script/sysfunctable.h"
#include "support/errors.h"

namespace qubo {
namespace {

// 内部エラー
constexpr const char* kMsgInternal = "\x93\xE0\x95\x94\x83G\x83\x89\x81[";

enum Var {
  vResult = 0, vLClick, vRClick, vLPush, vRPush, vMouseX, vMouseY, vTextDelay, vHistoryCount, vParamCount,
  vParamStr, vSender, vScrWidth, vScrHeight, vTickCount, vPCTickCount, vUpdateCount, vYear, vMonth, vDay,
  vWeek, vHour, vMin, vSec, vFonts, vFixedFonts, vFullScr, vCursor, vSelStr, vSelIndex,
  vPi, vCGDither, v1Hour, v1Min, v1Sec, vKeyPush, vKeyClick, vDisplayModeCount, vDisplayModeIndex, vTitle,
  vSoundON, vActiveCompo, vKeyRepeat, vHistoryMaxCount, vTemp, vMidiPort, vMidiPorts, vWheelDown, vWheelUp,
  vIsDebug, vStackCount
};
static_assert(vStackCount == kSysVarCount - 1);

constexpr int32_t kKeyCount = 258;

// A float as an integer: truncated, the low 32 bits (NaN, infinities and values beyond 64
// bits raise, as they do for float variables).
int32_t TruncInt(Real x) { return arith::RealToInt(x); }

// The scalar flag rule of string values: "TRUE" true, "FALSE" false, else integer text that
// is not 0.
bool TextFlag(const std::string& s) {
  if (s == "TRUE") return true;
  if (s == "FALSE") return false;
  return numtext::IntOrZero(s) != 0;
}

platform::LocalDateTime Now() {
  platform::Platform* p = ScriptHost().Platform();
  return p != nullptr ? p->GetClock().Now() : platform::LocalDateTime{};
}

std::string FontList(bool fixedOnly) {
  platform::Platform* p = ScriptHost().Platform();
  if (p == nullptr) return {};
  std::string out;
  for (const platform::FontFamily& f : p->GetFonts().Families()) {
    if (fixedOnly && !f.fixedPitch) continue;
    if (!out.empty()) out += "\r\n";
    out += f.name;
  }
  return out;
}

TScriptHost::KeyState KeyKind(int n) {
  return n == vKeyPush ? TScriptHost::KeyState::Push
                       : n == vKeyClick ? TScriptHost::KeyState::Click : TScriptHost::KeyState::Repeat;
}

}  // namespace

TParamSystem::TParamSystem(int number, TParamCollection* table) : number_(number), table_(table) {
  if (number < 0 || number >= kSysVarCount) throw QuboError(kMsgInternal);
}

TCustomParam* TParamSystem::Target() const {
  if (busy_) return nullptr;
  if (number_ == vResult) return ScriptHost().ResultValue();
  if (table_ == nullptr) return nullptr;
  const std::string& name = table_->Globals().tempTarget;
  if (name.empty()) return nullptr;
  TParamCollectionItem* item = table_->FindVar(name);
  return item != nullptr ? &item->Value() : nullptr;
}

template <class R, class F>
R TParamSystem::Forward(R none, F f) const {
  TCustomParam* t = Target();
  if (t == nullptr || t == this) return none;
  busy_ = true;
  struct Reset {
    bool& b;
    ~Reset() { b = false; }
  } reset{busy_};
  return f(*t);
}

// ---- Native reads and writes

int32_t TParamSystem::ReadInt() const {
  TScriptHost& h = ScriptHost();
  switch (number_) {
    case vMouseX: return h.MousePos().x;
    case vMouseY: return h.MousePos().y;
    case vTextDelay: return table_ ? table_->Globals().textDelay : 50;
    case vHistoryCount: return std::max(0, h.HistoryCount(std::string()));
    case vParamCount: return h.ArgCount();
    case vScrWidth: return h.ScreenWidth();
    case vScrHeight: return h.ScreenHeight();
    case vTickCount: return static_cast<int32_t>(h.TickCount());
    case vPCTickCount: {
      platform::Platform* p = h.Platform();
      return p ? static_cast<int32_t>(p->GetClock().SystemMilliseconds()) : 0;
    }
    case vUpdateCount: return static_cast<int32_t>(h.UpdateCount());
    case vYear: return Now().year;
    case vMonth: return Now().month;
    case vDay: return Now().day;
    case vWeek: return Now().weekday + 1;
    case vHour: return Now().hour;
    case vMin: return Now().minute;
    case vSec: return Now().second;
    case vSelIndex: return table_ ? table_->Globals().selIndex : 0;
    case vDisplayModeCount: return static_cast<int32_t>(h.DisplayModes().size());
    case vDisplayModeIndex: return h.DisplayModeIndex();
    case vHistoryMaxCount: return std::max(0, h.HistoryMaxCount(std::string()));
    case vStackCount: return h.FrameCount();
    default: return 0;
  }
}

Real TParamSystem::ReadFloat() const {
  switch (number_) {
    case vPi: return std::numbers::pi_v<Real>;
    case v1Hour: return 1.0L / 24;
    case v1Min: return 1.0L / 1440;
    case v1Sec: return 1.0L / 86400;
    default: return 0;
  }
}

bool TParamSystem::ReadFlag() const {
  TScriptHost& h = ScriptHost();
  using M = TScriptHost::MouseFlag;
  switch (number_) {
    case vLClick: return h.GetMouseFlag(M::LClick);
    case vRClick: return h.GetMouseFlag(M::RClick);
    case vLPush: return h.GetMouseFlag(M::LPush);
    case vRPush: return h.GetMouseFlag(M::RPush);
    case vWheelDown: return h.GetMouseFlag(M::WheelDown);
    case vWheelUp: return h.GetMouseFlag(M::WheelUp);
    case vFullScr: return h.FullScreen();
    case vCGDither: return h.Dither();
    case vSoundON: return h.SoundOn();
    default: return false;  // the key arrays read as scalars, @IsDebug
  }
}

std::string TParamSystem::ReadStr() const {
  TScriptHost& h = ScriptHost();
  switch (number_) {
    case vSender: return h.Sender();
    case vFonts: return FontList(false);
    case vFixedFonts: return FontList(true);
    case vCursor: return table_ ? table_->Globals().cursor : std::string();
    case vSelStr: return table_ ? table_->Globals().selStr : std::string();
    case vTitle: return h.Title();
    case vActiveCompo: return h.ActiveComponent();
    case vMidiPort: return h.MidiPort();
    case vMidiPorts: return ReadStrAt(0);
    default: return {};  // @ParamStr as a scalar
  }
}

bool TParamSystem::ReadFlagAt(int32_t i) const {
  if (i < 0 || i >= kKeyCount) return false;
  return ScriptHost().GetKey(KeyKind(number_), i);
}

std::string TParamSystem::ReadStrAt(int32_t i) const {
  TScriptHost& h = ScriptHost();
  if (number_ == vParamStr) return i >= 0 && i < h.ArgCount() ? h.ArgText(i) : std::string();
  if (number_ == vMidiPorts) {
    std::vector<std::string> ports = h.MidiPorts();
    return i >= 0 && static_cast<size_t>(i) < ports.size() ? ports[static_cast<size_t>(i)] : std::string();
  }
  return i == 0 ? ReadStr() : std::string();
}

void TParamSystem::WriteInt(int32_t v) {
  TScriptHost& h = ScriptHost();
  switch (number_) {
    case vMouseX: h.MoveMouse({v, h.MousePos().y}); break;
    case vMouseY: h.MoveMouse({h.MousePos().x, v}); break;
    case vTextDelay:
      if (table_) table_->Globals().textDelay = v;
      break;
    case vSelIndex:
      if (table_) table_->Globals().selIndex = v;
      break;
    case vDisplayModeIndex: h.SetDisplayModeIndex(v); break;
    case vHistoryMaxCount: h.SetHistoryMaxCount(std::string(), v); break;
    default: break;
  }
}

void TParamSystem::WriteFlag(bool v) {
  TScriptHost& h = ScriptHost();
  using M = TScriptHost::MouseFlag;
  switch (number_) {
    case vLClick: h.SetMouseFlag(M::LClick, v); break;
    case vRClick: h.SetMouseFlag(M::RClick, v); break;
    case vFullScr: h.SetFullScreen(v); break;
    case vCGDither: h.SetDither(v); break;
    case vSoundON: h.SetSoundOn(v); break;
    default: break;
  }
}

void TParamSystem::WriteStr(const std::string& v) {
  TScriptHost& h = ScriptHost();
  switch (number_) {
    case vCursor:
      if (table_) table_->Globals().cursor = v;
      break;
    case vSelStr:
      if (table_) table_->Globals().selStr = v;
      break;
    case vActiveCompo: h.SetActiveComponent(v); break;
    case vMidiPort: h.SetMidiPort(v); break;
    default: break;
  }
}

// ---- Value operations

uint8_t TParamSystem::ParamType() const {
  if (Forwards()) return Forward<uint8_t>(PT_INT, [](TCustomParam& t) { return t.ParamType(); });
  return kSysVars[static_cast<size_t>(number_)].type;
}

int32_t TParamSystem::Count() const {
  if (Forwards()) return Forward<int32_t>(1, [](TCustomParam& t) { return t.Count(); });
  switch (number_) {
    case vKeyPush:
    case vKeyClick:
    case vKeyRepeat: return kKeyCount;
    case vParamStr: return std::max(0, ScriptHost().ArgCount());
    case vMidiPorts: return static_cast<int32_t>(ScriptHost().MidiPorts().size());
    default: return 1;
  }
}

void TParamSystem::SetCount(int32_t n) {
  if (Forwards()) Forward<int>(0, [n](TCustomParam& t) { return t.SetCount(n), 0; });
}

int32_t TParamSystem::DimCount() const {
  if (Forwards()) return Forward<int32_t>(1, [](TCustomParam& t) { return t.DimCount(); });
  return 1;
}

int32_t TParamSystem::Dim(int32_t k) const {
  if (Forwards()) return Forward<int32_t>(1, [k](TCustomParam& t) { return t.Dim(k); });
  return k == 0 ? Count() : 1;
}

bool TParamSystem::AsBool() const {
  if (Forwards()) return Forward<bool>(false, [](TCustomParam& t) { return t.AsBool(); });
  switch (ParamType()) {
    case PT_INT: return ReadInt() != 0;
    case PT_FLOAT: return ReadFloat() != 0;
    case PT_BOOL: return ReadFlag();
    default: return !ReadStr().empty();
  }
}

Real TParamSystem::AsFloat() const {
  if (Forwards()) return Forward<Real>(0, [](TCustomParam& t) { return t.AsFloat(); });
  switch (ParamType()) {
    case PT_INT: return ReadInt();
    case PT_FLOAT: return ReadFloat();
    case PT_BOOL: return ReadFlag() ? 1 : 0;
    default: return numtext::IntOrZero(ReadStr());
  }
}

int32_t TParamSystem::AsInt() const {
  if (Forwards()) return Forward<int32_t>(0, [](TCustomParam& t) { return t.AsInt(); });
  switch (ParamType()) {
    case PT_INT: return ReadInt();
    case PT_FLOAT: return TruncInt(ReadFloat());
    case PT_BOOL: return ReadFlag() ? 1 : 0;
    default: return numtext::IntOrZero(ReadStr());
  }
}

std::string TParamSystem::AsStr() const {
  if (Forwards()) return Forward<std::string>({}, [](TCustomParam& t) { return t.AsStr(); });
  switch (ParamType()) {
    case PT_INT: return numtext::IntToText(ReadInt());
    case PT_FLOAT: return numtext::FloatToText(ReadFloat());
    case PT_BOOL: return ReadFlag() ? "TRUE" : "FALSE";
    default: return ReadStr();
  }
}

void TParamSystem::SetInt(int32_t n) {
  if (Forwards()) return (void)Forward<int>(0, [n](TCustomParam& t) { return t.SetInt(n), 0; });
  switch (ParamType()) {
    case PT_INT: WriteInt(n); break;
    case PT_BOOL: WriteFlag(n != 0); break;
    case PT_STR: WriteStr(numtext::IntToText(n)); break;
    default: break;  // no float variable takes writes
  }
}

void TParamSystem::SetFloat(Real x) {
  if (Forwards()) return (void)Forward<int>(0, [x](TCustomParam& t) { return t.SetFloat(x), 0; });
  switch (ParamType()) {
    case PT_INT: WriteInt(TruncInt(x)); break;
    case PT_BOOL: WriteFlag(x != 0); break;
    case PT_STR: WriteStr(numtext::FloatToText(x)); break;
    default: break;
  }
}

void TParamSystem::SetBool(bool b) {
  if (Forwards()) return (void)Forward<int>(0, [b](TCustomParam& t) { return t.SetBool(b), 0; });
  switch (ParamType()) {
    case PT_INT: WriteInt(b ? 1 : 0); break;
    case PT_BOOL: WriteFlag(b); break;
    case PT_STR: WriteStr(b ? "TRUE" : "FALSE"); break;
    default: break;
  }
}

void TParamSystem::SetStr(const std::string& s) {
  if (Forwards()) return (void)Forward<int>(0, [&s](TCustomParam& t) { return t.SetStr(s), 0; });
  switch (ParamType()) {
    case PT_INT:
      if (auto v = numtext::ParseInt(s)) WriteInt(*v);
      break;
    case PT_BOOL:
      if (auto v = numtext::ParseInt(s)) WriteFlag(*v != 0);
      break;
    case PT_STR: WriteStr(s); break;
    default: break;
  }
}

// Element access: the arrays read per element; the scalars have element 0 only.
int32_t TParamSystem::GetIntAt(int32_t i) const {
  if (Forwards()) return Forward<int32_t>(0, [i](TCustomParam& t) { return t.GetIntAt(i); });
  if (kSysVars[static_cast<size_t>(number_)].isArray) {
    return ParamType() == PT_BOOL ? (ReadFlagAt(i) ? 1 : 0) : numtext::IntOrZero(ReadStrAt(i));
  }
  if (i != 0) ThrowBadIndex(i);
  return AsInt();
}

Real TParamSystem::GetFloatAt(int32_t i) const {
  if (Forwards()) return Forward<Real>(0, [i](TCustomParam& t) { return t.GetFloatAt(i); });
  if (kSysVars[static_cast<size_t>(number_)].isArray) {
    return ParamType() == PT_BOOL ? (ReadFlagAt(i) ? 1 : 0) : numtext::IntOrZero(ReadStrAt(i));
  }
  if (i != 0) ThrowBadIndex(i);
  return AsFloat();
}

bool TParamSystem::GetBoolAt(int32_t i) const {
  if (Forwards()) return Forward<bool>(false, [i](TCustomParam& t) { return t.GetBoolAt(i); });
  if (kSysVars[static_cast<size_t>(number_)].isArray) {
    return ParamType() == PT_BOOL ? ReadFlagAt(i) : TextFlag(ReadStrAt(i));
  }
  if (i != 0) ThrowBadIndex(i);
  // An element of a string variable read as a flag follows the text rule ("TRUE", "FALSE",
  // integer text), not the scalar one (non-empty).
  return ParamType() == PT_STR ? TextFlag(ReadStr()) : AsBool();
}

std::string TParamSystem::GetStrAt(int32_t i) const {
  if (Forwards()) return Forward<std::string>({}, [i](TCustomParam& t) { return t.GetStrAt(i); });
  if (kSysVars[static_cast<size_t>(number_)].isArray) {
    if (ParamType() == PT_BOOL) return ReadFlagAt(i) ? "TRUE" : "FALSE";
    return ReadStrAt(i);
  }
  if (i != 0) ThrowBadIndex(i);
  return AsStr();
}

void TParamSystem::SetIntAt(int32_t i, int32_t n) {
  if (Forwards()) return (void)Forward<int>(0, [i, n](TCustomParam& t) { return t.SetIntAt(i, n), 0; });
  if (WritableAt(i)) SetInt(n);
}
void TParamSystem::SetFloatAt(int32_t i, Real x) {
  if (Forwards()) return (void)Forward<int>(0, [i, x](TCustomParam& t) { return t.SetFloatAt(i, x), 0; });
  if (WritableAt(i)) SetFloat(x);
}
void TParamSystem::SetBoolAt(int32_t i, bool b) {
  if (Forwards()) return (void)Forward<int>(0, [i, b](TCustomParam& t) { return t.SetBoolAt(i, b), 0; });
  if (WritableAt(i)) SetBool(b);
}
void TParamSystem::SetStrAt(int32_t i, const std::string& s) {
  if (Forwards()) return (void)Forward<int>(0, [i, &s](TCustomParam& t) { return t.SetStrAt(i, s), 0; });
  if (WritableAt(i)) SetStr(s);
}

// A write into element i: a scalar has element 0 only; the array variables (keys, arguments,
// ports) are read-only, so their writes end here.
bool TParamSystem::WritableAt(int32_t i) const {
  if (kSysVars[static_cast<size_t>(number_)].isArray) return false;
  if (i != 0) ThrowBadIndex(i);
  return true;
}

void TParamSystem::AssignAll(const TCustomParam& other) {
  if (Forwards()) return (void)Forward<int>(0, [&other](TCustomParam& t) { return t.AssignAll(other), 0; });
  switch (other.ParamType()) {
    case PT_FLOAT: SetFloat(other.AsFloat()); break;
    case PT_BOOL: SetBool(other.AsBool()); break;
    case PT_STR: SetStr(other.AsStr()); break;
    default: SetInt(other.AsInt()); break;
  }
}

void TParamSystem::SetDims(const std::vector<int32_t>& dims) {
  if (Forwards()) Forward<int>(0, [&dims](TCustomParam& t) { return t.SetDims(dims), 0; });
}
void TParamSystem::FillInt(int32_t n) {
  if (Forwards()) Forward<int>(0, [n](TCustomParam& t) { return t.FillInt(n), 0; });
}
void TParamSystem::FillFloat(Real x) {
  if (Forwards()) Forward<int>(0, [x](TCustomParam& t) { return t.FillFloat(x), 0; });
}
void TParamSystem::FillBool(bool b) {
  if (Forwards()) Forward<int>(0, [b](TCustomParam& t) { return t.FillBool(b), 0; });
}
void TParamSystem::FillStr(const std::string& s) {
  if (Forwards()) Forward<int>(0, [&s](TCustomParam& t) { return t.FillStr(s), 0; });
}
void TParamSystem::CopyValue(const TCustomParam& other) {
  if (Forwards()) Forward<int>(0, [&other](TCustomParam& t) { return t.CopyValue(other), 0; });
}
void TParamSystem::MakeScalar() {
  if (Forwards()) Forward<int>(0, [](TCustomParam& t) { return t.MakeScalar(), 0; });
}
void TParamSystem::Unique() {
  if (Forwards()) Forward<int>(0, [](TCustomParam& t) { return t.Unique(), 0; });
}
void TParamSystem::RemoveValue(const TCustomParam* v) {
  if (Forwards()) Forward<int>(0, [v](TCustomParam& t) { return t.RemoveValue(v), 0; });
}
int32_t TParamSystem::FindStr(std::string_view s, bool caseSensitive, bool partial) const {
  if (Forwards()) {
    return Forward<int32_t>(-1, [&](TCustomParam& t) { return t.FindStr(s, caseSensitive, partial); });
  }
  return TCustomParam::FindStr(s, caseSensitive, partial);
}

const TCustomParam* TParamSystem::Resolve() const {
  if (Forwards()) return Forward<const TCustomParam*>(nullptr, [](TCustomParam& t) { return t.Resolve(); });
  return this;
}

void AddSystemVars(TParamCollection& table) {
  for (int n = 0; n < kSysVarCount; ++n) {
    table.AddSystem(std::string(kSysVars[static_cast<size_t>(n)].name), std::make_unique<TParamSystem>(n, &table));
  }
}

void InstallSystemVars() { TParamCollection::SetSystemFactory(&AddSystemVars); }

}  // namespace qubo
