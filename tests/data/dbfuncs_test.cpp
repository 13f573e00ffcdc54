// The table functions run from compiled expressions over a variable table, with a dispatcher
// that hands the table indexes to TDBFunctions the way the function manager does.

#include <gtest/gtest.h>

#include "data/dbfuncs.h"
#include "script/expreval.h"
#include "script/paramcollection.h"
#include "storage/vrfiles.h"
#include "support/errors.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

class Forwarder : public TExprFunctions {
 public:
  explicit Forwarder(TExprFunctions& tables) : tables_(tables) {}
  void Call(int index, TCustomParam* const* args, int n, TFuncResult& result) override {
    if (!TDBFunctions::Handles(index)) throw QuboError("not here");
    tables_.Call(index, args, n, result);
  }

 private:
  TExprFunctions& tables_;
};

struct Env : ::testing::Test {
  TDBManager m;
  TDBFunctions tables{&m};
  Forwarder functions{tables};
  TParamCollection vars;
  TExprContext ctx;

  void SetUp() override {
    ctx.vars = &vars;
    ctx.functions = &functions;
    for (const char* n : {"r", "i", "k"}) vars.AddNamed(PT_INT, n);
    for (const char* n : {"s", "nm"}) vars.AddNamed(PT_STR, n);
    vars.AddNamed(PT_FLOAT, "f");
    vars.AddNamed(PT_BOOL, "b");
    vars.AddNamed(PT_BOOL, "st");
  }
  void Run(const std::string& text) {
    std::string error;
    ASSERT_TRUE(RunText(ctx, text, &error)) << text << ": " << error;
    ASSERT_EQ(error, "") << text;
  }
  const TCustomParam& V(const std::string& name) { return vars.FindVar(name)->Value(); }
  void Array(const std::string& name, uint8_t type, const std::vector<std::string>& items) {
    TCustomParam& v = vars.AddNamed(type, name)->Value();
    v.SetDims({static_cast<int32_t>(items.size())});
    for (size_t k = 0; k < items.size(); ++k) v.SetStrAt(static_cast<int32_t>(k), items[k]);
  }
};

TEST_F(Env, CreateFillReadAndMove) {
  Run("b = DBCreateTable(\"menu\", FALSE)");
  EXPECT_TRUE(V("b").AsBool());
  Run("b = DBAddField(\"name\", 4, 10)");
  EXPECT_TRUE(V("b").AsBool());
  Run("b = DBAddField(\"NAME\", 1)");
  EXPECT_FALSE(V("b").AsBool());
  Run("b = DBAddField(\"price\", 1)");
  Run("b = DBAddField(\"w\", 2)");
  Run("b = DBAddField(\"x\", 7)");
  EXPECT_FALSE(V("b").AsBool());
  Run("b = DBInsert(\"tea\", 120, 0.5, TRUE, 9)");  // beyond the fields: ignored
  EXPECT_TRUE(V("b").AsBool());
  Run("b = DBInsert(\"a much longer name\", \"80\")");
  Run("r = DBRecordCount()");
  EXPECT_EQ(V("r").AsInt(), 2);
  Run("s = DBGetStr(\"name\")");
  EXPECT_EQ(V("s").AsStr(), "a much lon");
  Run("i = DBGetInt(\"price\")");
  EXPECT_EQ(V("i").AsInt(), 80);
  Run("b = DBFindFirst()");
  Run("f = DBGetFloat(\"w\")");
  EXPECT_EQ(V("f").AsFloat(), 0.5L);
  Run("s = DBGetStr(\"price\")");
  EXPECT_EQ(V("s").AsStr(), "120");
  Run("b = DBSetInt(\"price\", 150)");
  EXPECT_TRUE(V("b").AsBool());
  Run("i = DBGetInt(\"nope\")");
  EXPECT_EQ(V("i").AsInt(), 0);
  Run("b = DBFindPrior()");
  EXPECT_FALSE(V("b").AsBool());
  Run("b = DBSetRecNo(-5)");
  EXPECT_TRUE(V("b").AsBool());
  Run("i = DBGetRecNo()");
  EXPECT_EQ(V("i").AsInt(), -1);
  Run("b = DBSetInt(\"price\", 1)");  // no current record
  EXPECT_FALSE(V("b").AsBool());
  Run("b = DBDelete()");
  EXPECT_FALSE(V("b").AsBool());
  Run("b = DBSetRecNo(2)");
  EXPECT_FALSE(V("b").AsBool());
  Run("s = DBGetActive()");
  EXPECT_EQ(V("s").AsStr(), "menu");
}

