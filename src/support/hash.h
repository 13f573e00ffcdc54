#pragma once
// The hashed named collection: an ordered list of owned items plus 256 buckets, each a chain
// of the items whose names hash to it, from the newest to the oldest.
//
// Every item caches its position in the collection, so a name lookup answers an index without
// searching the ordered list. Items are never moved inside a collection (no operation here
// does it); deleting an item lowers the cached index of every later item by one.
//
// Names compare without regard to ASCII letter case. Lower-casing is code-page-932 aware: ASCII
// letters only, double-byte characters stepped over unchanged (full-width letters are not
// folded). This is what the system's lowering does on a code-page-932 machine, so both lookup
// modes put a name into the same bucket and compare it the same way here.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qubo {

class THashCollection;

class THashCollectionItem {
 public:
  THashCollectionItem() = default;
  virtual ~THashCollectionItem() = default;
  THashCollectionItem(const THashCollectionItem&) = delete;
  THashCollectionItem& operator=(const THashCollectionItem&) = delete;

  const std::string& Name() const { return name_; }
  // When the name differs: stores it, unlinks the item from its chain and rehashes it.
  virtual void SetName(const std::string& name);
  // Puts the item at the head of its name's bucket chain (unlinking it first when it is
  // linked). Does nothing for an item that belongs to no collection.
  virtual void Rehash();
  // Takes the other item's name.
  virtual void Assign(const THashCollectionItem& other) { SetName(other.Name()); }
  // The name, or DefaultDisplayName() when the name is empty.
  std::string DisplayName() const { return name_.empty() ? DefaultDisplayName() : name_; }
  virtual std::string DefaultDisplayName() const { return "THashCollectionItem"; }

  // The bucket the item is linked into, or -1 when it is in no chain.
  int32_t BucketIndex() const { return bucket_; }
  // The item's position in its collection (-1 outside a collection).
  int32_t CachedIndex() const { return index_; }
  // Chain neighbours: PrevInBucket is the newer neighbour (nullptr at the head), NextInBucket
  // the older one (nullptr at the end). A walk from Bucket(b) follows NextInBucket.
  THashCollectionItem* PrevInBucket() const { return prev_; }
  THashCollectionItem* NextInBucket() const { return next_; }
  THashCollection* Collection() const { return collection_; }

 private:
  friend class THashCollection;
  void Unlink();

  THashCollection* collection_ = nullptr;
  int32_t bucket_ = -1;
  int32_t index_ = -1;
  std::string name_;
  THashCollectionItem* prev_ = nullptr;
  THashCollectionItem* next_ = nullptr;
};

class THashCollection {
 public:
  static constexpr int kBucketCount = 256;

  THashCollection() = default;
  virtual ~THashCollection();
  THashCollection(const THashCollection&) = delete;
  THashCollection& operator=(const THashCollection&) = delete;

  // The bucket of a name: with n its length after lower-casing and b its bytes,
  // (16 * n + b[n - 2] + b[0]) mod 256, the byte terms only when n >= 2; "" hashes to 0.
  static int NameHash(std::string_view name);

  // Lookup mode: 0 by default; 1 for the virtual file table. Both hash into the same bucket
  // and compare ignoring ASCII letter case (see the file comment).
  uint8_t Mode() const { return mode_; }
  void SetMode(uint8_t mode) { mode_ = mode; }

  int Count() const { return static_cast<int>(items_.size()); }
  // i must be in [0, Count()).
  THashCollectionItem* Item(int i) const { return items_[static_cast<size_t>(i)].get(); }
  template <class T>
  T* ItemAs(int i) const {
    return static_cast<T*>(Item(i));
  }
  // Newest item of the chain of bucket b (0..255), or nullptr.
  THashCollectionItem* Bucket(int b) const { return b >= 0 && b < kBucketCount ? buckets_[b] : nullptr; }

  // A new item from NewItem(), appended under its name ("" for a fresh item).
  THashCollectionItem* Add();
  // Takes the item (which must not belong to a collection), appends it and hashes it under
  // its current name.
  THashCollectionItem* Add(std::unique_ptr<THashCollectionItem> item);
  // Add then SetName.
  THashCollectionItem* AddNamed(const std::string& name);
  THashCollectionItem* AddNamed(const std::string& name, std::unique_ptr<THashCollectionItem> item);

  // Cached index of the newest item whose name equals the given one ignoring case, or -1.
  int IndexOf(std::string_view name) const;
  THashCollectionItem* Find(std::string_view name) const;

  // Destroys item i: later items' cached indexes drop by 1, the item leaves its chain and
  // the list. Out-of-range indexes are ignored.
  void Delete(int i);
  void Delete(THashCollectionItem* item);
  void Clear();

 protected:
  // Makes the items of Add(); subclasses answer their own item type.
  virtual std::unique_ptr<THashCollectionItem> NewItem();

 private:
  friend class THashCollectionItem;
  void Link(THashCollectionItem* item, int bucket);

  std::vector<std::unique_ptr<THashCollectionItem>> items_;
  THashCollectionItem* buckets_[kBucketCount] = {};
  uint8_t mode_ = 0;
};

}  // namespace qubo
