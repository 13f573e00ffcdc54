#pragma once
// The table database: named in-memory tables of typed fields whose records are flat byte
// blocks at fixed field offsets, a current record per table and one active table.
//
// TDBField / TDBFieldList describe a record; TDBCustomTable holds the records and every
// operation on them; TDBTable adds the stored form; TDBManager is the process-wide list of
// tables with the active one and the stored table sets of saved games and status data.
//
// No table operation raises for a script's mistakes: failures answer false, 0, 0.0, "" or -1.
// Only the stored-set reader raises (FormatError) for damaged bytes, and then leaves the
// manager as it was.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/numbertext.h"
#include "script/params.h"
#include "support/record.h"
#include "support/stream.h"

namespace qubo {

// Field type codes.
enum : uint8_t { DB_INT = 1, DB_FLOAT = 2, DB_BOOL = 3, DB_STR = 4 };

// Bytes one field of each fixed-size type takes in a record.
inline constexpr int32_t kDBIntSize = 4;
inline constexpr int32_t kDBFloatSize = 10;
inline constexpr int32_t kDBBoolSize = 1;
// Upper bound of a record's size: a string field that would take the record beyond it is
// refused (AddField answers -1), a stored table claiming more is damaged.
inline constexpr int32_t kDBMaxRecordSize = 1 << 24;
// Upper bound of the bytes of all records of one table, and of the record count of a table
// whose records take no bytes: Append and AddField refuse to grow beyond them.
inline constexpr int64_t kDBMaxTableBytes = int64_t{1} << 31;
inline constexpr int32_t kDBMaxRecords = 1 << 24;
// The version number of the stored table sets.
inline constexpr int32_t kDBStoreVersion = 100;
// The maximum length a TSV header field gets when it names none.
inline constexpr int32_t kDBDefaultStrLength = 80;

// Message of a stored table set that cannot be read.
extern const char* const kDBDamaged;

struct TDBField {
  int32_t size = 0;  // bytes in the record
  std::string name;
  uint8_t type = DB_STR;
  int32_t offset = 0;  // sum of the sizes of the fields before it

  bool SameLayout(const TDBField& o) const { return size == o.size && type == o.type && name == o.name; }
};

// The bytes a field of type takes for a declared maximum length; 0 for an unknown type.
// A negative length counts as 0 (the field then only holds the empty string).
int64_t DBFieldSize(uint8_t type, int64_t length);

class TDBCustomTable;

class TDBFieldList {
 public:
  explicit TDBFieldList(TDBCustomTable* owner = nullptr) : owner_(owner) {}

  int Count() const { return static_cast<int>(fields_.size()); }
  const TDBField& Field(int i) const { return fields_[static_cast<size_t>(i)]; }
  const std::vector<TDBField>& Fields() const { return fields_; }
  int32_t RecordSize() const { return recordSize_; }
  TDBCustomTable* Owner() const { return owner_; }
  // Index of the field of that name without regard to ASCII case, or -1.
  int IndexOf(std::string_view name) const;
  // Same count and, field by field, the same name (exactly), type and size.
  bool Equals(const TDBFieldList& other) const;

  // Appends a field at the end of the record (the caller checked name and size).
  void Add(std::string name, uint8_t type, int32_t size);
  void Clear();

