#pragma once
// The script functions of the table database (DBCreateTable ... DBClearRecord, DBGetTableCount,
// DBGetTable) as a dispatcher the built-in function manager hands those indexes to.

#include <functional>
#include <string>
#include <string_view>

#include "data/dbs.h"
#include "script/exprfunc.h"

namespace qubo {

inline constexpr int kDBFuncFirst = 87;  // DBCreateTable
inline constexpr int kDBFuncLast = 124;  // DBClearRecord
inline constexpr int kDBFuncGetTableCount = 159;
inline constexpr int kDBFuncGetTable = 160;

class TDBFunctions : public TExprFunctions {
 public:
  // manager: the tables to work on; null means TDBManager::Instance() at each call (and,
  // without an instance, every function answers its failure value).
  explicit TDBFunctions(TDBManager* manager = nullptr) : manager_(manager) {}

  // Whether index is one of the table functions.
  static bool Handles(int index) {
    return (index >= kDBFuncFirst && index <= kDBFuncLast) || index == kDBFuncGetTableCount ||
           index == kDBFuncGetTable;
  }

  // Raises QuboError for an index that is not a table function.
  void Call(int index, TCustomParam* const* args, int argCount, TFuncResult& result) override;

  // Whether a game file may be read (DBLoadTsvFile); by default the virtual file system's
  // file test. The host points it at the project's test, which can ask for another disc.
  std::function<bool(std::string_view name)> fileAvailable;

 private:
  TDBManager* Manager() const { return manager_ ? manager_ : TDBManager::Instance(); }
  bool LoadTsvFile(TDBManager& m, const std::string& name);

  TDBManager* manager_;
};

}  // namespace qubo
