#pragma once
// TParamVar: a value that refers to an element of a variable. Scalar operations act on the
// referenced element of the target's value, indexed ones pass their index through, all others
// act on the target's value as a whole. Without a target (never resolved, or the variable is
// gone) getters answer zero values, Count/DimCount/Dim/ParamType 0, FindStr -1, and setters
// do nothing. A cycle of references acts as no target instead of recursing.

#include "script/paramcollection.h"
#include "script/params.h"

namespace qubo {

class TParamVar final : public TCustomParam {
 public:
  // table is where a stored target name is looked up when the value is loaded.
  explicit TParamVar(TParamCollection* table = nullptr) : table_(table) {}

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  TParamCollectionItem* Target() const { return target_.Get(); }
  void SetTarget(TParamCollectionItem* target) { target_.Reset(target); }
  int32_t Element() const { return element_; }
  void SetElement(int32_t element) { element_ = element; }
  uint8_t Reserved() const { return reserved_; }

  int32_t Count() const override;
  void SetCount(int32_t n) override;
  uint8_t ParamType() const override;
  bool AsBool() const override;
  Real AsFloat() const override;
  int32_t AsInt() const override;
  std::string AsStr() const override;
  void SetBool(bool b) override;
  void SetFloat(Real x) override;
  void SetInt(int32_t n) override;
  void SetStr(const std::string& s) override;
  int32_t GetIntAt(int32_t i) const override;
  void SetIntAt(int32_t i, int32_t n) override;
  Real GetFloatAt(int32_t i) const override;
  void SetFloatAt(int32_t i, Real x) override;
  bool GetBoolAt(int32_t i) const override;
  void SetBoolAt(int32_t i, bool b) override;
  std::string GetStrAt(int32_t i) const override;
  void SetStrAt(int32_t i, const std::string& s) override;
  int32_t DimCount() const override;
  int32_t Dim(int32_t k) const override;
  void AssignAll(const TCustomParam& other) override;
  void SetDims(const std::vector<int32_t>& dims) override;
  void FillInt(int32_t n) override;
  void FillFloat(Real x) override;
  void FillBool(bool b) override;
  void FillStr(const std::string& s) override;
  void CopyValue(const TCustomParam& other) override;
  // The reference form: dimension part, name, target name ("" when unresolved), reserved
  // byte, element index. Loading looks the target name up with the table's FindVar.
  void SaveToStream(RecordWriter& w) const override;
  void LoadFromStream(RecordReader& r) override;
  void MakeScalar() override;
  void Unique() override;
  void RemoveValue(const TCustomParam* v) override;
  int32_t FindStr(std::string_view s, bool caseSensitive, bool partial) const override;

  uint8_t StoredType() const override { return PT_NONE; }
  const TCustomParam* Resolve() const override;

 private:
  template <class R, class F>
  R Forward(R none, F f) const;

  TParamCollection* table_;
  std::string name_;
  ItemLink target_;
  uint8_t reserved_ = 0;
  int32_t element_ = 0;
  mutable bool busy_ = false;
};

}  // namespace qubo
