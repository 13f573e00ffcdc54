#pragma once
// Script values. Every value is an array: a list of elements of one type and an optional list
// of dimensions that only records the shape (a plain scalar is one element, no dimensions).
// TCustomParam is the interface; TParamInt, TParamFloat, TParamFlag and TParamStr hold
// elements; TParamVar (script/paramvar.h) refers to an element of a variable.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/numbertext.h"
#include "support/record.h"

namespace qubo {

// Type codes of values, as stored in page records, compiled expressions and saved variables.
enum : uint8_t { PT_NONE = 0, PT_INT = 1, PT_FLOAT = 2, PT_BOOL = 3, PT_STR = 4 };

// Upper bound of the element count of one value (SetCount, SetDims, stored values): beyond it
// a resize raises instead of exhausting memory.
inline constexpr int32_t kMaxParamElements = 1 << 24;

class TCustomParam {
 public:
  TCustomParam() = default;
  virtual ~TCustomParam() = default;
  TCustomParam(const TCustomParam&) = delete;
  TCustomParam& operator=(const TCustomParam&) = delete;

  virtual int32_t Count() const { return 1; }
  // Resizes the element array; kept elements unchanged, new ones zero/false/empty. A count
  // below 0 or above kMaxParamElements raises the element-count message.
  virtual void SetCount(int32_t) {}
  virtual uint8_t ParamType() const { return PT_INT; }

  // Element 0 (for a reference: the referenced element).
  virtual bool AsBool() const { return false; }
  virtual Real AsFloat() const { return 0; }
  virtual int32_t AsInt() const { return 0; }
  virtual std::string AsStr() const { return {}; }
  // Make the value a scalar, then store into element 0.
  virtual void SetBool(bool) {}
  virtual void SetFloat(Real) {}
  virtual void SetInt(int32_t) {}
  virtual void SetStr(const std::string&) {}

  // Element i; an index outside 0..Count()-1 raises "[i]:..." (the bad-index message).
  virtual int32_t GetIntAt(int32_t) const { return 0; }
  virtual void SetIntAt(int32_t, int32_t) {}
  virtual Real GetFloatAt(int32_t) const { return 0; }
  virtual void SetFloatAt(int32_t, Real) {}
  virtual bool GetBoolAt(int32_t) const { return false; }
  virtual void SetBoolAt(int32_t, bool) {}
  virtual std::string GetStrAt(int32_t) const { return {}; }
  virtual void SetStrAt(int32_t, const std::string&) {}

  // Length of the dimension list, 1 when it is empty; Dim(k) is 1 outside the list.
  virtual int32_t DimCount() const;
  virtual int32_t Dim(int32_t k) const;
  // The dimension list of other unchanged, and its elements (converted when other holds
  // another type).
  virtual void AssignAll(const TCustomParam& other);
  // Every entry must be > 0 and the product at most kMaxParamElements, else the
  // element-count message with the entries; then the list is stored and SetCount(product).
  virtual void SetDims(const std::vector<int32_t>& dims);
  // Each acts only on values of its own type.
  virtual void FillInt(int32_t) {}
  virtual void FillFloat(Real) {}
  virtual void FillBool(bool) {}
  virtual void FillStr(const std::string&) {}
  // Count, dimensions (other's Dim(0..DimCount-1)) and elements of a value of the same
  // class; another class raises "CopyMem:...".
  virtual void CopyValue(const TCustomParam& other);
  // The stored form: the dimension part, then the class's own part.
  virtual void SaveToStream(RecordWriter& w) const;
  virtual void LoadFromStream(RecordReader& r);
  // With a dimension list: clear it and keep only element 0.
  virtual void MakeScalar() {}
  // Keep the first occurrence of every element value.
  virtual void Unique() {}
  // Drop every element equal to v taken as this value's type (v null: the zero value).
  virtual void RemoveValue(const TCustomParam*) {}
  // Index of the first element whose text matches s, or -1. partial: contains s; else equal.
  // Without caseSensitive both sides are compared with ASCII letters lowered.
  virtual int32_t FindStr(std::string_view s, bool caseSensitive, bool partial) const;

  // The type code of the class itself (0 for a reference, whatever it refers to): the type
  // byte written before a stored variable.
  virtual uint8_t StoredType() const { return PT_INT; }
  // The value that holds the elements: this, or for a reference its target's value (null
  // without a target).
  virtual const TCustomParam* Resolve() const { return this; }
  // The own dimension list (empty for a value never given dimensions).
  const std::vector<int32_t>& DimList() const { return dims_; }

 protected:
  void SaveDims(RecordWriter& w) const;
  static std::vector<int32_t> LoadDims(RecordReader& r);

