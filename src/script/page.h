#pragma once
// The runnable page: TPage with its command list, the command base class TCommand with the
// operations the engine drives, and the factory from a type code to a command object.
// A command keeps its stored record (the fields of its type, see pageformat.h) and a
// runnable expression for every stored one.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/expreval.h"
#include "script/pageformat.h"
#include "support/stream.h"

namespace qubo {

class TCallMan;
class TComList;
class TPage;
using TPageRef = std::shared_ptr<TPage>;

class TCommand {
 public:
  explicit TCommand(TComList* owner) : owner_(owner) {}
  virtual ~TCommand() = default;
  TCommand(const TCommand&) = delete;
  TCommand& operator=(const TCommand&) = delete;

  virtual uint8_t CommandType() const { return record_.Code(); }
  virtual uint8_t ContinueFlag() const { return record_.continueFlag; }
  virtual bool IsDisabled() const { return record_.disabled != 0; }
  void SetDisabled(bool on) { record_.disabled = on ? 1 : 0; }
  // True while this command, prepared and in progress, must not be interrupted by events.
  virtual bool BlocksEvents() const { return false; }
  virtual bool IsLabel(const std::string&) const { return false; }
  // Takes the record read from the page and makes its expressions runnable.
  void Load(TCommandRecord record);
  virtual void Prepare(TCallMan&) {}
  // Performs the command. It may replace the page (page) and must move pc to go on.
  virtual void Execute(TCallMan& engine, TPageRef& page, int32_t& pc);
  // The state of a command in progress (a record starting with the tag "qubo100").
  virtual void SaveState(TStream&) {}
  virtual void LoadState(TStream&) {}
  virtual void Abort(TCallMan&) {}
  // True when an event handler running this command is suspended for the rest of the tick.
  virtual bool Yields(TCallMan&) { return false; }

  TComList* Owner() const { return owner_; }
  TPage* Page() const;
  const TCommandRecord& Record() const { return record_; }
  int32_t Indent() const { return record_.indent; }
  int32_t SourceLine() const { return record_.line; }

 protected:
  // Field f of the record.
  const TFieldValue& Field(size_t f) const;
  // The runnable expression j of field f; an absent one is empty.
  TQuboParser& Expr(size_t f, size_t j = 0);
  size_t ExprCount(size_t f) const;
  // The expression of property id on a component command; null when the mask has none.
  TQuboParser* PropExpr(int id);

  // Runs an expression and answers its value, null for none (an empty expression, a failed
  // run, an assignment).
  const TCustomParam* Eval(TCallMan& engine, TQuboParser& e);
  bool EvalInt(TCallMan& engine, TQuboParser& e, int32_t& out);
  bool EvalBool(TCallMan& engine, TQuboParser& e, bool& out);
  bool EvalStr(TCallMan& engine, TQuboParser& e, std::string& out);
  // Has a value whose flag conversion is true; an empty expression answers emptyValue.
  bool Condition(TCallMan& engine, TQuboParser& e, bool emptyValue = false);

  TCommandRecord record_;

 private:
  TComList* owner_;
  // Expressions of every field, flattened; exprStart_[f] is the first of field f.
  std::vector<std::unique_ptr<TQuboParser>> exprs_;
  std::vector<uint32_t> exprStart_;
};

// The owning, ordered command list of a page.
class TComList {
 public:
  explicit TComList(TPage* page) : page_(page) {}
  TPage* Page() const { return page_; }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  TCommand* Get(int32_t i) const { return items_[static_cast<size_t>(i)].get(); }
  void Add(std::unique_ptr<TCommand> c) { items_.push_back(std::move(c)); }
  int32_t IndexOf(const TCommand* c) const;
  void Clear() { items_.clear(); }

 private:
  TPage* page_;
  std::vector<std::unique_ptr<TCommand>> items_;
};

class TPage {
 public:
  TPage();
  TPage(const TPage&) = delete;
  TPage& operator=(const TPage&) = delete;

  // What a load found: the page's version decides whether it runs.
  enum class LoadResult { Loaded, TooOld, TooNew };
  // Parses page bytes. TooOld and TooNew leave the page empty (the caller warns about old
  // pages); damage raises FormatError naming the page, a bad type code the bad-command
  // message. On a failure the page is empty.
  LoadResult LoadFromBytes(const std::string& name, std::vector<uint8_t> bytes);
  // A page from an image already in memory.
  void LoadFromImage(const std::string& name, TPageImage image);

  const std::string& Name() const { return name_; }
  int32_t Version() const { return version_; }
  uint8_t ResultType() const { return resultType_; }
  const std::array<TPropertyMask, kCommandTypes>& Masks() const { return masks_; }
  TComList& Commands() { return commands_; }
  const TComList& Commands() const { return commands_; }
  int32_t Count() const { return commands_.Count(); }
  TCommand* Command(int32_t i) const { return commands_.Get(i); }
  bool Contains(int32_t pc) const { return pc >= 0 && pc < commands_.Count(); }
  int32_t IndexOf(const TCommand* c) const { return commands_.IndexOf(c); }
  // Index of the first Label of that name (exact bytes), -1 when none.
  int32_t FindLabel(const std::string& name) const;

 private:
  std::string name_;
  int32_t version_ = kMemoryPageVersion;
  uint8_t resultType_ = 1;
  std::array<TPropertyMask, kCommandTypes> masks_;
  TComList commands_;
};

// A new command of the class of the type byte's code, owned by nobody yet.
std::unique_ptr<TCommand> CreateCommand(TComList* list, uint8_t typeByte);

}  // namespace qubo
