// Fields, the conversions between field types and script values, and the per-field reads and
// writes of tables.

#include <cmath>
#include <cstring>

#include "data/dbs.h"
#include "support/extended.h"
#include "support/sjis.h"

namespace qubo {

int64_t DBFieldSize(uint8_t type, int64_t length) {
  switch (type) {
    case DB_INT: return kDBIntSize;
    case DB_FLOAT: return kDBFloatSize;
    case DB_BOOL: return kDBBoolSize;
    case DB_STR: return (length < 0 ? 0 : length) + 1;
    default: return 0;
  }
}

// ---- field list ----

int TDBFieldList::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (sjis::EqualsNoCase(fields_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

bool TDBFieldList::Equals(const TDBFieldList& other) const {
  if (fields_.size() != other.fields_.size()) return false;
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (!fields_[i].SameLayout(other.fields_[i])) return false;
  }
  return true;
}

void TDBFieldList::Add(std::string name, uint8_t type, int32_t size) {
  TDBField f;
  f.size = size;
  f.name = std::move(name);
  f.type = type;
  f.offset = recordSize_;
  fields_.push_back(std::move(f));
  recordSize_ += size;
}

void TDBFieldList::Clear() {
  fields_.clear();
  recordSize_ = 0;
}

// ---- conversions ----

namespace dbconv {

namespace {

int32_t LoadI32(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return static_cast<int32_t>(v);
}
void StoreI32(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}
Real LoadReal(const uint8_t* p) {
  Extended80 e;
  std::memcpy(e.data(), p, e.size());
  return ExtendedToLongDouble(e);
}
void StoreReal(uint8_t* p, Real v) {
  const Extended80 e = LongDoubleToExtended(v);
  std::memcpy(p, e.data(), e.size());
}

const char* FlagText(bool b) { return b ? "TRUE" : "FALSE"; }
bool TextFlag(std::string_view s) { return s == "TRUE"; }

}  // namespace

int32_t RoundToInt(Real x) {
  if (!std::isfinite(x)) return 0;
  const Real r = std::nearbyint(x);  // the default rounding mode: nearest, ties to even
  constexpr Real kTwo63 = 9223372036854775808.0L;
  if (r < -kTwo63 || r >= kTwo63) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(r))));
}

int CompareReal(Real a, Real b) {
  const bool na = std::isnan(a), nb = std::isnan(b);
  if (na || nb) return na == nb ? 0 : (na ? 1 : -1);
  return a < b ? -1 : (b < a ? 1 : 0);
}

std::string_view StrView(const TDBField& f, const uint8_t* rec) {
  const auto* p = reinterpret_cast<const char*>(rec + f.offset);
  const auto size = static_cast<size_t>(f.size);
  const void* zero = std::memchr(p, 0, size);
  return std::string_view(p, zero ? static_cast<size_t>(static_cast<const char*>(zero) - p) : size);
}

int32_t ReadInt(const TDBField& f, const uint8_t* rec) {
  const uint8_t* p = rec + f.offset;
  switch (f.type) {
    case DB_INT: return LoadI32(p);
    case DB_FLOAT: return RoundToInt(LoadReal(p));
    case DB_BOOL: return p[0] != 0 ? 1 : 0;
    default: return numtext::IntOrZero(StrView(f, rec));
  }
}

Real ReadFloat(const TDBField& f, const uint8_t* rec) {
  const uint8_t* p = rec + f.offset;
  switch (f.type) {
    case DB_INT: return LoadI32(p);
    case DB_FLOAT: return LoadReal(p);
    case DB_BOOL: return p[0] != 0 ? 1 : 0;
    default: return numtext::FloatOrZero(StrView(f, rec));
  }
}

bool ReadBool(const TDBField& f, const uint8_t* rec) {
  const uint8_t* p = rec + f.offset;
  switch (f.type) {
    case DB_INT: return LoadI32(p) != 0;
    case DB_FLOAT: return LoadReal(p) != 0;
    case DB_BOOL: return p[0] != 0;
    default: return TextFlag(StrView(f, rec));
  }
}

std::string ReadStr(const TDBField& f, const uint8_t* rec) {
  const uint8_t* p = rec + f.offset;
  switch (f.type) {
    case DB_INT: return numtext::IntToText(LoadI32(p));
    case DB_FLOAT: return numtext::FloatToText(LoadReal(p));
    case DB_BOOL: return FlagText(p[0] != 0);
    default: return std::string(StrView(f, rec));
  }
}

void WriteInt(const TDBField& f, uint8_t* rec, int32_t v) {
  uint8_t* p = rec + f.offset;
  switch (f.type) {
    case DB_INT: StoreI32(p, v); break;
    case DB_FLOAT: StoreReal(p, v); break;
    case DB_BOOL: p[0] = v != 0 ? 1 : 0; break;
    default: WriteStr(f, rec, numtext::IntToText(v)); break;
  }
}

void WriteFloat(const TDBField& f, uint8_t* rec, Real v) {
  uint8_t* p = rec + f.offset;
  switch (f.type) {
    case DB_INT: StoreI32(p, RoundToInt(v)); break;
    case DB_FLOAT: StoreReal(p, v); break;
    case DB_BOOL: p[0] = v != 0 ? 1 : 0; break;
    default: WriteStr(f, rec, numtext::FloatToText(v)); break;
  }
}

