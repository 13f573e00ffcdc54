#pragma once
// A variable table with the built-in function manager wired into an expression context, and
// expression texts run over it, for the tests of the function families.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "script/exprcompiler.h"
#include "script/expreval.h"
#include "script/paramcollection.h"
#include "script/sysfuncman.h"

namespace qubo::testkit {

struct FunctionRig : ::testing::Test {
  TParamCollection vars;
  TSysFuncMan functions;
  TExprContext ctx;

  // host: what the functions reach beyond the table (null: ScriptHost()); it is only kept,
  // so a fixture may pass a member it constructs later.
  explicit FunctionRig(TScriptHost* host = nullptr) : functions(vars, nullptr, host) {
    ctx.vars = &vars;
    ctx.functions = &functions;
    functions.SetContext(&ctx);
  }

  static std::unique_ptr<TQuboParser> Compiled(const std::string& text) {
    TBuildQuboParser compiler;
    compiler.Compile(text);
    auto e = std::make_unique<TQuboParser>();
    e->LoadFromStored(compiler.ToStored());
    return e;
  }
  // The value of an expression as text; "<none>" when it yields none. Fails the test when
  // the run fails.
  std::string Eval(const std::string& text) {
    auto e = Compiled(text);
    EXPECT_TRUE(e->Execute(ctx)) << text << ": " << e->LastError();
    return e->Result() != nullptr ? e->Result()->AsStr() : "<none>";
  }
  // The message of the failure that ends the run of text.
  std::string Failure(const std::string& text) {
    auto e = Compiled(text);
    EXPECT_FALSE(e->Execute(ctx)) << text;
    return e->LastError();
  }
};

}  // namespace qubo::testkit
