#include "script/params.h"

#include <cmath>
#include <set>
#include <unordered_set>

#include "script/arith.h"
#include "script/messages.h"
#include "script/paramvar.h"
#include "support/errors.h"
#include "support/extended.h"
#include "support/sjis.h"
#include "support/textutils.h"

namespace qubo {

void ThrowBadIndex(int32_t i) { throw QuboError("[" + numtext::IntToText(i) + "]" + msg::kMsgBadIndexTail); }

void ThrowBadDims(const std::vector<int64_t>& entries) {
  std::string list;
  for (size_t k = 0; k < entries.size(); ++k) {
    if (k) list.push_back(',');
    list.append(std::to_string(entries[k]));
  }
  throw QuboError(msg::kMsgBadDimsHead + list + msg::kMsgBadDimsTail);
}

// ---- TCustomParam ----

int32_t TCustomParam::DimCount() const { return dims_.empty() ? 1 : static_cast<int32_t>(dims_.size()); }

int32_t TCustomParam::Dim(int32_t k) const {
  return k >= 0 && static_cast<size_t>(k) < dims_.size() ? dims_[static_cast<size_t>(k)] : 1;
}

void TCustomParam::AssignAll(const TCustomParam& other) {
  const TCustomParam* src = other.Resolve();
  dims_ = src ? src->DimList() : std::vector<int32_t>{};
}

void TCustomParam::SetDims(const std::vector<int32_t>& dims) {
  int64_t product = 1;
  bool bad = false;
  for (int32_t d : dims) {
    if (d <= 0) {
      bad = true;
    } else if (!bad) {
      product *= d;
      if (product > kMaxParamElements) bad = true;
    }
  }
  if (bad) ThrowBadDims(std::vector<int64_t>(dims.begin(), dims.end()));
  dims_ = dims;
  SetCount(static_cast<int32_t>(product));
}

void TCustomParam::CopyValue(const TCustomParam& other) {
  SetCount(other.Count());
  std::vector<int32_t> dims;
  for (int32_t k = 0, n = other.DimCount(); k < n; ++k) dims.push_back(other.Dim(k));
  dims_ = std::move(dims);
}

int32_t TCustomParam::FindStr(std::string_view s, bool caseSensitive, bool partial) const {
  const std::string needle = caseSensitive ? std::string(s) : sjis::AsciiLower(s);
  for (int32_t i = 0, n = Count(); i < n; ++i) {
    const std::string e = GetStrAt(i);
    if (partial) {
      if (needle.empty() || JPos(needle, caseSensitive ? e : sjis::AsciiLower(e)) > 0) return i;
    } else if (caseSensitive ? e == needle : sjis::EqualsNoCase(e, needle)) {
      return i;
    }
  }
  return -1;
}

void TCustomParam::SaveDims(RecordWriter& w) const {
  w.I32(static_cast<int32_t>(dims_.size()));
  for (int32_t d : dims_) w.I32(d);
}

std::vector<int32_t> TCustomParam::LoadDims(RecordReader& r) {
  const int32_t n = r.Count(4);
  std::vector<int32_t> dims(static_cast<size_t>(n));
  int64_t product = 1;
  for (int32_t& d : dims) {
    d = r.I32();
    // A stored shape is one SetDims accepted; anything else would make subscripts meaningless.
    if (d <= 0) r.Fail();
    product *= d;
    if (product > kMaxParamElements) r.Fail();
  }
  return dims;
}

void TCustomParam::SaveToStream(RecordWriter& w) const { SaveDims(w); }
void TCustomParam::LoadFromStream(RecordReader& r) { dims_ = LoadDims(r); }

// ---- element conversions ----

int32_t ElementTraits<int32_t>::ToInt(const int32_t& v) { return v; }
Real ElementTraits<int32_t>::ToReal(const int32_t& v) { return v; }
bool ElementTraits<int32_t>::ToBool(const int32_t& v) { return v != 0; }
std::string ElementTraits<int32_t>::ToStr(const int32_t& v) { return numtext::IntToText(v); }
int32_t ElementTraits<int32_t>::FromInt(int32_t n) { return n; }
int32_t ElementTraits<int32_t>::FromReal(Real x) { return arith::RealToInt(x); }
int32_t ElementTraits<int32_t>::FromBool(bool b) { return b ? 1 : 0; }
int32_t ElementTraits<int32_t>::FromStr(const std::string& s) { return numtext::IntOrZero(s); }

int32_t ElementTraits<Real>::ToInt(const Real& v) { return arith::RealToInt(v); }
Real ElementTraits<Real>::ToReal(const Real& v) { return v; }
bool ElementTraits<Real>::ToBool(const Real& v) { return v != 0; }
std::string ElementTraits<Real>::ToStr(const Real& v) { return numtext::FloatToText(v); }
Real ElementTraits<Real>::FromInt(int32_t n) { return n; }
Real ElementTraits<Real>::FromReal(Real x) { return x; }
Real ElementTraits<Real>::FromBool(bool b) { return b ? 1 : 0; }
Real ElementTraits<Real>::FromStr(const std::string& s) { return numtext::FloatOrZero(s); }

int32_t ElementTraits<uint8_t>::ToInt(const uint8_t& v) { return v ? 1 : 0; }
Real ElementTraits<uint8_t>::ToReal(const uint8_t& v) { return v ? 1 : 0; }
bool ElementTraits<uint8_t>::ToBool(const uint8_t& v) { return v != 0; }
std::string ElementTraits<uint8_t>::ToStr(const uint8_t& v) { return v ? "TRUE" : "FALSE"; }
uint8_t ElementTraits<uint8_t>::FromInt(int32_t n) { return n != 0; }
uint8_t ElementTraits<uint8_t>::FromReal(Real x) { return x != 0; }
uint8_t ElementTraits<uint8_t>::FromBool(bool b) { return b; }
uint8_t ElementTraits<uint8_t>::FromStr(const std::string& s) { return s == "TRUE"; }

int32_t ElementTraits<std::string>::ToInt(const std::string& v) { return numtext::IntOrZero(v); }
Real ElementTraits<std::string>::ToReal(const std::string& v) { return numtext::FloatOrZero(v); }
bool ElementTraits<std::string>::ToBool(const std::string& v) { return v == "TRUE"; }
std::string ElementTraits<std::string>::ToStr(const std::string& v) { return v; }
std::string ElementTraits<std::string>::FromInt(int32_t n) { return numtext::IntToText(n); }
std::string ElementTraits<std::string>::FromReal(Real x) { return numtext::FloatToText(x); }
std::string ElementTraits<std::string>::FromBool(bool b) { return b ? "TRUE" : "FALSE"; }
std::string ElementTraits<std::string>::FromStr(const std::string& s) { return s; }

bool TParamStr::AsBool() const {
  if (elements_.empty()) return false;
  const std::string& s = elements_[0];
  if (s == "TRUE") return true;
  if (s == "FALSE") return false;
  return numtext::IntOrZero(s) != 0;
}

// ---- TParamArray ----

namespace {

// Conversion of an element of src (any class) to T.
template <class T>
T ElementOf(const TCustomParam& src, int32_t i) {
  if constexpr (std::is_same_v<T, int32_t>) return src.GetIntAt(i);
  if constexpr (std::is_same_v<T, Real>) return src.GetFloatAt(i);
  if constexpr (std::is_same_v<T, uint8_t>) return src.GetBoolAt(i);
  if constexpr (std::is_same_v<T, std::string>) return src.GetStrAt(i);
}

// v taken as this class's type (the zero value without v).
template <class T>
T ScalarOf(const TCustomParam* v) {
  if constexpr (std::is_same_v<T, int32_t>) return v ? v->AsInt() : 0;
  if constexpr (std::is_same_v<T, Real>) return v ? v->AsFloat() : 0;
  if constexpr (std::is_same_v<T, uint8_t>) return v ? v->AsBool() : false;
  if constexpr (std::is_same_v<T, std::string>) return v ? v->AsStr() : std::string();
}

template <class T>
void WriteElement(RecordWriter& w, const T& v) {
  if constexpr (std::is_same_v<T, int32_t>) w.I32(v);
  if constexpr (std::is_same_v<T, Real>) w.ExtendedRaw(LongDoubleToExtended(v));
  if constexpr (std::is_same_v<T, uint8_t>) w.U8(v ? 1 : 0);
  if constexpr (std::is_same_v<T, std::string>) w.String(v);
}

template <class T>
T ReadElement(RecordReader& r) {
  if constexpr (std::is_same_v<T, int32_t>) return r.I32();
  if constexpr (std::is_same_v<T, Real>) return ExtendedToLongDouble(r.ExtendedRaw());
  if constexpr (std::is_same_v<T, uint8_t>) return r.U8() != 0;
  if constexpr (std::is_same_v<T, std::string>) return r.String();
}

}  // namespace

template <class T>
const T& TParamArray<T>::At(int32_t i) const {
  if (i < 0 || static_cast<size_t>(i) >= elements_.size()) ThrowBadIndex(i);
  return elements_[static_cast<size_t>(i)];
}

template <class T>
void TParamArray<T>::Put(int32_t i, T v) {
  if (i < 0 || static_cast<size_t>(i) >= elements_.size()) ThrowBadIndex(i);
  elements_[static_cast<size_t>(i)] = std::move(v);
}

template <class T>
void TParamArray<T>::SetScalar(T v) {
  // The conversion has run already, so a failing one leaves the value as it was. No element
  // class overrides MakeScalar, so it is called directly.
  TParamArray<T>::MakeScalar();
  if (elements_.empty()) elements_.resize(1);
  elements_[0] = std::move(v);
}

template <class T>
void TParamArray<T>::SetCount(int32_t n) {
  if (n < 0 || n > kMaxParamElements) ThrowBadDims({n});
  elements_.resize(static_cast<size_t>(n));
}

template <class T>
void TParamArray<T>::MakeScalar() {
  if (dims_.empty()) return;
  dims_.clear();
  elements_.resize(1);
}

template <class T>
void TParamArray<T>::AssignAll(const TCustomParam& other) {
  const TCustomParam* src = other.Resolve();
  if (src == this) return;
  if (!src) {
    dims_.clear();
    elements_.assign(1, T{});
    return;
  }
  dims_ = src->DimList();
  if (const auto* same = dynamic_cast<const TParamArray<T>*>(src)) {
    elements_ = same->elements_;
    return;
  }
  const int32_t n = src->Count();
  std::vector<T> out;
  out.reserve(static_cast<size_t>(n > 0 ? n : 0));
  for (int32_t i = 0; i < n; ++i) out.push_back(ElementOf<T>(*src, i));
  elements_ = std::move(out);
}

template <class T>
void TParamArray<T>::FillInt(int32_t n) {
  if constexpr (std::is_same_v<T, int32_t>) std::fill(elements_.begin(), elements_.end(), n);
}
template <class T>
void TParamArray<T>::FillFloat(Real x) {
  if constexpr (std::is_same_v<T, Real>) std::fill(elements_.begin(), elements_.end(), x);
}
template <class T>
void TParamArray<T>::FillBool(bool b) {
  if constexpr (std::is_same_v<T, uint8_t>) std::fill(elements_.begin(), elements_.end(), b ? 1 : 0);
}
template <class T>
void TParamArray<T>::FillStr(const std::string& s) {
  if constexpr (std::is_same_v<T, std::string>) std::fill(elements_.begin(), elements_.end(), s);
}

template <class T>
void TParamArray<T>::CopyValue(const TCustomParam& other) {
  const TCustomParam* src = other.Resolve();
  const auto* same = src ? dynamic_cast<const TParamArray<T>*>(src) : nullptr;
  if (!same) throw QuboError(msg::kMsgCopyType);
  std::vector<int32_t> dims;
  for (int32_t k = 0, n = same->DimCount(); k < n; ++k) dims.push_back(same->Dim(k));
  if (same != this) elements_ = same->elements_;
  dims_ = std::move(dims);
}

template <class T>
void TParamArray<T>::SaveToStream(RecordWriter& w) const {
  SaveDims(w);
  w.I32(Count());
  for (const T& v : elements_) WriteElement(w, v);
}

template <class T>
void TParamArray<T>::LoadFromStream(RecordReader& r) {
  std::vector<int32_t> dims = LoadDims(r);
  const int32_t n = r.Count(ElementTraits<T>::kStoredSize);
  if (n > kMaxParamElements) r.Fail();
  std::vector<T> elements;
  elements.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) elements.push_back(ReadElement<T>(r));
  dims_ = std::move(dims);
  elements_ = std::move(elements);
}

