#pragma once
// The system variables: values whose every read asks the engine, the scene, the screen or
// the platform for the current state, and whose writes go straight to their owner. They hold
// no elements of their own. @Result and @Temp stand for another value (the current frame's
// result, the variable named by the temp target) and forward every operation to it.

#include <cstdint>
#include <string>

#include "script/paramcollection.h"
#include "script/params.h"

namespace qubo {

class TParamSystem final : public TCustomParam {
 public:
  // number 0..50 (the position in kSysVars); any other raises the internal-error message.
  TParamSystem(int number, TParamCollection* table);

  int Number() const { return number_; }

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
  void MakeScalar() override;
  void Unique() override;
  void RemoveValue(const TCustomParam* v) override;
  int32_t FindStr(std::string_view s, bool caseSensitive, bool partial) const override;
  uint8_t StoredType() const override { return ParamType(); }
  const TCustomParam* Resolve() const override;

 private:
  bool Forwards() const { return number_ == 0 || number_ == 44; }
  // The value @Result or @Temp stands for; null without one (or while it is being used, so
  // that a variable standing for itself acts as none).
  TCustomParam* Target() const;
  template <class R, class F>
  R Forward(R none, F f) const;

  // The native value of the variable's own type.
  int32_t ReadInt() const;
  Real ReadFloat() const;
  bool ReadFlag() const;
  std::string ReadStr() const;
  bool ReadFlagAt(int32_t i) const;
  std::string ReadStrAt(int32_t i) const;
  bool WritableAt(int32_t i) const;
  void WriteInt(int32_t v);
  void WriteFlag(bool v);
  void WriteStr(const std::string& v);

  int number_;
  TParamCollection* table_;
  mutable bool busy_ = false;
};

// Adds the 51 system variables to a table that has none yet (in their order).
void AddSystemVars(TParamCollection& table);
// Makes every variable table created from now on start with the system variables.
void InstallSystemVars();

}  // namespace qubo
