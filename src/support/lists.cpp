#include "support/lists.h"

#include <algorithm>
#include <cmath>

#include "support/errors.h"
#include "support/record.h"
#include "support/stream.h"

namespace qubo {

// ---- TIntList ----

int32_t TIntList::GetInt(int i) const {
  if (i < 0 || i >= Count()) throw QuboError("Error:TIntList.GetInt");
  return items_[static_cast<size_t>(i)];
}

void TIntList::SetInt(int i, int32_t v) {
  if (i < 0 || i >= kMaxEntries) throw QuboError("Error:TIntList.SetInt");
  if (i >= Count()) items_.resize(static_cast<size_t>(i) + 1, 0);
  items_[static_cast<size_t>(i)] = v;
}

int TIntList::Add(int32_t v) {
  items_.push_back(v);
  return Count() - 1;
}

int TIntList::IndexOf(int32_t v) const {
  const auto it = std::find(items_.begin(), items_.end(), v);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TIntList::Delete(int i) {
  if (i >= 0 && i < Count()) items_.erase(items_.begin() + i);
}

// ---- TExtendedList ----

double TExtendedList::Get(int i) const {
  if (i < 0 || i >= Count()) throw QuboError("Error:TExtendedList.Get");
  return items_[static_cast<size_t>(i)];
}

int TExtendedList::Add(double x) {
  items_.push_back(x);
  return Count() - 1;
}

int TExtendedList::IndexOf(double x) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == x) return static_cast<int>(i);
  }
  return -1;
}

void TExtendedList::Sort(bool descending) {
  // The three-way comparison calls NaN equal to everything, which is no ordering at all and
  // lets a sort run off its range; NaNs are set aside first.
  const auto numbers_end = std::stable_partition(items_.begin(), items_.end(), [](double x) { return !std::isnan(x); });
  if (descending) {
    std::stable_sort(items_.begin(), numbers_end, [](double a, double b) { return a > b; });
  } else {
    std::stable_sort(items_.begin(), numbers_end, [](double a, double b) { return a < b; });
  }
}

void TExtendedList::Delete(int i) {
  if (i >= 0 && i < Count()) items_.erase(items_.begin() + i);
}

// ---- TIntArray ----

int32_t TIntArray::Get(int i) const {
  if (i < 0 || i >= Count()) throw QuboError("Error:TIntArray.Get");
  return items_[static_cast<size_t>(i)];
}

void TIntArray::Set(int i, int32_t v) {
  if (i < 0 || i >= Count()) throw QuboError("Error:TIntArray.Set");
  items_[static_cast<size_t>(i)] = v;
}

// ---- TArrayString ----

const std::string& TArrayString::Get(int i) const {
  static const std::string empty;
  return i >= 0 && i < Count() ? items_[static_cast<size_t>(i)] : empty;
}

void TArrayString::Set(int i, std::string s) {
  if (i >= 0 && i < Count()) items_[static_cast<size_t>(i)] = std::move(s);
}

void TArrayString::SaveToStream(TStream& stream) const {
  if (items_.size() > 0x7FFFFFFF) throw StreamError(kStreamWriteError);
  RecordWriter w(stream);
  w.I32(Count());
  for (const auto& s : items_) w.String(s);
}

void TArrayString::LoadFromStream(TStream& stream) {
  items_.clear();
  RecordReader r(stream);
  const int32_t n = r.Count(4);
  std::vector<std::string> items;
  items.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) items.push_back(r.String());
  items_ = std::move(items);
}

}  // namespace qubo