template <class T>
void TParamArray<T>::Unique() {
  std::vector<T> out;
  if constexpr (std::is_same_v<T, Real>) {
    std::set<Real> seen;  // NaN equals nothing, so every NaN stays
    for (const Real& v : elements_) {
      if (std::isnan(v) || seen.insert(v).second) out.push_back(v);
    }
  } else {
    std::unordered_set<T> seen;
    for (const T& v : elements_) {
      if (seen.insert(v).second) out.push_back(v);
    }
  }
  elements_ = std::move(out);
}

template <class T>
void TParamArray<T>::RemoveValue(const TCustomParam* v) {
  const T target = ScalarOf<T>(v);
  std::erase_if(elements_, [&](const T& e) { return e == target; });
}

template class TParamArray<int32_t>;
template class TParamArray<Real>;
template class TParamArray<uint8_t>;
template class TParamArray<std::string>;

std::unique_ptr<TCustomParam> NewParam(uint8_t type, TParamCollection* table) {
  switch (type) {
    case PT_NONE: return std::make_unique<TParamVar>(table);
    case PT_INT: return std::make_unique<TParamInt>();
    case PT_FLOAT: return std::make_unique<TParamFloat>();
    case PT_BOOL: return std::make_unique<TParamFlag>();
    case PT_STR: return std::make_unique<TParamStr>();
    default: return nullptr;
  }
}

}  // namespace qubo
