#pragma once
// The variable table: named values in a hashed collection, with the scopes of the script
// (global, auto-free, local, status), local IDs tied to call frames, element references,
// pushed variable sets and the stored forms of game and status records.
//
// Several variables may carry the same name (locals of different depths, a local beside a
// global). Lookups answer exactly what a walk of the name's bucket chain from the newest to
// the oldest entry answers, but go through a name index (every name to its variables in
// chain order), so they cost the same however many other names share the bucket.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/params.h"
#include "support/hash.h"
#include "support/stream.h"

namespace qubo {

class TParamCollection;
class TParamCollectionItem;
class TParamVar;

// A weak handle to a variable: answers null once the variable is gone.
class ItemLink {
 public:
  ItemLink() = default;
  explicit ItemLink(TParamCollectionItem* item) { Reset(item); }
  ItemLink(const ItemLink& other) { Reset(other.Get()); }
  ItemLink& operator=(const ItemLink& other) {
    if (this != &other) Reset(other.Get());
    return *this;
  }
  ~ItemLink() { Reset(nullptr); }

  TParamCollectionItem* Get() const { return token_ ? token_->item : nullptr; }
  void Reset(TParamCollectionItem* item) {
    // Already linked to that live item: nothing to do (the common case of a cached target).
    if (item != nullptr && token_ != nullptr && token_->item == item) return;
    Relink(item);
  }

  struct Token {
    TParamCollectionItem* item;
    int32_t refs;
  };

 private:
  void Relink(TParamCollectionItem* item);
  Token* token_ = nullptr;
};

// The variables of one name, in the order of their bucket chain read backwards.
struct TParamNameEntry {
  std::string key;
  std::vector<TParamCollectionItem*> items;  // oldest first, newest last
  int32_t locals = 0;                        // how many of them have the local flag
};

// Scope byte of a variable declaration.
enum class VarScope : uint8_t { Global = 0, AutoFree = 1, Local = 2, Status = 3 };

class TParamCollectionItem : public THashCollectionItem {
 public:
  explicit TParamCollectionItem(std::unique_ptr<TCustomParam> value);
  ~TParamCollectionItem() override;

  // The variable's value; its class fixes the variable's type. Never null.
  TCustomParam& Value() { return *value_; }
  const TCustomParam& Value() const { return *value_; }
  void SetValue(std::unique_ptr<TCustomParam> value);
  uint8_t ParamType() const { return value_->ParamType(); }

  // Checks the name: empty, containing a blank or starting with a digit raises
  // "\"name\"：..." (the bad-name message); otherwise stores and rehashes it.
  void SetName(const std::string& name) override;
  void Rehash() override;
  std::string DefaultDisplayName() const override { return "TParamCollectionItem"; }

  uint8_t Reserved() const { return reserved_; }
  void SetReserved(uint8_t v) { reserved_ = v; }
  bool IsStatus() const { return status_; }
  void SetStatus(bool v) { status_ = v; }
  // Call depth that created an auto-free or local variable; -1 for the others.
  int32_t LocalId() const { return localId_; }
  void SetLocalId(int32_t id);
  bool IsLocal() const { return local_; }
  void SetLocal(bool v);
  // One of the system variables: never deleted, saved or loaded by the table.
  bool IsSystem() const { return system_; }

 private:
  friend class TParamCollection;
  friend class ItemLink;

  std::unique_ptr<TCustomParam> value_;
  uint8_t reserved_ = 0;
  bool status_ = false;
  int32_t localId_ = -1;
  bool local_ = false;
  bool system_ = false;
  // Bookkeeping of the table's indexes.
  TParamCollection* table_ = nullptr;
  TParamNameEntry* entry_ = nullptr;
  ItemLink::Token* token_ = nullptr;
};

// Values kept with the game record that other parts of the player own the meaning of.
struct TParamGlobals {
  int32_t textDelay = 50;  // @TextDelay
  std::string cursor;      // @Cursor
  std::string selStr;      // @SelStr
  int32_t selIndex = 0;    // @SelIndex
  std::string tempTarget;  // name of the variable @Temp stands for
};

// What a game record of an old version carries besides the variables.
struct TGameVarsExtras {
  bool hasHistoryFormat = false;         // versions 113..134
  std::array<int32_t, 6> historyFormat{};  // the default history format's six settings
};

class TParamCollection : public THashCollection {
 public:
  // The save version written by SaveGameVars' caller and understood by LoadGameVars.
  static constexpr int32_t kCurrentSaveVersion = 144;

  TParamCollection();
  ~TParamCollection() override;

  TParamCollectionItem* Var(int i) const { return ItemAs<TParamCollectionItem>(i); }

  // Appends a system variable (the built-in ones come first, in their order).
  TParamCollectionItem* AddSystem(const std::string& name, std::unique_ptr<TCustomParam> value);
  int SystemCount() const { return systemCount_; }
  // Called by every table as it is created (the player's system variables); none by default.
  using SystemFactory = void (*)(TParamCollection&);
  static void SetSystemFactory(SystemFactory factory);

