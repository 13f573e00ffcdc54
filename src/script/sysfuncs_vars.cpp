// The variable and array functions: sizes and shapes, fills and copies, joins and splits,
// search and sort, appends, inserts and deletes of elements, the temp target, Calc, the
// pushed variable sets and the removal of a call frame.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "script/expreval.h"
#include "script/paramcollection.h"
#include "script/scripthost.h"
#include "script/sysfuncfamilies.h"
#include "script/sysfuncman.h"
#include "support/errors.h"
#include "support/sjis.h"

namespace qubo {

namespace {

using namespace sysfunc;

// A free-standing copy of a value's elements and dimension list (so that a function may
// rewrite a variable from its own elements).
std::unique_ptr<TCustomParam> Snapshot(const TCustomParam& v) {
  const TCustomParam* src = v.Resolve();
  if (src == nullptr) return nullptr;
  std::unique_ptr<TCustomParam> copy = NewParam(src->StoredType());
  if (copy) copy->AssignAll(*src);
  return copy;
}

// Element si of src into element di of dst, converted to dst's type.
void CopyElement(TCustomParam& dst, int32_t di, const TCustomParam& src, int32_t si) {
  switch (dst.ParamType()) {
    case PT_INT: dst.SetIntAt(di, src.GetIntAt(si)); break;
    case PT_FLOAT: dst.SetFloatAt(di, src.GetFloatAt(si)); break;
    case PT_BOOL: dst.SetBoolAt(di, src.GetBoolAt(si)); break;
    case PT_STR: dst.SetStrAt(di, src.GetStrAt(si)); break;
    default: break;
  }
}

// Replaces the elements of var by the pieces [from, to) of the given sources, in order, as a
// one-dimensional array of the new count (an empty value for none).
struct Piece {
  const TCustomParam* src;
  int32_t from, to;
};

void Rebuild(TCustomParam& var, const std::vector<Piece>& pieces) {
  int64_t n = 0;
  for (const Piece& p : pieces) n += p.to - p.from;
  std::unique_ptr<TCustomParam> fresh = NewParam(var.ParamType());
  if (!fresh) return;
  if (n == 0) {
    var.MakeScalar();
    var.SetCount(0);
    return;
  }
  if (n > kMaxParamElements) ThrowBadDims({n});
  fresh->SetDims({static_cast<int32_t>(n)});
  int32_t at = 0;
  for (const Piece& p : pieces) {
    for (int32_t i = p.from; i < p.to; ++i) CopyElement(*fresh, at++, *p.src, i);
  }
  var.CopyValue(*fresh);
}

// Parts of text split into lines at CR, LF or CR LF.
std::vector<std::string> SplitLines(const std::string& s) {
  std::vector<std::string> parts;
  size_t start = 0, i = 0;
  while (i < s.size()) {
    if (s[i] == '\r' || s[i] == '\n') {
      parts.push_back(s.substr(start, i - start));
      i += (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      i = sjis::Next(s, i);
    }
  }
  if (start < s.size()) parts.push_back(s.substr(start));
  return parts;
}

// Parts of text split at every character that is one of the characters of seps.
std::vector<std::string> SplitChars(const std::string& s, const std::string& seps) {
  std::vector<std::string> chars;
  for (size_t i = 0; i < seps.size(); i = sjis::Next(seps, i)) chars.push_back(seps.substr(i, sjis::CharLen(seps, i)));
  std::vector<std::string> parts;
  size_t start = 0, i = 0;
  while (i < s.size()) {
    const size_t n = sjis::CharLen(s, i);
    const std::string_view ch(s.data() + i, n);
    if (std::find(chars.begin(), chars.end(), ch) != chars.end()) {
      parts.push_back(s.substr(start, i - start));
      start = i + n;
    }
    i += n;
  }
  if (start < s.size()) parts.push_back(s.substr(start));
  return parts;
}

// Total order of sort keys: NaN before every number, equal to itself.
bool FloatLess(Real a, Real b) {
  if (std::isnan(a)) return !std::isnan(b);
  if (std::isnan(b)) return false;
  return a < b;
}

void SortStr(TCustomParam& var, bool descending, bool asFloat) {
  const int32_t n = var.Count();
  if (n < 2) return;
  std::unique_ptr<TCustomParam> snap = Snapshot(var);
  if (!snap) return;
  std::vector<int32_t> order(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  if (asFloat) {
    std::vector<Real> keys(order.size());
    for (int32_t i = 0; i < n; ++i) keys[static_cast<size_t>(i)] = snap->GetFloatAt(i);
    std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
      const Real x = keys[static_cast<size_t>(a)], y = keys[static_cast<size_t>(b)];
      return descending ? FloatLess(y, x) : FloatLess(x, y);
    });
  } else {
    std::vector<std::string> keys(order.size());
    for (int32_t i = 0; i < n; ++i) keys[static_cast<size_t>(i)] = snap->GetStrAt(i);
    std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
      const int32_t r = CompareTextCase(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
      return descending ? r > 0 : r < 0;
    });
  }
  for (int32_t i = 0; i < n; ++i) CopyElement(var, i, *snap, order[static_cast<size_t>(i)]);
}

std::string Join(const TCustomParam& v, const std::string& sep) {
  std::string out;
  const int32_t n = v.Count();
  for (int32_t i = 0; i < n; ++i) {
    const std::string s = v.GetStrAt(i);
    CheckTextSize(uint64_t{out.size()} + s.size() + (i > 0 ? sep.size() : 0));
    if (i > 0) out += sep;
    out += s;
  }
  return out;
}

// Calc inside Calc: a text that runs itself would otherwise recurse until the stack is gone.
constexpr int kMaxCalcDepth = 64;
int calcDepth = 0;
// Calc:入れ子が深すぎます
constexpr const char* kMsgCalcDepth = "Calc:\x93\xFC\x82\xEA\x8Eq\x82\xAA\x90[\x82\xB7\x82\xAC\x82\xDC\x82\xB7";

bool Calc(TFuncCall& c, const std::string& text) {
  if (calcDepth >= kMaxCalcDepth) throw QuboError(kMsgCalcDepth);
  ++calcDepth;
  struct Leave {
    ~Leave() { --calcDepth; }
  } leave;
  return RunText(CallContext(c), text);
}

bool OneDimensional(const TCustomParam& v) { return v.DimCount() <= 1; }

// AddArray and InsertArray: the elements of src into var before position at.
int32_t InsertElements(TFuncCall& c, const TCustomParam& src, int32_t at) {
  TCustomParam* var = VarArg(c, 1);
  if (var == nullptr) return Arg(c, 1).Count();
  const int32_t n = var->Count();
  if (!OneDimensional(*var) || !OneDimensional(src)) return n;
  std::unique_ptr<TCustomParam> s = Snapshot(src);
  std::unique_ptr<TCustomParam> v = Snapshot(*var);
  if (!s || !v) return n;
  at = std::clamp(at, 0, n);
  Rebuild(*var, {{v.get(), 0, at}, {s.get(), 0, s->Count()}, {v.get(), at, n}});
  return var->Count();
}

// DeleteStack: frame n's variables (local ID n + 1) and the frame itself. The running
// frame's locals are in use by the expression that calls this and are never freed here.
bool DeleteStack(TFuncCall& c, int32_t n) {
  TScriptHost& host = c.host;
  const int32_t frames = host.FrameCount();
  if (n < 0 || n >= frames || host.IsRunningFrame(n)) return false;
  c.vars.DeleteLocal(n + 1);
  if (!host.RemoveFrame(n)) return false;
  c.vars.LowerLocalIdsAbove(n + 1);
  c.vars.SetCurrentLocalId(host.FrameCount());
  return true;
}

}  // namespace