 private:
  TDBCustomTable* owner_;
  std::vector<TDBField> fields_;
  int32_t recordSize_ = 0;
};

class TDBCustomTable {
 public:
  TDBCustomTable(std::string name = std::string(), bool status = false);
  virtual ~TDBCustomTable() = default;
  TDBCustomTable(const TDBCustomTable&) = delete;
  TDBCustomTable& operator=(const TDBCustomTable&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  bool Status() const { return status_; }
  void SetStatus(bool status) { status_ = status; }
  const TDBFieldList& Fields() const { return fields_; }
  int FieldIndex(std::string_view name) const { return fields_.IndexOf(name); }

  // Field index, or -1 when the name exists (any case), the type is not 1-4 or the record
  // (or the table) would grow beyond its bounds. Existing records get the field zeroed.
  int AddField(const std::string& name, uint8_t type, int32_t length);

  int32_t RecordCount() const { return count_; }
  int32_t RecNo() const { return current_; }
  bool SetRecNo(int32_t i);
  bool First();
  bool Last();
  bool Next();
  bool Prior();
  // A zeroed record at the end becomes current. False only when the table is at its bounds.
  bool Append();
  bool Delete();
  void ClearRecords();
  void Reset();

  // (record, field) forms: false when either index is outside its range.
  bool GetInt(int32_t record, int field, int32_t& v) const;
  bool GetFloat(int32_t record, int field, Real& v) const;
  bool GetBool(int32_t record, int field, bool& v) const;
  bool GetStr(int32_t record, int field, std::string& v) const;
  bool SetInt(int32_t record, int field, int32_t v);
  bool SetFloat(int32_t record, int field, Real v);
  bool SetBool(int32_t record, int field, bool v);
  bool SetStr(int32_t record, int field, std::string_view v);
  // By field name, on the current record.
  bool GetInt(std::string_view field, int32_t& v) const { return GetInt(current_, FieldIndex(field), v); }
  bool GetFloat(std::string_view field, Real& v) const { return GetFloat(current_, FieldIndex(field), v); }
  bool GetBool(std::string_view field, bool& v) const { return GetBool(current_, FieldIndex(field), v); }
  bool GetStr(std::string_view field, std::string& v) const { return GetStr(current_, FieldIndex(field), v); }
  bool SetInt(std::string_view field, int32_t v) { return SetInt(current_, FieldIndex(field), v); }
  bool SetFloat(std::string_view field, Real v) { return SetFloat(current_, FieldIndex(field), v); }
  bool SetBool(std::string_view field, bool v) { return SetBool(current_, FieldIndex(field), v); }
  bool SetStr(std::string_view field, std::string_view v) { return SetStr(current_, FieldIndex(field), v); }

  // Lists the records whose fields named by names match values element by element (see
  // dbs_query.cpp); null names or values list every record.
  void Find(std::vector<int32_t>& list, const TCustomParam* names, bool partial, bool ignoreCase,
            const TCustomParam* values) const;
  // Rearranges the records by the fields named by names, each descending where the element
  // of descending is true. Records with equal keys keep their order.
  void Sort(const TCustomParam* names, const TCustomParam* descending);
  // Resets the table, then takes fields from the first line and records from the others.
  bool LoadTsv(const std::vector<std::string>& lines);

  // The record block (recordSize bytes); i must be in range.
  const uint8_t* Record(int32_t i) const { return data_.data() + static_cast<size_t>(i) * RecordSizeU(); }
  uint8_t* Record(int32_t i) { return data_.data() + static_cast<size_t>(i) * RecordSizeU(); }
  // Appends a byte copy of a record block of this table's size; false at the bounds.
  bool AppendCopy(const uint8_t* block);

 protected:
  size_t RecordSizeU() const { return static_cast<size_t>(fields_.RecordSize()); }
  bool CanHold(int64_t records, int64_t recordSize) const;

  TDBFieldList fields_;
  std::string name_;
  bool status_ = false;
  std::vector<uint8_t> data_;  // count_ records of RecordSize() bytes, in order
  int32_t count_ = 0;
  int32_t current_ = -1;

};

// The table kind that has a stored form.
class TDBTable final : public TDBCustomTable {
 public:
  using TDBCustomTable::TDBCustomTable;

  void SaveToStream(RecordWriter& w) const;
  // Replaces name, status flag, fields, records and current record. FormatError for damaged
  // bytes (the table is then unchanged).
  void LoadFromStream(RecordReader& r, int32_t version);
};

// Field conversions on a record block (the conversion table of the table database).
namespace dbconv {
int32_t ReadInt(const TDBField& f, const uint8_t* rec);
Real ReadFloat(const TDBField& f, const uint8_t* rec);
bool ReadBool(const TDBField& f, const uint8_t* rec);
std::string ReadStr(const TDBField& f, const uint8_t* rec);
// A string field's text: up to its first zero byte, never beyond the field.
std::string_view StrView(const TDBField& f, const uint8_t* rec);
void WriteInt(const TDBField& f, uint8_t* rec, int32_t v);
void WriteFloat(const TDBField& f, uint8_t* rec, Real v);
void WriteBool(const TDBField& f, uint8_t* rec, bool v);
void WriteStr(const TDBField& f, uint8_t* rec, std::string_view v);
// Nearest integer, ties to even; then the low 32 bits. NaN, infinities and values beyond
// 64 bits give 0.
int32_t RoundToInt(Real x);
// Three-way comparison of reals in a strict weak order: NaN after every number, equal to NaN.
int CompareReal(Real a, Real b);
}  // namespace dbconv

class TDBManager {
 public:
  TDBManager() = default;
  TDBManager(const TDBManager&) = delete;
  TDBManager& operator=(const TDBManager&) = delete;