  // The lookup rule of the script: a local variable of the current local ID if one exists
  // (the newest), otherwise the oldest non-local variable of the name; -1 when none.
  int IndexOf(std::string_view name) const;
  TParamCollectionItem* FindVar(std::string_view name) const;
  // The newest variable of the name that is a local of the current local ID (local set) or
  // that is not a local (local clear).
  TParamCollectionItem* Find(std::string_view name, bool local) const;

  // An unnamed variable holding a fresh value of the type's class; null for a code above 4.
  TParamCollectionItem* Add(uint8_t type);
  // Add, then the checked name; when the name is refused the new variable is removed again
  // before the failure propagates.
  TParamCollectionItem* AddNamed(uint8_t type, const std::string& name);

  // Steps 1-4 of a variable declaration: finds or creates the variable for the scope.
  // keepValue is set for an existing status variable (its initial value is not stored).
  struct Declared {
    TParamCollectionItem* var;
    bool keepValue;
  };
  Declared Declare(const std::string& name, uint8_t type, VarScope scope);
  // Step 5: stores value into var as the declared type (SetInt(AsInt) ...).
  static void StoreAs(TCustomParam& var, uint8_t type, const TCustomParam& value);

  // A free-standing copy (AssignAll) of the named variable's value; null when there is no
  // such variable; a reference variable raises "name:..." (the bad-variable message).
  std::unique_ptr<TCustomParam> GetCopy(std::string_view name) const;

  // Deletes a variable; system variables are refused (false).
  bool Delete(int i);
  bool Delete(TParamCollectionItem* var);
  // Deletes every variable with this local ID (auto-free and local alike).
  void DeleteLocal(int32_t id);
  // Lowers by one every local ID above id.
  void LowerLocalIdsAbove(int32_t id);
  // Deletes every variable that is neither system nor status; text delay 50, no cursor.
  void ClearVars();

  // The number of frames on the call stack; the engine sets it after every push and pop.
  int32_t CurrentLocalId() const { return currentLocalId_; }
  void SetCurrentLocalId(int32_t id) {
    if (id != currentLocalId_) Touch();
    currentLocalId_ = id;
  }

  // Moves whenever a name lookup could answer differently: a variable named, renamed or
  // deleted, its value replaced, a local flag or local ID changed, the current local ID
  // changed. Compiled expressions cache their lookups against it. Numbers are drawn from
  // one process-wide sequence, so no two tables (nor two tables at one address in turn)
  // ever show the same generation.
  uint64_t Generation() const { return generation_; }

  // Sets the target from the reference's name (FindVar); none raises "\"name\" ...".
  // When the found variable's value is a reference, its element index is taken over.
  void ResolveReference(TParamVar& ref) const;
  // Targets the element of arrayName at the subscripts (row-major, last fastest).
  void ResolveElement(TParamVar& ref, std::string_view arrayName, const std::vector<int32_t>& subscripts) const;
  // The same for an array variable already found (arrayName is used in the messages).
  static void ResolveElement(TParamVar& ref, TParamCollectionItem& array, std::string_view arrayName,
                             const std::vector<int32_t>& subscripts);

  TParamGlobals& Globals() { return globals_; }
  const TParamGlobals& Globals() const { return globals_; }

  // Stored forms (script/paramstore.cpp).
  void SaveGameVars(TStream& stream);
  TGameVarsExtras LoadGameVars(TStream& stream, int32_t version);
  void SaveStatusVars(TStream& stream);
  void LoadStatusVars(TStream& stream);
  // Writes a variable record (without the type byte) / reads one into a new variable.
  static void SaveVarRecord(RecordWriter& w, const TParamCollectionItem& var);
  void LoadVarRecord(RecordReader& r);

  // Pushed variable sets.
  void PushVars(const std::vector<std::string>& names);
  void PopVars();
  int PushedCount() const { return static_cast<int>(pushed_.size()); }
  const TKoMemoryStream& Pushed(int i) const { return *pushed_[static_cast<size_t>(i)]; }
  void ClearPushed() { pushed_.clear(); }

 protected:
  std::unique_ptr<THashCollectionItem> NewItem() override;

 private:
  friend class TParamCollectionItem;
  struct NoCaseHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const;
  };
  struct NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };

  TParamCollectionItem* Attach(std::unique_ptr<TParamCollectionItem> item);
  void Index(TParamCollectionItem* item);
  void Unindex(TParamCollectionItem* item);
  const TParamNameEntry* Entry(std::string_view name) const;
  void OnLocalIdChange(int32_t from, int32_t to);
  // Variables written by the game or status record, newest first, a reference after the
  // candidate it refers to.
  std::vector<const TParamCollectionItem*> SaveOrder(bool status) const;
  void SkipPushedSet(RecordReader& r);

  std::unordered_map<std::string, TParamNameEntry, NoCaseHash, NoCaseEqual> names_;
  int systemCount_ = 0;
  int32_t frameVarCount_ = 0;  // variables whose local ID is not -1
  int32_t currentLocalId_ = 0;
  static uint64_t NextGeneration();
  void Touch() { generation_ = NextGeneration(); }
  uint64_t generation_;
  TParamGlobals globals_;
  std::vector<std::unique_ptr<TKoMemoryStream>> pushed_;
};

}  // namespace qubo