bool CallVarFunction(int index, TFuncCall& c) {
  TFuncResult& r = c.result;
  switch (index) {
    case 4: {  // GetArraySize
      const TCustomParam& v = RequireVar(c, 1, "GetArraySize");
      if (!HasArg(c, 2)) {
        r.SetInt(v.Count());
      } else {
        // 0 names the last dimension; a number beyond the list answers 1, as Dim does.
        const int64_t k = int64_t{v.DimCount()} - 1 - Arg(c, 2).AsInt();
        r.SetInt(k < 0 || k >= v.DimCount() ? 1 : v.Dim(static_cast<int32_t>(k)));
      }
      return true;
    }
    case 21: {  // SetArray
      TCustomParam& v = RequireVar(c, 1, "SetArray");
      std::vector<int32_t> dims;
      for (int k = 2; k <= c.argCount; ++k) dims.push_back(Arg(c, k).AsInt());
      v.SetDims(dims);
      return true;
    }
    case 22: {  // FillMem
      TCustomParam& v = RequireVar(c, 1, "FillMem");
      const TCustomParam& a = Arg(c, 2);
      switch (v.ParamType()) {
        case PT_INT: v.FillInt(a.AsInt()); break;
        case PT_FLOAT: v.FillFloat(a.AsFloat()); break;
        case PT_BOOL: v.FillBool(a.AsBool()); break;
        case PT_STR: v.FillStr(a.AsStr()); break;
        default: break;
      }
      return true;
    }
    case 23: {  // CopyMem
      TCustomParam& v = RequireVar(c, 1, "CopyMem");
      const TCustomParam& src = RequireVar(c, 2, "CopyMem");
      v.CopyValue(src);
      return true;
    }
    case 28:  // ArrayToString
      r.SetStr(Join(Arg(c, 1), StrArg(c, 2, "\r\n")));
      return true;
    case 29: {  // StringToArray
      const std::string text = Arg(c, 1).AsStr();
      const std::string seps = StrArg(c, 3, "\r\n");
      TCustomParam* v = VarArg(c, 2);
      if (v == nullptr) return true;
      const std::vector<std::string> parts = seps == "\r\n" ? SplitLines(text) : SplitChars(text, seps);
      if (parts.empty()) {
        // A reference writes one element: make the whole variable a scalar first.
        v->MakeScalar();
        v->SetStr(std::string());
      } else {
        if (parts.size() > static_cast<size_t>(kMaxParamElements)) ThrowBadDims({static_cast<int64_t>(parts.size())});
        v->SetDims({static_cast<int32_t>(parts.size())});
        for (size_t k = 0; k < parts.size(); ++k) v->SetStrAt(static_cast<int32_t>(k), parts[k]);
      }
      return true;
    }
    case 30:  // IndexOfStr
      r.SetInt(Arg(c, 1).FindStr(Arg(c, 2).AsStr(), BoolArg(c, 3, true), BoolArg(c, 4, false)));
      return true;
    case 31:  // SortStr
      if (TCustomParam* v = VarArg(c, 1)) SortStr(*v, BoolArg(c, 2), BoolArg(c, 3));
      return true;
    case 50:  // VarExists
      r.SetBool(c.vars.FindVar(Arg(c, 1).AsStr()) != nullptr);
      return true;
    case 66:  // AddArray
      r.SetInt(InsertElements(c, Arg(c, 2), INT32_MAX));
      return true;
    case 67:  // InsertArray
      r.SetInt(InsertElements(c, Arg(c, 3), Arg(c, 2).AsInt()));
      return true;
    case 68: {  // DeleteArray
      TCustomParam* v = VarArg(c, 1);
      if (v == nullptr) {
        r.SetInt(Arg(c, 1).Count());
        return true;
      }
      const int32_t n = v->Count();
      if (OneDimensional(*v) && n > 0) {
        const int32_t at = std::clamp(Arg(c, 2).AsInt(), 0, n - 1);
        const int32_t count = std::min(Arg(c, 3).AsInt(), n - at);
        if (count > 0) {
          std::unique_ptr<TCustomParam> snap = Snapshot(*v);
          if (snap) Rebuild(*v, {{snap.get(), 0, at}, {snap.get(), at + count, n}});
        }
      }
      r.SetInt(v->Count());
      return true;
    }
    case 70: {  // CopyArray
      TCustomParam* v = VarArg(c, 1);
      std::unique_ptr<TCustomParam> src = Snapshot(Arg(c, 2));
      if (v != nullptr && src) v->AssignAll(*src);
      r.SetBool(v != nullptr && src != nullptr);
      return true;
    }
    case 84: {  // AssignTemp
      const std::string name = Arg(c, 1).AsStr();
      const bool found = c.vars.FindVar(name) != nullptr;
      if (found) c.vars.Globals().tempTarget = name;
      r.SetBool(found);
      return true;
    }
    case 130:  // GetVarType
      r.SetInt(Arg(c, 1).ParamType());
      return true;
    case 136:  // Calc
      if (Calc(c, Arg(c, 1).AsStr())) r.SetStr("TRUE");
      return true;
    case 155: {  // PushVar
      std::vector<std::string> names;
      for (int k = 1; k <= c.argCount; ++k) names.push_back(Arg(c, k).AsStr());
      c.vars.PushVars(names);
      r.SetBool(true);
      return true;
    }
    case 156:  // PopVar
      c.vars.PopVars();
      r.SetBool(true);
      return true;
    case 157:  // DeleteStack
      r.SetBool(DeleteStack(c, Arg(c, 1).AsInt()));
      return true;
    case 164: {  // UniqueArray
      TCustomParam* v = VarArg(c, 1);
      if (v != nullptr && OneDimensional(*v)) v->Unique();
      r.SetInt(v != nullptr ? v->Count() : Arg(c, 1).Count());
      return true;
    }
    case 165: {  // TrimArray
      TCustomParam* v = VarArg(c, 1);
      if (v != nullptr && OneDimensional(*v)) v->RemoveValue(HasArg(c, 2) ? &Arg(c, 2) : nullptr);
      r.SetInt(v != nullptr ? v->Count() : Arg(c, 1).Count());
      return true;
    }
    default: return false;
  }
}

}  // namespace qubo
