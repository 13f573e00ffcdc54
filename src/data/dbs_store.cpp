// The stored forms: one table, and the table sets of saved games and status data. Each
// writer sits beside its reader, field for field in the order of the record.

#include "data/dbs.h"
#include "support/errors.h"

namespace qubo {

const char* const kDBDamaged = "Damaged table data";

namespace {

// Smallest stored table: kind byte, empty name, status byte, field count, record count,
// current record.
constexpr int64_t kMinStoredTable = 1 + 4 + 1 + 4 + 4 + 4;
// Smallest stored field: size, empty name, type byte.
constexpr int64_t kMinStoredField = 4 + 4 + 1;

[[noreturn]] void Damaged(const char* what) { throw FormatError(std::string(kDBDamaged) + ": " + what); }

}  // namespace

// ---- one table ----

void TDBTable::SaveToStream(RecordWriter& w) const {
  w.String(name_);
  w.U8(status_ ? 1 : 0);
  w.I32(fields_.Count());
  for (const TDBField& f : fields_.Fields()) {
    w.I32(f.size);
    w.String(f.name);
    w.U8(f.type);
  }
  w.I32(count_);
  if (!data_.empty()) w.Bytes(data_.data(), static_cast<int64_t>(data_.size()));
  w.I32(current_);
}

void TDBTable::LoadFromStream(RecordReader& r, int32_t /*version: one layout so far*/) {
  std::string name = r.String();
  const bool status = r.U8() != 0;
  TDBFieldList fields;
  const int32_t fieldCount = r.Count(kMinStoredField);
  for (int32_t i = 0; i < fieldCount; ++i) {
    const int32_t size = r.I32();
    std::string fieldName = r.String();
    const uint8_t type = r.U8();
    // The size must be the one the type gives: a record is read at these offsets.
    if (DBFieldSize(type, int64_t{size} - 1) != size || size <= 0) Damaged("field size does not match its type");
    if (int64_t{fields.RecordSize()} + size > kDBMaxRecordSize) Damaged("record too large");
    if (fields.IndexOf(fieldName) >= 0) Damaged("duplicate field name");
    fields.Add(std::move(fieldName), type, size);
  }
  const int32_t recordSize = fields.RecordSize();
  int32_t count;
  if (recordSize > 0) {
    count = r.Count(recordSize);
  } else {
    count = r.I32();
    if (count < 0 || count > kDBMaxRecords) Damaged("record count");
  }
  if (!CanHold(count, recordSize)) Damaged("record count");
  std::vector<uint8_t> data(static_cast<size_t>(count) * static_cast<size_t>(recordSize));
  if (!data.empty()) r.Read(data.data(), static_cast<int64_t>(data.size()));
  const int32_t current = r.I32();
  if (current < -1 || current >= count) Damaged("current record");

  name_ = std::move(name);
  status_ = status;
  fields_.Clear();
  for (const TDBField& f : fields.Fields()) fields_.Add(f.name, f.type, f.size);
  data_ = std::move(data);
  count_ = count;
  current_ = current;
}

// ---- table sets ----

void TDBManager::SaveTables(TStream& stream, bool status) const {
  RecordWriter w(stream);
  w.I32(kDBStoreVersion);
  int32_t n = 0;
  for (const auto& t : tables_) n += t->Status() == status ? 1 : 0;
  w.I32(n);
  for (const auto& t : tables_) {
    if (t->Status() != status) continue;
    w.U8(0);  // the kind: the stored table
    t->SaveToStream(w);
  }
  if (!status) w.String(Active() ? Active()->Name() : std::string());
}

void TDBManager::LoadTables(TStream& stream, bool status) {
  RecordReader r(stream, RecordReader::Truncation::Raise, std::string(kDBDamaged) + ": unexpected end");
  const int32_t version = r.I32();
  const int32_t n = r.Count(kMinStoredTable);
  std::vector<std::unique_ptr<TDBTable>> loaded;
  loaded.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    if (r.U8() != 0) Damaged("unknown table kind");
    auto t = std::make_unique<TDBTable>();
    t->LoadFromStream(r, version);
    loaded.push_back(std::move(t));
  }
  std::string activeName;
  if (!status) activeName = r.String();

  // Everything was read: only now are the tables of that status replaced.
  std::erase_if(tables_, [status](const std::unique_ptr<TDBTable>& t) { return t->Status() == status; });
  for (auto& t : loaded) tables_.push_back(std::move(t));
  if (status) {
    active_ = n > 0 ? Count() - 1 : -1;
  } else {
    active_ = activeName.empty() ? -1 : FindTable(activeName);
  }
}

}  // namespace qubo
