// Fuzzes the loading of a stored expression from arbitrary bytes and its evaluation over a
// fresh variable table; a load, save, load again must give the same bytes. An input that
// starts with '#' is expression text instead, compiled, stored, loaded and run.
//
// Work is bounded: only short expressions with little string material run, so that repeated
// doubling by ++ stays small.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "script/exprcompiler.h"
#include "script/expreval.h"
#include "script/paramcollection.h"
#include "support/errors.h"
#include "support/stream.h"

namespace {

using namespace qubo;

constexpr size_t kMaxRunOperations = 16;
constexpr size_t kMaxRunStringBytes = 64;
constexpr size_t kMaxText = 256;

void Fill(TParamCollection& vars) {
  vars.AddNamed(PT_INT, "i")->Value().SetInt(3);
  vars.AddNamed(PT_FLOAT, "f")->Value().SetFloat(0.5L);
  vars.AddNamed(PT_STR, "s")->Value().SetStr("ab");
  vars.AddNamed(PT_BOOL, "b")->Value().SetBool(true);
  vars.AddNamed(PT_INT, "a")->Value().SetDims({2, 3});
}

bool SmallEnough(const TStoredExpression& e) {
  if (e.operations.size() > kMaxRunOperations) return false;
  size_t bytes = 0;
  for (const auto& op : e.operations) {
    bytes += op.destination.size();
    for (const auto& o : op.operands) bytes += o.text.size();
  }
  return bytes <= kMaxRunStringBytes;
}

void Run(const TStoredExpression& stored) {
  TQuboParser p;
  p.LoadFromStored(stored);
  TKoMemoryStream once;
  p.SaveToStream(once);
  once.SetPosition(0);
  TQuboParser again;
  again.LoadFromStream(once);
  TKoMemoryStream twice;
  again.SaveToStream(twice);
  if (once.Bytes() != twice.Bytes()) std::abort();
  if (!SmallEnough(stored)) return;
  TParamCollection vars;
  Fill(vars);
  const int before = vars.Count();
  TExprContext ctx;
  ctx.vars = &vars;
  p.Execute(ctx);
  p.Execute(ctx);  // the second run goes through the cached lookups
  if (vars.Count() != before) std::abort();  // temporaries must be gone
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0 && data[0] == '#') {
    if (size > kMaxText) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
      TBuildQuboParser c;
      c.Compile(text);
      Run(c.ToStored());
    } catch (const QuboError&) {
    }
    return 0;
  }
  TKoMemoryStream s(std::vector<uint8_t>(data, data + size));
  try {
    Run(ReadStoredExpression(s));
  } catch (const FormatError&) {
  }
  return 0;
}
