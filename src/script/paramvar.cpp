#include "script/paramvar.h"

namespace qubo {

template <class R, class F>
R TParamVar::Forward(R none, F f) const {
  TParamCollectionItem* t = target_.Get();
  if (t == nullptr || busy_) return none;
  busy_ = true;
  struct Release {
    bool& flag;
    ~Release() { flag = false; }
  } release{busy_};
  return f(t->Value());
}

int32_t TParamVar::Count() const {
  return Forward(0, [](TCustomParam& v) { return v.Count(); });
}
void TParamVar::SetCount(int32_t n) {
  Forward(0, [&](TCustomParam& v) { return v.SetCount(n), 0; });
}
uint8_t TParamVar::ParamType() const {
  return Forward(uint8_t{PT_NONE}, [](TCustomParam& v) { return v.ParamType(); });
}

bool TParamVar::AsBool() const {
  return Forward(false, [&](TCustomParam& v) { return v.GetBoolAt(element_); });
}
Real TParamVar::AsFloat() const {
  return Forward(Real{0}, [&](TCustomParam& v) { return v.GetFloatAt(element_); });
}
int32_t TParamVar::AsInt() const {
  return Forward(0, [&](TCustomParam& v) { return v.GetIntAt(element_); });
}
std::string TParamVar::AsStr() const {
  return Forward(std::string(), [&](TCustomParam& v) { return v.GetStrAt(element_); });
}
void TParamVar::SetBool(bool b) {
  Forward(0, [&](TCustomParam& v) { return v.SetBoolAt(element_, b), 0; });
}
void TParamVar::SetFloat(Real x) {
  Forward(0, [&](TCustomParam& v) { return v.SetFloatAt(element_, x), 0; });
}
void TParamVar::SetInt(int32_t n) {
  Forward(0, [&](TCustomParam& v) { return v.SetIntAt(element_, n), 0; });
}
void TParamVar::SetStr(const std::string& s) {
  Forward(0, [&](TCustomParam& v) { return v.SetStrAt(element_, s), 0; });
}

int32_t TParamVar::GetIntAt(int32_t i) const {
  return Forward(0, [&](TCustomParam& v) { return v.GetIntAt(i); });
}
void TParamVar::SetIntAt(int32_t i, int32_t n) {
  Forward(0, [&](TCustomParam& v) { return v.SetIntAt(i, n), 0; });
}
Real TParamVar::GetFloatAt(int32_t i) const {
  return Forward(Real{0}, [&](TCustomParam& v) { return v.GetFloatAt(i); });
}
void TParamVar::SetFloatAt(int32_t i, Real x) {
  Forward(0, [&](TCustomParam& v) { return v.SetFloatAt(i, x), 0; });
}
bool TParamVar::GetBoolAt(int32_t i) const {
  return Forward(false, [&](TCustomParam& v) { return v.GetBoolAt(i); });
}
void TParamVar::SetBoolAt(int32_t i, bool b) {
  Forward(0, [&](TCustomParam& v) { return v.SetBoolAt(i, b), 0; });
}
std::string TParamVar::GetStrAt(int32_t i) const {
  return Forward(std::string(), [&](TCustomParam& v) { return v.GetStrAt(i); });
}
void TParamVar::SetStrAt(int32_t i, const std::string& s) {
  Forward(0, [&](TCustomParam& v) { return v.SetStrAt(i, s), 0; });
}

int32_t TParamVar::DimCount() const {
  return Forward(0, [](TCustomParam& v) { return v.DimCount(); });
}
int32_t TParamVar::Dim(int32_t k) const {
  return Forward(0, [&](TCustomParam& v) { return v.Dim(k); });
}
void TParamVar::AssignAll(const TCustomParam& other) {
  Forward(0, [&](TCustomParam& v) { return v.AssignAll(other), 0; });
}
void TParamVar::SetDims(const std::vector<int32_t>& dims) {
  Forward(0, [&](TCustomParam& v) { return v.SetDims(dims), 0; });
}
void TParamVar::FillInt(int32_t n) {
  Forward(0, [&](TCustomParam& v) { return v.FillInt(n), 0; });
}
void TParamVar::FillFloat(Real x) {
  Forward(0, [&](TCustomParam& v) { return v.FillFloat(x), 0; });
}
void TParamVar::FillBool(bool b) {
  Forward(0, [&](TCustomParam& v) { return v.FillBool(b), 0; });
}
void TParamVar::FillStr(const std::string& s) {
  Forward(0, [&](TCustomParam& v) { return v.FillStr(s), 0; });
}
void TParamVar::CopyValue(const TCustomParam& other) {
  Forward(0, [&](TCustomParam& v) { return v.CopyValue(other), 0; });
}
void TParamVar::MakeScalar() {
  Forward(0, [](TCustomParam& v) { return v.MakeScalar(), 0; });
}
void TParamVar::Unique() {
  Forward(0, [](TCustomParam& v) { return v.Unique(), 0; });
}
void TParamVar::RemoveValue(const TCustomParam* value) {
  Forward(0, [&](TCustomParam& v) { return v.RemoveValue(value), 0; });
}
int32_t TParamVar::FindStr(std::string_view s, bool caseSensitive, bool partial) const {
  return Forward(-1, [&](TCustomParam& v) { return v.FindStr(s, caseSensitive, partial); });
}

const TCustomParam* TParamVar::Resolve() const {
  return Forward(static_cast<const TCustomParam*>(nullptr), [](TCustomParam& v) { return v.Resolve(); });
}

void TParamVar::SaveToStream(RecordWriter& w) const {
  SaveDims(w);
  w.String(name_);
  const TParamCollectionItem* t = target_.Get();
  w.String(t ? t->Name() : std::string());
  w.U8(reserved_);
  w.I32(element_);
}

void TParamVar::LoadFromStream(RecordReader& r) {
  std::vector<int32_t> dims = LoadDims(r);
  std::string name = r.String();
  const std::string target = r.String();
  const uint8_t reserved = r.U8();
  const int32_t element = r.I32();
  dims_ = std::move(dims);
  name_ = std::move(name);
  reserved_ = reserved;
  element_ = element;
  target_.Reset(table_ && !target.empty() ? table_->FindVar(target) : nullptr);
}

}  // namespace qubo
