// Records of a table: the current record and its movement, appending, deleting, clearing.

#include <cstring>

#include "data/dbs.h"

namespace qubo {

bool TDBCustomTable::SetRecNo(int32_t i) {
  if (i >= 0 && i >= count_) return false;
  current_ = i < 0 ? -1 : i;
  return true;
}

bool TDBCustomTable::First() {
  if (count_ == 0) return false;
  current_ = 0;
  return true;
}

bool TDBCustomTable::Last() {
  if (count_ == 0) return false;
  current_ = count_ - 1;
  return true;
}

bool TDBCustomTable::Next() {
  if (current_ < 0 || current_ >= count_ - 1) return false;
  ++current_;
  return true;
}

bool TDBCustomTable::Prior() {
  if (current_ <= 0) return false;
  --current_;
  return true;
}

bool TDBCustomTable::Append() {
  if (!CanHold(int64_t{count_} + 1, fields_.RecordSize())) return false;
  data_.resize(data_.size() + RecordSizeU(), 0);
  current_ = count_++;
  return true;
}

bool TDBCustomTable::AppendCopy(const uint8_t* block) {
  if (!CanHold(int64_t{count_} + 1, fields_.RecordSize())) return false;
  const size_t size = RecordSizeU();
  const size_t at = data_.size();
  data_.resize(at + size);
  if (size > 0) std::memcpy(data_.data() + at, block, size);
  ++count_;
  return true;
}

bool TDBCustomTable::Delete() {
  if (current_ < 0 || current_ >= count_) return false;
  const size_t size = RecordSizeU();
  const auto at = data_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(current_) * size);
  data_.erase(at, at + static_cast<std::ptrdiff_t>(size));
  --count_;
  if (current_ >= count_) current_ = count_ - 1;
  return true;
}

void TDBCustomTable::ClearRecords() {
  data_.clear();
  data_.shrink_to_fit();
  count_ = 0;
  current_ = -1;
}

void TDBCustomTable::Reset() {
  ClearRecords();
  fields_.Clear();
}

}  // namespace qubo