TEST_F(Env, WithoutAnActiveTableEverythingAnswersItsFailureValue) {
  const struct {
    const char* text;
    const char* var;
    std::string want;
  } cases[] = {
      {"b = DBAddField(\"a\", 1)", "b", "FALSE"}, {"b = DBInsert(1)", "b", "FALSE"},
      {"i = DBGetInt(\"a\")", "i", "0"},         {"s = DBGetStr(\"a\")", "s", ""},
      {"r = DBRecordCount()", "r", "-1"},        {"r = DBRecordCount(\"zz\")", "r", "-1"},
      {"i = DBGetRecNo()", "i", "-1"},           {"b = DBFindFirst()", "b", "FALSE"},
      {"b = DBSort(\"a\", TRUE)", "b", "FALSE"}, {"b = DBDeleteTable()", "b", "FALSE"},
      {"b = DBClearRecord()", "b", "FALSE"},     {"s = DBGetActive()", "s", ""},
      {"b = DBLocate(\"a\", 1)", "b", "FALSE"},  {"b = DBLoadTsvFile(\"x.tsv\")", "b", "FALSE"},
      {"i = DBGetTableCount()", "i", "0"},       {"b = DBGetTable(0, nm)", "b", "FALSE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Run(c.text);
    EXPECT_EQ(V(c.var).AsStr(), c.want);
  }
  // And the same with no manager at all.
  TDBFunctions none;
  ASSERT_EQ(TDBManager::Instance(), nullptr);
  Forwarder f2{none};
  ctx.functions = &f2;
  Run("b = DBCreateTable(\"t\", FALSE)");
  EXPECT_FALSE(V("b").AsBool());
  Run("i = DBDirectGetInt(\"t\", \"a\", 1, FALSE, FALSE, \"a\", 77)");
  EXPECT_EQ(V("i").AsInt(), 77);
}

TEST_F(Env, LocateCopyInsertAndSortWithArrays) {
  Run("b = DBCreateTable(\"src\", FALSE)");
  Run("b = DBAddField(\"k\", 4, 8)");
  Run("b = DBAddField(\"n\", 1)");
  for (const char* row : {"(\"bc\", 3)", "(\"x\", 1)", "(\"bc\", 2)"}) Run(std::string("b = DBInsert") + row);
  Array("keys", PT_STR, {"k"});
  Array("vals", PT_STR, {"abcd"});
  Run("b = DBLocate(keys, vals, FALSE, TRUE)");  // partial: bc lies within abcd
  EXPECT_TRUE(V("b").AsBool());
  Run("i = DBGetRecNo()");
  EXPECT_EQ(V("i").AsInt(), 0);

  Run("b = DBCreateTable(\"dst\", FALSE)");
  Run("b = DBSetActive(\"src\")");
  Run("b = DBCopyTable(\"dst\", keys, vals, FALSE, TRUE)");
  EXPECT_TRUE(V("b").AsBool());
  Run("r = DBRecordCount(\"dst\")");
  EXPECT_EQ(V("r").AsInt(), 2);
  Run("b = DBCopyTable(\"src\")");  // onto itself: refused
  EXPECT_FALSE(V("b").AsBool());

  // Inserting the table into itself, and copying its current record into itself.
  Run("b = DBInsertTable(\"src\")");
  EXPECT_TRUE(V("b").AsBool());
  Run("r = DBRecordCount()");
  EXPECT_EQ(V("r").AsInt(), 6);
  Run("b = DBSetRecNo(1)");
  Run("b = DBCopy(\"src\")");
  EXPECT_TRUE(V("b").AsBool());
  Run("i = DBGetRecNo()");
  EXPECT_EQ(V("i").AsInt(), 6);
  Run("s = DBGetStr(\"k\")");
  EXPECT_EQ(V("s").AsStr(), "x");

  Array("skeys", PT_STR, {"n", "k"});
  Array("desc", PT_BOOL, {"TRUE", "FALSE"});
  vars.FindVar("desc")->Value().SetBoolAt(0, true);
  vars.FindVar("desc")->Value().SetBoolAt(1, false);
  Run("b = DBSort(skeys, desc)");
  EXPECT_TRUE(V("b").AsBool());
  Run("b = DBFindFirst()");
  Run("i = DBGetInt(\"n\")");
  EXPECT_EQ(V("i").AsInt(), 3);
  Run("b = DBFindLast()");
  Run("i = DBGetInt(\"n\")");
  EXPECT_EQ(V("i").AsInt(), 1);
}

TEST_F(Env, DirectAccessAndTableListing) {
  Run("b = DBCreateTable(\"cfg\", TRUE)");
  Run("b = DBAddField(\"key\", 4, 8)");
  Run("b = DBAddField(\"val\", 1)");
  Run("b = DBInsert(\"vol\", 80)");
  Run("b = DBCreateTable(\"game\", FALSE)");
  Run("i = DBDirectGetInt(\"cfg\", \"key\", \"vol\", FALSE, FALSE, \"val\", -1)");
  EXPECT_EQ(V("i").AsInt(), 80);
  Run("i = DBDirectGetInt(\"cfg\", \"key\", \"VOL\", FALSE, FALSE, \"val\", -1)");
  EXPECT_EQ(V("i").AsInt(), -1);
  Run("b = DBDirectSetStr(\"cfg\", \"key\", \"VOL\", TRUE, FALSE, \"val\", \"90\")");
  EXPECT_TRUE(V("b").AsBool());
  Run("s = DBDirectGetStr(\"cfg\", \"key\", \"vol\", FALSE, FALSE, \"val\", \"none\")");
  EXPECT_EQ(V("s").AsStr(), "90");
  Run("s = DBGetActive()");
  EXPECT_EQ(V("s").AsStr(), "game");

  Run("i = DBGetTableCount()");
  EXPECT_EQ(V("i").AsInt(), 2);
  Run("b = DBGetTable(0, nm, st)");
  EXPECT_TRUE(V("b").AsBool());
  EXPECT_EQ(V("nm").AsStr(), "cfg");
  EXPECT_TRUE(V("st").AsBool());
  Run("b = DBGetTable(2, nm)");
  EXPECT_FALSE(V("b").AsBool());
  Run("b = DBClearRecord(\"cfg\")");
  EXPECT_TRUE(V("b").AsBool());
  Run("r = DBRecordCount(\"cfg\")");
  EXPECT_EQ(V("r").AsInt(), 0);
  Run("b = DBDeleteTable()");
  EXPECT_TRUE(V("b").AsBool());
  Run("b = DBClearTable()");
  Run("i = DBGetTableCount()");
  EXPECT_EQ(V("i").AsInt(), 0);
}

TEST_F(Env, LoadTsvFileThroughTheVirtualFileSystem) {
  testkit::TempDir dir;
  testkit::WriteFileBytes(dir / "items.tsv", {'i', 'd', ' ', 'i', 'n', 't', '\t', 'n', 'm', '\r', '\n',
                                              '7', '\t', 'a', '\\', 'n', 'b', '\r', '\n'});
  testkit::WriteFileBytes(dir / "empty.tsv", {});
  TVrFileManager vfs({}, dir.Path().string());
  vfs.SetBaseFolder(dir.Path().string());
  TVrFileManager::SetInstance(&vfs);
  Run("b = DBCreateTable(\"t\", FALSE)");
  Run("b = DBLoadTsvFile(\"items.tsv\")");
  EXPECT_TRUE(V("b").AsBool());
  Run("b = DBFindFirst()");
  Run("i = DBGetInt(\"id\")");
  EXPECT_EQ(V("i").AsInt(), 7);
  Run("s = DBGetStr(\"nm\")");
  EXPECT_EQ(V("s").AsStr(), "a\r\nb");
  Run("b = DBLoadTsvFile(\"missing.tsv\")");
  EXPECT_FALSE(V("b").AsBool());
  Run("b = DBLoadTsvFile(\"empty.tsv\")");
  EXPECT_FALSE(V("b").AsBool());
  Run("r = DBRecordCount()");
  EXPECT_EQ(V("r").AsInt(), 1);  // neither touched the table
  // The host's availability test decides.
  tables.fileAvailable = [](std::string_view) { return false; };
  Run("b = DBLoadTsvFile(\"items.tsv\")");
  EXPECT_FALSE(V("b").AsBool());
  TVrFileManager::SetInstance(nullptr);
}

TEST(DBFunctions, RefusesOtherIndexes) {
  TDBManager m;
  TDBFunctions f(&m);
  TFuncResult r;
  EXPECT_THROW(f.Call(0, nullptr, 0, r), QuboError);
  EXPECT_THROW(f.Call(125, nullptr, 0, r), QuboError);
  // Called with fewer arguments than the compiler allows, nothing reads past them.
  f.Call(87, nullptr, 0, r);
  EXPECT_EQ(r.type, PT_BOOL);
  EXPECT_FALSE(r.flagValue);
  f.Call(160, nullptr, 0, r);
  EXPECT_FALSE(r.flagValue);
}

}  // namespace
}  // namespace qubo
