#include "support/hash.h"

#include "support/sjis.h"

namespace qubo {

namespace {

uint8_t LowerAt(std::string_view s, size_t i) {
  const auto b = static_cast<uint8_t>(s[i]);
  return b >= 'A' && b <= 'Z' ? static_cast<uint8_t>(b + 32) : b;
}

}  // namespace

// ---- THashCollectionItem ----

void THashCollectionItem::SetName(const std::string& name) {
  if (name == name_) return;
  name_ = name;
  Unlink();
  Rehash();
}

void THashCollectionItem::Rehash() {
  if (collection_ == nullptr) return;
  Unlink();
  collection_->Link(this, THashCollection::NameHash(name_));
}

void THashCollectionItem::Unlink() {
  if (bucket_ < 0 || collection_ == nullptr) return;
  if (prev_ != nullptr) {
    prev_->next_ = next_;
  } else {
    collection_->buckets_[bucket_] = next_;
  }
  if (next_ != nullptr) next_->prev_ = prev_;
  prev_ = next_ = nullptr;
  bucket_ = -1;
}

// ---- THashCollection ----

THashCollection::~THashCollection() { Clear(); }

int THashCollection::NameHash(std::string_view name) {
  const size_t n = name.size();
  uint32_t h = static_cast<uint32_t>(16 * n);
  if (n >= 2) {
    // Only b[0] and b[n - 2] take part; each is lowered only when it starts a single-byte
    // character (a trail byte that looks like a letter stays as it is).
    h += LowerAt(name, 0);
    size_t i = 0;
    while (i < n - 2) i = sjis::Next(name, i);
    const bool single = i == n - 2 && sjis::CharLen(name, i) == 1;
    h += single ? LowerAt(name, n - 2) : static_cast<uint8_t>(name[n - 2]);
  }
  return static_cast<int>(h & 0xFF);
}

std::unique_ptr<THashCollectionItem> THashCollection::NewItem() { return std::make_unique<THashCollectionItem>(); }

THashCollectionItem* THashCollection::Add() { return Add(NewItem()); }

THashCollectionItem* THashCollection::Add(std::unique_ptr<THashCollectionItem> item) {
  if (!item) return nullptr;
  if (item->collection_ != nullptr) {
    // Already owned by a collection: refuse it without freeing it a second time.
    item.release();
    return nullptr;
  }
  THashCollectionItem* raw = item.get();
  raw->collection_ = this;
  raw->index_ = Count();
  raw->bucket_ = -1;
  raw->prev_ = raw->next_ = nullptr;
  items_.push_back(std::move(item));
  raw->Rehash();
  return raw;
}

THashCollectionItem* THashCollection::AddNamed(const std::string& name) {
  THashCollectionItem* item = Add();
  if (item != nullptr) item->SetName(name);
  return item;
}

THashCollectionItem* THashCollection::AddNamed(const std::string& name, std::unique_ptr<THashCollectionItem> item) {
  THashCollectionItem* raw = Add(std::move(item));
  if (raw != nullptr) raw->SetName(name);
  return raw;
}

void THashCollection::Link(THashCollectionItem* item, int bucket) {
  item->bucket_ = bucket;
  item->prev_ = nullptr;
  item->next_ = buckets_[bucket];
  if (item->next_ != nullptr) item->next_->prev_ = item;
  buckets_[bucket] = item;
}

THashCollectionItem* THashCollection::Find(std::string_view name) const {
  // Mode 1 differs from mode 0 only in which system routines lower and compare; with ASCII
  // folding stepped over double-byte characters, both give this bucket and this comparison.
  for (THashCollectionItem* p = buckets_[NameHash(name)]; p != nullptr; p = p->next_) {
    if (sjis::EqualsNoCase(p->name_, name)) return p;
  }
  return nullptr;
}

int THashCollection::IndexOf(std::string_view name) const {
  const THashCollectionItem* p = Find(name);
  return p != nullptr ? p->index_ : -1;
}

void THashCollection::Delete(int i) {
  if (i < 0 || i >= Count()) return;
  for (size_t k = static_cast<size_t>(i) + 1; k < items_.size(); ++k) --items_[k]->index_;
  THashCollectionItem* item = items_[static_cast<size_t>(i)].get();
  item->Unlink();
  std::unique_ptr<THashCollectionItem> owned = std::move(items_[static_cast<size_t>(i)]);
  items_.erase(items_.begin() + i);
  item->collection_ = nullptr;
  item->index_ = -1;
  // owned is destroyed here, after the collection is consistent again.
}

void THashCollection::Delete(THashCollectionItem* item) {
  if (item == nullptr || item->collection_ != this) return;
  Delete(item->index_);
}

void THashCollection::Clear() {
  // Detach everything first so item destructors see a consistent, empty collection.
  std::vector<std::unique_ptr<THashCollectionItem>> items = std::move(items_);
  items_.clear();
  for (auto& b : buckets_) b = nullptr;
  for (auto& item : items) {
    item->collection_ = nullptr;
    item->bucket_ = item->index_ = -1;
    item->prev_ = item->next_ = nullptr;
  }
}

}  // namespace qubo
