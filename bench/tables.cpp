// The table database beside in-memory SQLite: loading 10^5 TSV lines of 8 fields, a search
// on two keys and a sort on two keys over 10^5 records.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "data/dbs.h"
#include "script/params.h"

#ifdef QUBO_HAVE_SQLITE
#include <sqlite3.h>
#endif

using namespace qubo;

namespace {

constexpr int kRows = 100000;

// Eight fields: two integers, a real, a flag and four strings; keys repeat so that a search
// on (group, tag) finds about a hundred records.
std::string Row(int i) {
  return std::to_string(i) + "\t" + std::to_string(i % 1000) + "\t" + std::to_string(i * 0.25) + "\t" +
         (i % 2 ? "TRUE" : "FALSE") + "\tname" + std::to_string((i * 7919) % kRows) + "\ttag" +
         std::to_string(i % 10) + "\tsome text\tmore text";
}

const std::vector<std::string>& Lines() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> v;
    v.reserve(kRows + 1);
    v.push_back("id int\tgroup int\tw float\tok bool\tname str 20\ttag str 8\ta\tb");
    for (int i = 0; i < kRows; ++i) v.push_back(Row(i));
    return v;
  }();
  return lines;
}

std::unique_ptr<TParamStr> Strs(const std::vector<std::string>& v) {
  auto p = std::make_unique<TParamStr>();
  p->SetDims({static_cast<int32_t>(v.size())});
  for (size_t i = 0; i < v.size(); ++i) p->SetStrAt(static_cast<int32_t>(i), v[i]);
  return p;
}

void BM_LoadTsv(benchmark::State& state) {
  const auto& lines = Lines();
  TDBTable t("t");
  for (auto _ : state) {
    benchmark::DoNotOptimize(t.LoadTsv(lines));
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_LoadTsv)->Unit(benchmark::kMillisecond);

void BM_FindTwoKeys(benchmark::State& state) {
  TDBTable t("t");
  t.LoadTsv(Lines());
  auto names = Strs({"group", "tag"});
  auto values = Strs({"500", "tag0"});
  std::vector<int32_t> found;
  for (auto _ : state) {
    t.Find(found, names.get(), false, false, values.get());
    benchmark::DoNotOptimize(found.data());
  }
  state.counters["found"] = static_cast<double>(found.size());
}
BENCHMARK(BM_FindTwoKeys)->Unit(benchmark::kMillisecond);

void BM_SortTwoKeys(benchmark::State& state) {
  TDBTable t("t");
  t.LoadTsv(Lines());
  auto names = Strs({"tag", "name"});
  TParamFlag desc;
  desc.SetDims({2});
  desc.SetBoolAt(0, false);
  desc.SetBoolAt(1, true);
  auto byId = Strs({"id"});
  TParamFlag up;
  up.SetBool(false);
  for (auto _ : state) {
    state.PauseTiming();
    t.Sort(byId.get(), &up);  // back to the loaded order
    state.ResumeTiming();
    t.Sort(names.get(), &desc);
  }
}
BENCHMARK(BM_SortTwoKeys)->Unit(benchmark::kMillisecond);

#ifdef QUBO_HAVE_SQLITE

struct Db {
  sqlite3* db = nullptr;
  Db() {
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
  }
  ~Db() { sqlite3_close(db); }
  void Exec(const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
};

// The peer of LoadTsv: the same lines split at TAB and inserted with one prepared statement.
void Load(Db& d) {
  d.Exec("DROP TABLE IF EXISTS t;");
  d.Exec("CREATE TABLE t(id INTEGER, grp INTEGER, w REAL, ok INTEGER, name TEXT, tag TEXT, a TEXT, b TEXT);");
  d.Exec("BEGIN;");
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(d.db, "INSERT INTO t VALUES(?,?,?,?,?,?,?,?)", -1, &st, nullptr);
  const auto& lines = Lines();
  for (size_t li = 1; li < lines.size(); ++li) {
    const std::string& line = lines[li];
    size_t start = 0;
    for (int k = 1; k <= 8; ++k) {
      size_t end = line.find('\t', start);
      if (end == std::string::npos) end = line.size();
      sqlite3_bind_text(st, k, line.data() + start, static_cast<int>(end - start), SQLITE_TRANSIENT);
      start = end + 1;
    }
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  d.Exec("COMMIT;");
}

void BM_SqliteLoad(benchmark::State& state) {
  Db d;
  for (auto _ : state) Load(d);
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SqliteLoad)->Unit(benchmark::kMillisecond);

void BM_SqliteFindTwoKeys(benchmark::State& state) {
  Db d;
  Load(d);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(d.db, "SELECT rowid FROM t WHERE grp = 500 AND tag = 'tag0'", -1, &st, nullptr);
  std::vector<int64_t> found;
  for (auto _ : state) {
    found.clear();
    while (sqlite3_step(st) == SQLITE_ROW) found.push_back(sqlite3_column_int64(st, 0));
    sqlite3_reset(st);
    benchmark::DoNotOptimize(found.data());
  }
  sqlite3_finalize(st);
  state.counters["found"] = static_cast<double>(found.size());
}
BENCHMARK(BM_SqliteFindTwoKeys)->Unit(benchmark::kMillisecond);

void BM_SqliteSortTwoKeys(benchmark::State& state) {
  Db d;
  Load(d);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(d.db, "SELECT rowid FROM t ORDER BY tag ASC, name DESC", -1, &st, nullptr);
  std::vector<int64_t> order;
  order.reserve(kRows);
  for (auto _ : state) {
    order.clear();
    while (sqlite3_step(st) == SQLITE_ROW) order.push_back(sqlite3_column_int64(st, 0));
    sqlite3_reset(st);
    benchmark::DoNotOptimize(order.data());
  }
  sqlite3_finalize(st);
}
BENCHMARK(BM_SqliteSortTwoKeys)->Unit(benchmark::kMillisecond);

#endif

}  // namespace