void WriteBool(const TDBField& f, uint8_t* rec, bool v) {
  uint8_t* p = rec + f.offset;
  switch (f.type) {
    case DB_INT: StoreI32(p, v ? 1 : 0); break;
    case DB_FLOAT: StoreReal(p, v ? 1 : 0); break;
    case DB_BOOL: p[0] = v ? 1 : 0; break;
    default: WriteStr(f, rec, FlagText(v)); break;
  }
}

void WriteStr(const TDBField& f, uint8_t* rec, std::string_view v) {
  uint8_t* p = rec + f.offset;
  switch (f.type) {
    case DB_INT: StoreI32(p, numtext::IntOrZero(v)); break;
    case DB_FLOAT: StoreReal(p, numtext::FloatOrZero(v)); break;
    case DB_BOOL: p[0] = TextFlag(v) ? 1 : 0; break;
    default: {
      // At most size - 1 bytes, cut at a character boundary so that no lead byte is left
      // without its trail byte; the rest of the field is zeroed.
      const size_t room = f.size > 0 ? static_cast<size_t>(f.size) - 1 : 0;
      size_t n = 0;
      while (n < v.size()) {
        const size_t next = sjis::Next(v, n);
        if (next > room) break;
        n = next;
      }
      if (n > 0) std::memcpy(p, v.data(), n);
      std::memset(p + n, 0, static_cast<size_t>(f.size) - n);
      break;
    }
  }
}

}  // namespace dbconv

// ---- table fields and values ----

TDBCustomTable::TDBCustomTable(std::string name, bool status)
    : fields_(this), name_(std::move(name)), status_(status) {}

bool TDBCustomTable::CanHold(int64_t records, int64_t recordSize) const {
  if (records > INT32_MAX - 1) return false;
  if (recordSize > kDBMaxRecordSize) return false;
  if (recordSize == 0) return records <= kDBMaxRecords;
  return records * recordSize <= kDBMaxTableBytes;
}

int TDBCustomTable::AddField(const std::string& name, uint8_t type, int32_t length) {
  const int64_t size = DBFieldSize(type, length);
  if (size == 0 || fields_.IndexOf(name) >= 0) return -1;
  const int64_t oldSize = fields_.RecordSize();
  const int64_t newSize = oldSize + size;
  if (!CanHold(count_, newSize)) return -1;
  if (count_ > 0) {
    // Widen every record, back to front so nothing is overwritten before it moved.
    data_.resize(static_cast<size_t>(count_) * static_cast<size_t>(newSize));
    for (int64_t i = count_ - 1; i >= 0; --i) {
      uint8_t* dst = data_.data() + i * newSize;
      std::memmove(dst, data_.data() + i * oldSize, static_cast<size_t>(oldSize));
      std::memset(dst + oldSize, 0, static_cast<size_t>(size));
    }
  }
  fields_.Add(name, type, static_cast<int32_t>(size));
  return fields_.Count() - 1;
}

#define QUBO_DB_CHECK(record, field)                                                             \
  if ((record) < 0 || (record) >= count_ || (field) < 0 || (field) >= fields_.Count()) return false

bool TDBCustomTable::GetInt(int32_t record, int field, int32_t& v) const {
  QUBO_DB_CHECK(record, field);
  v = dbconv::ReadInt(fields_.Field(field), Record(record));
  return true;
}
bool TDBCustomTable::GetFloat(int32_t record, int field, Real& v) const {
  QUBO_DB_CHECK(record, field);
  v = dbconv::ReadFloat(fields_.Field(field), Record(record));
  return true;
}
bool TDBCustomTable::GetBool(int32_t record, int field, bool& v) const {
  QUBO_DB_CHECK(record, field);
  v = dbconv::ReadBool(fields_.Field(field), Record(record));
  return true;
}
bool TDBCustomTable::GetStr(int32_t record, int field, std::string& v) const {
  QUBO_DB_CHECK(record, field);
  v = dbconv::ReadStr(fields_.Field(field), Record(record));
  return true;
}
bool TDBCustomTable::SetInt(int32_t record, int field, int32_t v) {
  QUBO_DB_CHECK(record, field);
  dbconv::WriteInt(fields_.Field(field), Record(record), v);
  return true;
}
bool TDBCustomTable::SetFloat(int32_t record, int field, Real v) {
  QUBO_DB_CHECK(record, field);
  dbconv::WriteFloat(fields_.Field(field), Record(record), v);
  return true;
}
bool TDBCustomTable::SetBool(int32_t record, int field, bool v) {
  QUBO_DB_CHECK(record, field);
  dbconv::WriteBool(fields_.Field(field), Record(record), v);
  return true;
}
bool TDBCustomTable::SetStr(int32_t record, int field, std::string_view v) {
  QUBO_DB_CHECK(record, field);
  dbconv::WriteStr(fields_.Field(field), Record(record), v);
  return true;
}

#undef QUBO_DB_CHECK

}  // namespace qubo
