// Drives the stored table-set reader and TSV loading over arbitrary bytes. Any exception
// other than the player's own errors, any crash and any sanitizer report is a finding.
//
// Input: byte 0 picks what the rest is: bit 0 set, a status set, else a game set; bit 1 set,
// TSV text instead of a stored set. A set that reads is written again and read back, and the
// loaded tables are searched and sorted by their first field.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "data/dbs.h"
#include "support/errors.h"
#include "support/stream.h"

using namespace qubo;

namespace {

void Exercise(TDBManager& m) {
  for (int i = 0; i < m.Count(); ++i) {
    TDBTable* t = m.Table(i);
    if (t->Fields().Count() == 0) continue;
    TParamStr names;
    names.SetStr(t->Fields().Field(0).name);
    TParamStr values;
    values.SetStr("1");
    std::vector<int32_t> found;
    t->Find(found, &names, true, true, &values);
    TParamFlag down;
    down.SetBool(true);
    t->Sort(&names, &down);
    std::string s;
    t->GetStr(t->RecNo(), 0, s);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool status = (data[0] & 1) != 0;
  const bool tsv = (data[0] & 2) != 0;
  std::vector<uint8_t> rest(data + 1, data + size);

  TDBManager m;
  m.CreateTable("keep", !status);
  if (tsv) {
    m.CreateTable("t", false);
    const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());
    m.Active()->LoadTsv(SplitTextLines(text));
    Exercise(m);
    return 0;
  }
  try {
    TKoMemoryStream in(rest);
    m.LoadTables(in, status);
  } catch (const QuboError&) {
    return 0;  // a damaged set is reported, never more
  }
  Exercise(m);
  TKoMemoryStream out;
  m.SaveTables(out, status);
  out.SetPosition(0);
  TDBManager again;
  again.LoadTables(out, status);  // what was written must read back
  return 0;
}
