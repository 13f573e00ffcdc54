#pragma once
// Runnable expressions: the operations of a compiled expression with their operands as
// values (constants, or references that carry only a variable name until the operation
// runs), the evaluator over the variable table, and RunText.
//
// Running keeps the results of resolving every operand by name on every run, without paying
// for it: each expression caches what its names resolve to and looks them up again only when
// the table's generation moves (a variable added, deleted, renamed, its scope changed, or the
// call depth changed). An expression whose calls work on values only keeps its temporaries
// in slots of its own instead of adding them to the table and deleting them again; where a
// temporary could be seen (a call that reads the table, or a temporary of that name already
// in the table) it runs exactly as written, with its temporaries in the table.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/exprcodes.h"
#include "script/exprfunc.h"
#include "script/exprstore.h"
#include "script/params.h"
#include "script/propertyreader.h"
#include "support/stream.h"

namespace qubo {

class TParamCollection;

// What expressions run against. The player has one (GlobalExprContext); tests make their own.
struct TExprContext {
  TParamCollection* vars = nullptr;
  TExprFunctions* functions = nullptr;  // null: every call fails
  TPropertyReader* properties = nullptr;  // null: the null reader
  // Every temporary number of the expressions now running is below this. A compile made
  // while they run numbers its temporaries from here, so it cannot write into theirs.
  int64_t tempFloor = 0;
};

TExprContext& GlobalExprContext();

// One runnable operation. Operands are owned; variables are TParamVar references.
struct TOpeData {
  uint8_t code = ocNone;
  std::string destination;
  uint8_t funcIndex = 0;
  std::vector<std::unique_ptr<TCustomParam>> operands;
};

class TQuboParser {
 public:
  TQuboParser();
  ~TQuboParser();
  TQuboParser(const TQuboParser&) = delete;
  TQuboParser& operator=(const TQuboParser&) = delete;

  // Clears the list, then reads the stored form (FormatError on damaged bytes; the list is
  // then empty).
  void LoadFromStream(TStream& stream);
  void LoadFromStored(const TStoredExpression& stored);
  // The same, taking the texts out of stored.
  void LoadFromStored(TStoredExpression&& stored);
  // The stored form: the kind of each operand is its type, references by name.
  void SaveToStream(TStream& stream) const;
  TStoredExpression ToStored() const;
  // Copies of other's operations (constants by value, references by name).
  void Assign(const TQuboParser& other);
  void Clear();

  const std::vector<TOpeData>& Operations() const { return ops_; }
  bool Empty() const { return ops_.empty(); }

  // Runs the operations in order; the first failure ends the run silently (operations
  // already run keep their effects). Answers whether every operation ran.
  bool Execute();
  bool Execute(TExprContext& context);

  // The value left in "____arg" by the last run, or null (an assignment, a failed run).
  const TCustomParam* Result() const { return hasResult_ ? result_.get() : nullptr; }
  // The message of the failure that ended the last run ("" when it ran to the end).
  const std::string& LastError() const { return lastError_; }

 private:
  struct Plan;
  void BuildPlan();
  bool RunFast(TExprContext& context);
  void RunGeneral(TExprContext& context);
  void TakeResult(const TCustomParam& value);

  std::vector<TOpeData> ops_;
  std::unique_ptr<Plan> plan_;
  std::unique_ptr<TCustomParam> result_;
  bool hasResult_ = false;
  bool running_ = false;
  std::string lastError_;
};

// Trims the text; empty text answers false. Otherwise compiles it (temporaries numbered above
// those of the expressions now running), stores it, loads it into a fresh expression and
// runs it: true when compiling, storing and loading raised nothing (the run itself ends
// silently on a failure). The error, if wanted, tells what failed, the run included.
bool RunText(std::string_view text);
bool RunText(TExprContext& context, std::string_view text, std::string* error = nullptr);

// Messages of the evaluator (code page 932).
extern const char* const kMsgGetPropArgument;  // "GetPropの引数が違います"
// "不正な式\r\n\r\n代入先:" + destination + "演算タイプ:" + name, then "\r\n" + each operand
std::string BadOperationMessage(const TOpeData& op);

}  // namespace qubo
