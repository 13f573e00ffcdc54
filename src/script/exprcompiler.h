#pragma once
// The expression compiler: text to a flat list of three-address operations whose operands are
// still texts, and from there to the stored form (the only way to a runnable expression).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/exprstore.h"
#include "support/stream.h"

namespace qubo {

// "構文エラー"
extern const char* const kSyntaxErrorMessage;
// "配列の添え字が不正です"
extern const char* const kBadSubscriptsMessage;

// One compiled operation. For ocFunc the first operand is the function name.
struct TBuildOpeData {
  uint8_t code = 0;
  std::string destination;
  std::vector<std::string> operands;

  bool operator==(const TBuildOpeData&) const = default;
};

class TBuildQuboParser {
 public:
  // Temporaries are numbered from firstTemp on. A compile made while other expressions run
  // starts above every number they use (see TempNumberFloor in expreval.h).
  explicit TBuildQuboParser(int64_t firstTemp = 0) : counter_(firstTemp) {}

  // Appends the operations of text. Raises QuboError with the system's message on a syntax
  // error; the operations are then incomplete and must not be stored.
  void Compile(std::string_view text);

  const std::vector<TBuildOpeData>& Operations() const { return ops_; }
  void Clear() { ops_.clear(); }

  // The stored form. Raises QuboError for an unknown function or a wrong argument count.
  TStoredExpression ToStored() const;
  // The same, moving the texts out: the list is empty afterwards (also after a failure).
  TStoredExpression TakeStored();
  void SaveToStream(TStream& stream) const;

 private:
  std::string NewValueTemp();
  std::string NewElementTemp();
  void CompileText(std::string text);
  std::string OperandFor(std::string_view argument);
  void Emit(uint8_t code, std::string destination, std::vector<std::string> operands);
  void CleanUp();
  static TStoredExpression StoredFrom(std::vector<TBuildOpeData>& ops);

  std::vector<TBuildOpeData> ops_;
  int64_t counter_;
};

// How the compiler stores one operand text: integer text, float text, TRUE/FALSE, a quoted
// string, else a variable name.
TStoredOperand ClassifyOperandText(const std::string& text);
TStoredOperand ClassifyOperandText(std::string&& text);

// The operation list as lines for people ("____0 := b * 2", "x := ____0", "____1 := Sin(x)").
std::string DumpOperations(const std::vector<TBuildOpeData>& ops);

}  // namespace qubo