  std::vector<int32_t> dims_;
};

// Conversions between the element types (what a getter answers and a setter stores): To*
// convert an element of the type, From* make one; ToBool is the element rule (GetBoolAt).
template <class T>
struct ElementTraits;

template <>
struct ElementTraits<int32_t> {
  using T = int32_t;
  static constexpr uint8_t kType = PT_INT;
  static constexpr int64_t kStoredSize = 4;
  static int32_t ToInt(const T& v);
  static Real ToReal(const T& v);
  static bool ToBool(const T& v);  // the element rule (GetBoolAt)
  static std::string ToStr(const T& v);
  static T FromInt(int32_t n);
  static T FromReal(Real x);
  static T FromBool(bool b);
  static T FromStr(const std::string& s);
};
template <>
struct ElementTraits<Real> {
  using T = Real;
  static constexpr uint8_t kType = PT_FLOAT;
  static constexpr int64_t kStoredSize = 10;
  static int32_t ToInt(const T& v);
  static Real ToReal(const T& v);
  static bool ToBool(const T& v);  // the element rule (GetBoolAt)
  static std::string ToStr(const T& v);
  static T FromInt(int32_t n);
  static T FromReal(Real x);
  static T FromBool(bool b);
  static T FromStr(const std::string& s);
};
template <>
struct ElementTraits<uint8_t> {
  using T = uint8_t;
  static constexpr uint8_t kType = PT_BOOL;
  static constexpr int64_t kStoredSize = 1;
  static int32_t ToInt(const T& v);
  static Real ToReal(const T& v);
  static bool ToBool(const T& v);  // the element rule (GetBoolAt)
  static std::string ToStr(const T& v);
  static T FromInt(int32_t n);
  static T FromReal(Real x);
  static T FromBool(bool b);
  static T FromStr(const std::string& s);
};
template <>
struct ElementTraits<std::string> {
  using T = std::string;
  static constexpr uint8_t kType = PT_STR;
  static constexpr int64_t kStoredSize = 4;
  static int32_t ToInt(const T& v);
  static Real ToReal(const T& v);
  static bool ToBool(const T& v);  // the element rule (GetBoolAt)
  static std::string ToStr(const T& v);
  static T FromInt(int32_t n);
  static T FromReal(Real x);
  static T FromBool(bool b);
  static T FromStr(const std::string& s);
};

// The element-holding values; T is int32_t, Real, uint8_t (flag) or std::string.
template <class T>
class TParamArray : public TCustomParam {
  using Traits = ElementTraits<T>;
  static int32_t ToInt(const T& v) { return Traits::ToInt(v); }
  static Real ToReal(const T& v) { return Traits::ToReal(v); }
  static bool ToBool(const T& v) { return Traits::ToBool(v); }
  static std::string ToStr(const T& v) { return Traits::ToStr(v); }
  static T FromInt(int32_t n) { return Traits::FromInt(n); }
  static T FromReal(Real x) { return Traits::FromReal(x); }
  static T FromBool(bool b) { return Traits::FromBool(b); }
  static T FromStr(const std::string& s) { return Traits::FromStr(s); }

 public:
  static constexpr uint8_t kType = ElementTraits<T>::kType;

  TParamArray() : elements_(1) {}

  int32_t Count() const override { return static_cast<int32_t>(elements_.size()); }
  void SetCount(int32_t n) override;
  uint8_t ParamType() const override { return kType; }
  uint8_t StoredType() const override { return kType; }

  bool AsBool() const override { return elements_.empty() ? false : ToBool(elements_[0]); }
  Real AsFloat() const override { return elements_.empty() ? 0 : ToReal(elements_[0]); }
  int32_t AsInt() const override { return elements_.empty() ? 0 : ToInt(elements_[0]); }
  std::string AsStr() const override { return elements_.empty() ? std::string() : ToStr(elements_[0]); }
  void SetBool(bool b) override { SetScalar(FromBool(b)); }
  void SetFloat(Real x) override { SetScalar(FromReal(x)); }
  void SetInt(int32_t n) override { SetScalar(FromInt(n)); }
  void SetStr(const std::string& s) override { SetScalar(FromStr(s)); }

  int32_t GetIntAt(int32_t i) const override { return ToInt(At(i)); }
  void SetIntAt(int32_t i, int32_t n) override { Put(i, FromInt(n)); }
  Real GetFloatAt(int32_t i) const override { return ToReal(At(i)); }
  void SetFloatAt(int32_t i, Real x) override { Put(i, FromReal(x)); }
  bool GetBoolAt(int32_t i) const override { return ToBool(At(i)); }
  void SetBoolAt(int32_t i, bool b) override { Put(i, FromBool(b)); }
  std::string GetStrAt(int32_t i) const override { return ToStr(At(i)); }
  void SetStrAt(int32_t i, const std::string& s) override { Put(i, FromStr(s)); }

  void AssignAll(const TCustomParam& other) override;
  void FillInt(int32_t n) override;
  void FillFloat(Real x) override;
  void FillBool(bool b) override;
  void FillStr(const std::string& s) override;
  void CopyValue(const TCustomParam& other) override;
  void SaveToStream(RecordWriter& w) const override;
  void LoadFromStream(RecordReader& r) override;
  void MakeScalar() override;
  void Unique() override;
  void RemoveValue(const TCustomParam* v) override;

  const std::vector<T>& Elements() const { return elements_; }


 protected:
  const T& At(int32_t i) const;
  void Put(int32_t i, T v);
  void SetScalar(T v);

  std::vector<T> elements_;
};

extern template class TParamArray<int32_t>;
extern template class TParamArray<Real>;
extern template class TParamArray<uint8_t>;
extern template class TParamArray<std::string>;

class TParamInt final : public TParamArray<int32_t> {};
class TParamFloat final : public TParamArray<Real> {};
class TParamFlag final : public TParamArray<uint8_t> {};

class TParamStr final : public TParamArray<std::string> {
 public:
  // The scalar rule: "TRUE" true, "FALSE" false, else integer text other than 0.
  bool AsBool() const override;
};

class TParamCollection;

// A fresh value of the class for a type code (0 makes an unresolved reference over table);
// null for any other code.
std::unique_ptr<TCustomParam> NewParam(uint8_t type, TParamCollection* table = nullptr);

// The bad-index failure: "[i]:...".
[[noreturn]] void ThrowBadIndex(int32_t i);
// The element-count failure with the given entries joined by ",".
[[noreturn]] void ThrowBadDims(const std::vector<int64_t>& entries);

}  // namespace qubo
