#pragma once
// Typed lists: integers, reals, owned objects and strings.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qubo {

class TStream;

// A list of i32.
class TIntList {
 public:
  // SetInt refuses indexes at or beyond this many entries: a stray large index would
  // otherwise append zeros until memory runs out.
  static constexpr int32_t kMaxEntries = 1 << 24;

  int Count() const { return static_cast<int>(items_.size()); }
  // Raises QuboError "Error:TIntList.GetInt" when i is outside the list.
  int32_t GetInt(int i) const;
  // Appends zeros until the list has i + 1 entries, then stores v. Raises QuboError
  // "Error:TIntList.SetInt" for a negative i or one of kMaxEntries or more.
  void SetInt(int i, int32_t v);
  int Add(int32_t v);
  // First index holding v, or -1.
  int IndexOf(int32_t v) const;
  void Delete(int i);
  void Clear() { items_.clear(); }
  const std::vector<int32_t>& Items() const { return items_; }

 private:
  std::vector<int32_t> items_;
};

// A list of reals. Stored records carry them as 10-byte extended reals; in memory they are
// the player's real type, double.
class TExtendedList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises QuboError "Error:TExtendedList.Get" when i is outside the list.
  double Get(int i) const;
  int Add(double x);
  // First exactly equal entry, or -1.
  int IndexOf(double x) const;
  // Ascending or descending. NaN entries, which compare neither less nor greater than any
  // value, are kept in their order at the end.
  void Sort(bool descending);
  void Delete(int i);
  void Clear() { items_.clear(); }
  const std::vector<double>& Items() const { return items_; }

 private:
  std::vector<double> items_;
};

// A growable array of i32.
class TIntArray {
 public:
  int Add(int32_t v) {
    items_.push_back(v);
    return Count() - 1;
  }
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises QuboError "Error:TIntArray.Get" when i is outside the array.
  int32_t Get(int i) const;
  void Set(int i, int32_t v);
  void Clear() { items_.clear(); }
  const std::vector<int32_t>& Items() const { return items_; }

 private:
  std::vector<int32_t> items_;
};

// A list that owns its objects. Used directly or as the base of lists that add behaviour.
// Delete and Clear take the objects out of the list before destroying them, so a destructor
// that looks at the list sees it without the object.
template <class T>
class TObjList {
 public:
  TObjList() = default;
  virtual ~TObjList() { Clear(); }
  TObjList(const TObjList&) = delete;
  TObjList& operator=(const TObjList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  // i must be in [0, Count()).
  T* Item(int i) const { return items_[static_cast<size_t>(i)].get(); }
  T* operator[](int i) const { return Item(i); }
  bool InRange(int i) const { return i >= 0 && i < Count(); }

  T* Add(std::unique_ptr<T> item) {
    T* raw = item.get();
    items_.push_back(std::move(item));
    return raw;
  }
  T* Insert(int i, std::unique_ptr<T> item) {
    if (i < 0) i = 0;
    if (i > Count()) i = Count();
    T* raw = item.get();
    items_.insert(items_.begin() + i, std::move(item));
    return raw;
  }
  int IndexOf(const T* item) const {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].get() == item) return static_cast<int>(i);
    }
    return -1;
  }
  // Frees object i and removes its entry; out-of-range indexes are ignored.
  void Delete(int i) { Extract(i).reset(); }
  // Removes entry i and hands its object over (nullptr when out of range).
  std::unique_ptr<T> Extract(int i) {
    if (!InRange(i)) return nullptr;
    std::unique_ptr<T> out = std::move(items_[static_cast<size_t>(i)]);
    items_.erase(items_.begin() + i);
    return out;
  }
  // Frees every object, last to first.
  void Clear() {
    while (!items_.empty()) {
      std::unique_ptr<T> last = std::move(items_.back());
      items_.pop_back();
    }
  }
  void Move(int from, int to) {
    if (!InRange(from) || !InRange(to) || from == to) return;
    std::unique_ptr<T> p = std::move(items_[static_cast<size_t>(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(p));
  }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 protected:
  std::vector<std::unique_ptr<T>>& Storage() { return items_; }

 private:
  std::vector<std::unique_ptr<T>> items_;
};

// A growable array of strings (event parameters, call arguments). Stored as an i32 count
// followed by that many strings.
class TArrayString {
 public:
  int Add(std::string s) {
    items_.push_back(std::move(s));
    return Count() - 1;
  }
  void Assign(const TArrayString& other) { items_ = other.items_; }
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  // The empty string outside the array.
  const std::string& Get(int i) const;
  void Set(int i, std::string s);
  const std::vector<std::string>& Items() const { return items_; }

  void SaveToStream(TStream& stream) const;
  // Replaces the content. The count is checked against the bytes left (every string takes at
  // least its 4-byte length) before anything is allocated; a truncated or impossible array
  // raises FormatError and leaves the content empty.
  void LoadFromStream(TStream& stream);

  bool operator==(const TArrayString& other) const { return items_ == other.items_; }

 private:
  std::vector<std::string> items_;
};

}  // namespace qubo