  // The one instance the host created, or nullptr.
  static TDBManager* Instance();
  static void SetInstance(TDBManager* manager);

  int Count() const { return static_cast<int>(tables_.size()); }
  TDBTable* Table(int i) const { return i >= 0 && i < Count() ? tables_[static_cast<size_t>(i)].get() : nullptr; }
  int ActiveIndex() const { return active_; }
  TDBTable* Active() const { return Table(active_); }

  int CreateTable(const std::string& name, bool status);
  bool DeleteTable(std::string_view name);
  // Removes table i (by position); the active table is found again by name.
  bool DeleteTableAt(int i);
  int FindTable(std::string_view name) const;
  TDBTable* Find(std::string_view name) const { return Table(FindTable(name)); }
  bool SetActive(std::string_view name);
  bool CopyRecordsTo(std::string_view name, const std::vector<int32_t>& records);
  bool InsertRecordsFrom(std::string_view name, const std::vector<int32_t>& records);

  bool DirectGetInt(std::string_view table, const TCustomParam* names, const TCustomParam* values, bool ignoreCase,
                    bool partial, std::string_view field, int32_t def, int32_t& out) const;
  bool DirectGetFloat(std::string_view table, const TCustomParam* names, const TCustomParam* values, bool ignoreCase,
                      bool partial, std::string_view field, Real def, Real& out) const;
  bool DirectGetBool(std::string_view table, const TCustomParam* names, const TCustomParam* values, bool ignoreCase,
                     bool partial, std::string_view field, bool def, bool& out) const;
  bool DirectGetStr(std::string_view table, const TCustomParam* names, const TCustomParam* values, bool ignoreCase,
                    bool partial, std::string_view field, const std::string& def, std::string& out) const;
  bool DirectSetInt(std::string_view table, const TCustomParam* names, const TCustomParam* values, bool ignoreCase,
                    bool partial, std::string_view field, int32_t v);
  bool DirectSetFloat(std::string_view table, const TCustomParam* names, const TCustomParam* values, bool ignoreCase,
                      bool partial, std::string_view field, Real v);
  bool DirectSetBool(std::string_view table, const TCustomParam* names, const TCustomParam* values, bool ignoreCase,
                     bool partial, std::string_view field, bool v);
  bool DirectSetStr(std::string_view table, const TCustomParam* names, const TCustomParam* values, bool ignoreCase,
                    bool partial, std::string_view field, std::string_view v);

  // The game tables (status false) or the status tables with their header; the game set ends
  // with the active table's name.
  void SaveTables(TStream& stream, bool status) const;
  // Replaces the tables of that status by those of the stream. A damaged set raises
  // FormatError and changes nothing.
  void LoadTables(TStream& stream, bool status);
  void DropGameTables();
  void Clear();

 private:
  // The named table and the record the direct access works on, or false.
  bool DirectTarget(std::string_view table, const TCustomParam* names, const TCustomParam* values, bool ignoreCase,
                    bool partial, std::string_view field, TDBTable*& t, int32_t& record, int& fieldIndex) const;

  std::vector<std::unique_ptr<TDBTable>> tables_;
  int active_ = -1;
};

// The lines of a text: split at CR LF, LF or CR; a final line break adds no empty line.
std::vector<std::string> SplitTextLines(std::string_view text);
// Backslash sequences of table texts: \" to ", \\ to \, \n to CR LF; other characters
// (backslashes before anything else included) stay. Trail bytes are never taken for a
// backslash.
std::string UnescapeTableText(std::string_view text);

}  // namespace qubo
