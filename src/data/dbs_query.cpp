// Searching and sorting the records of a table.
//
// Both resolve their field names and values once, before the scan, so the work per record is
// reading fields at fixed offsets and comparing.

#include <algorithm>
#include <cstring>
#include <numeric>

#include "data/dbs.h"
#include "support/sjis.h"
#include "support/textutils.h"

namespace qubo {

namespace {

struct FindKey {
  const TDBField* field = nullptr;
  int32_t intValue = 0;
  Real floatValue = 0;
  bool flagValue = false;
  std::string text;  // upper-cased when matching without regard to case and partially
  // An integer field matched exactly against a text: the text as the one integer whose
  // decimal text it is (none: no integer field can match).
  bool byInt = false;
  bool intPossible = false;
};

int32_t LoadI32(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return static_cast<int32_t>(v);
}

}  // namespace

void TDBCustomTable::Find(std::vector<int32_t>& list, const TCustomParam* names, bool partial, bool ignoreCase,
                          const TCustomParam* values) const {
  list.clear();
  const int32_t n = names && values ? std::min(names->Count(), values->Count()) : 0;
  if (n <= 0) {
    list.resize(static_cast<size_t>(count_));
    std::iota(list.begin(), list.end(), 0);
    return;
  }
  const uint8_t kind = values->ParamType();
  std::vector<FindKey> keys(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    // A record is listed only when every key matched, so a name that is no field ends the
    // search before any record could be listed.
    const int idx = fields_.IndexOf(names->GetStrAt(i));
    if (idx < 0) return;
    FindKey& k = keys[static_cast<size_t>(i)];
    k.field = &fields_.Field(idx);
    switch (kind) {
      case PT_INT: k.intValue = values->GetIntAt(i); break;
      case PT_FLOAT: k.floatValue = values->GetFloatAt(i); break;
      case PT_BOOL: k.flagValue = values->GetBoolAt(i); break;
      default:
        k.text = values->GetStrAt(i);
        if (partial && ignoreCase) k.text = sjis::AsciiUpper(k.text);
        if (!partial && k.field->type == DB_INT) {
          // Decimal texts hold no letters, so case does not matter either.
          k.byInt = true;
          const auto v = numtext::ParseInt(k.text);
          k.intPossible = v && numtext::IntToText(*v) == k.text;
          k.intValue = v.value_or(0);
        }
        break;
    }
  }

  std::string scratch;
  auto textMatches = [&](const FindKey& k, const uint8_t* rec) {
    if (k.byInt) return k.intPossible && LoadI32(rec + k.field->offset) == k.intValue;
    std::string_view text;
    if (k.field->type == DB_STR) {
      text = dbconv::StrView(*k.field, rec);
    } else {
      scratch = dbconv::ReadStr(*k.field, rec);
      text = scratch;
    }
    if (!partial) return ignoreCase ? sjis::EqualsNoCase(text, k.text) : text == k.text;
    // The field's text must occur within the searched text.
    if (ignoreCase) return JPos(sjis::AsciiUpper(text), k.text) > 0;
    return JPos(text, k.text) > 0;
  };

  for (int32_t r = 0; r < count_; ++r) {
    const uint8_t* rec = Record(r);
    bool all = true;
    for (const FindKey& k : keys) {
      bool match;
      switch (kind) {
        case PT_INT: match = dbconv::ReadInt(*k.field, rec) == k.intValue; break;
        case PT_FLOAT: match = dbconv::ReadFloat(*k.field, rec) == k.floatValue; break;
        case PT_BOOL: match = dbconv::ReadBool(*k.field, rec) == k.flagValue; break;
        default: match = textMatches(k, rec); break;
      }
      if (!match) {
        all = false;
        break;
      }
    }
    if (all) list.push_back(r);
  }
}

namespace {

struct SortKey {
  const TDBField* field;
  bool descending;
};

// Three-way comparison of one field of two records by the field's own type. Integers and
// flags compare by value (no difference that could overflow), reals in a strict weak order
// with NaN last, strings by unsigned byte order.
int CompareField(const TDBField& f, const uint8_t* a, const uint8_t* b) {
  switch (f.type) {
    case DB_INT: {
      const int32_t x = LoadI32(a + f.offset), y = LoadI32(b + f.offset);
      return x < y ? -1 : (y < x ? 1 : 0);
    }
    case DB_FLOAT: return dbconv::CompareReal(dbconv::ReadFloat(f, a), dbconv::ReadFloat(f, b));
    case DB_BOOL: {
      const int x = a[f.offset] != 0, y = b[f.offset] != 0;
      return x - y;
    }
    default: {
      const int c = dbconv::StrView(f, a).compare(dbconv::StrView(f, b));
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
  }
}

}  // namespace

void TDBCustomTable::Sort(const TCustomParam* names, const TCustomParam* descending) {
  const int32_t n = names && descending ? std::min(names->Count(), descending->Count()) : 0;
  std::vector<SortKey> keys;
  for (int32_t i = 0; i < n; ++i) {
    const int idx = fields_.IndexOf(names->GetStrAt(i));
    if (idx < 0) continue;
    keys.push_back({&fields_.Field(idx), descending->GetBoolAt(i)});
  }
  if (keys.empty() || count_ < 2) return;

  std::vector<int32_t> order(static_cast<size_t>(count_));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int32_t x, int32_t y) {
    const uint8_t* a = Record(x);
    const uint8_t* b = Record(y);
    for (const SortKey& k : keys) {
      const int c = CompareField(*k.field, a, b);
      if (c != 0) return k.descending ? c > 0 : c < 0;
    }
    return false;
  });

  const size_t size = RecordSizeU();
  std::vector<uint8_t> sorted(data_.size());
  for (size_t i = 0; i < order.size(); ++i) {
    std::memcpy(sorted.data() + i * size, Record(order[i]), size);
  }
  data_.swap(sorted);
}

}  // namespace qubo
