// The table manager: the list of tables, the active table, copying between tables and the
// direct access by search.

#include "data/dbs.h"
#include "support/sjis.h"

namespace qubo {

namespace {
TDBManager* g_manager = nullptr;
}  // namespace

TDBManager* TDBManager::Instance() { return g_manager; }
void TDBManager::SetInstance(TDBManager* manager) { g_manager = manager; }

int TDBManager::FindTable(std::string_view name) const {
  for (size_t i = 0; i < tables_.size(); ++i) {
    if (sjis::EqualsNoCase(tables_[i]->Name(), name)) return static_cast<int>(i);
  }
  return -1;
}

int TDBManager::CreateTable(const std::string& name, bool status) {
  if (name.empty()) return -1;
  int i = FindTable(name);
  if (i < 0) {
    tables_.push_back(std::make_unique<TDBTable>(name, status));
    i = Count() - 1;
  } else if (!status) {
    tables_[static_cast<size_t>(i)]->Reset();
  }
  active_ = i;
  return i;
}

bool TDBManager::DeleteTableAt(int i) {
  if (i < 0 || i >= Count()) return false;
  std::string activeName;
  const bool hadOther = active_ >= 0 && active_ != i;
  if (hadOther) activeName = Active()->Name();
  tables_.erase(tables_.begin() + i);
  active_ = hadOther ? FindTable(activeName) : -1;
  return true;
}

bool TDBManager::DeleteTable(std::string_view name) { return DeleteTableAt(FindTable(name)); }

bool TDBManager::SetActive(std::string_view name) {
  const int i = FindTable(name);
  if (i < 0) return false;
  active_ = i;
  return true;
}

bool TDBManager::CopyRecordsTo(std::string_view name, const std::vector<int32_t>& records) {
  TDBTable* source = Active();
  TDBTable* dest = Find(name);
  if (!source || !dest || dest == source) return false;
  dest->Reset();
  for (const TDBField& f : source->Fields().Fields()) {
    // The same name, type and size: the string length is the size less its terminator.
    dest->AddField(f.name, f.type, f.size - 1);
  }
  for (const int32_t r : records) {
    if (r < 0 || r >= source->RecordCount()) continue;
    if (!dest->AppendCopy(source->Record(r))) break;
  }
  return true;
}

bool TDBManager::InsertRecordsFrom(std::string_view name, const std::vector<int32_t>& records) {
  TDBTable* dest = Active();
  TDBTable* source = Find(name);
  if (!dest || !source || !dest->Fields().Equals(source->Fields())) return false;
  // The source may be the active table itself: appending can move its records, so the
  // listed records are taken from a snapshot made first.
  const size_t size = static_cast<size_t>(source->Fields().RecordSize());
  std::vector<uint8_t> snapshot;
  snapshot.reserve(records.size() * size);
  size_t taken = 0;
  for (const int32_t r : records) {
    if (r < 0 || r >= source->RecordCount()) continue;
    const uint8_t* rec = source->Record(r);
    snapshot.insert(snapshot.end(), rec, rec + size);
    ++taken;
  }
  for (size_t k = 0; k < taken; ++k) {
    if (!dest->AppendCopy(snapshot.data() + k * size)) break;
  }
  return true;
}

bool TDBManager::DirectTarget(std::string_view table, const TCustomParam* names, const TCustomParam* values,
                              bool ignoreCase, bool partial, std::string_view field, TDBTable*& t, int32_t& record,
                              int& fieldIndex) const {
  t = Find(table);
  if (!t) return false;
  std::vector<int32_t> found;
  t->Find(found, names, partial, ignoreCase, values);
  if (found.empty()) return false;
  fieldIndex = t->FieldIndex(field);
  if (fieldIndex < 0) return false;
  record = found.front();
  return true;
}

#define QUBO_DB_DIRECT_GET(Name, Type)                                                                          \
  bool TDBManager::DirectGet##Name(std::string_view table, const TCustomParam* names, const TCustomParam* values, \
                                   bool ignoreCase, bool partial, std::string_view field, Type def,               \
                                   Type& out) const {                                                             \
    TDBTable* t;                                                                                                  \
    int32_t record;                                                                                               \
    int f;                                                                                                        \
    if (DirectTarget(table, names, values, ignoreCase, partial, field, t, record, f) && t->Get##Name(record, f, out)) \
      return true;                                                                                                \
    out = def;                                                                                                    \
    return false;                                                                                                 \
  }

#define QUBO_DB_DIRECT_SET(Name, Type)                                                                          \
  bool TDBManager::DirectSet##Name(std::string_view table, const TCustomParam* names, const TCustomParam* values, \
                                   bool ignoreCase, bool partial, std::string_view field, Type v) {               \
    TDBTable* t;                                                                                                  \
    int32_t record;                                                                                               \
    int f;                                                                                                        \
    return DirectTarget(table, names, values, ignoreCase, partial, field, t, record, f) && t->Set##Name(record, f, v); \
  }

QUBO_DB_DIRECT_GET(Int, int32_t)
QUBO_DB_DIRECT_GET(Float, Real)
QUBO_DB_DIRECT_GET(Bool, bool)
QUBO_DB_DIRECT_SET(Int, int32_t)
QUBO_DB_DIRECT_SET(Float, Real)
QUBO_DB_DIRECT_SET(Bool, bool)
QUBO_DB_DIRECT_SET(Str, std::string_view)

#undef QUBO_DB_DIRECT_GET
#undef QUBO_DB_DIRECT_SET

bool TDBManager::DirectGetStr(std::string_view table, const TCustomParam* names, const TCustomParam* values,
                              bool ignoreCase, bool partial, std::string_view field, const std::string& def,
                              std::string& out) const {
  TDBTable* t;
  int32_t record;
  int f;
  if (DirectTarget(table, names, values, ignoreCase, partial, field, t, record, f) && t->GetStr(record, f, out))
    return true;
  out = def;
  return false;
}

void TDBManager::DropGameTables() {
  std::erase_if(tables_, [](const std::unique_ptr<TDBTable>& t) { return !t->Status(); });
  active_ = -1;
}

void TDBManager::Clear() {
  tables_.clear();
  active_ = -1;
}

}  // namespace qubo
