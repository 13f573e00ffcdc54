#include "script/paramcollection.h"

#include <atomic>

#include "script/messages.h"
#include "script/paramvar.h"
#include "support/errors.h"
#include "support/sjis.h"

namespace qubo {

// ---- ItemLink ----

void ItemLink::Relink(TParamCollectionItem* item) {
  // A link whose item is gone is always released.
  if (token_ != nullptr) {
    if (--token_->refs == 0 && token_->item == nullptr) delete token_;
    token_ = nullptr;
  }
  if (item == nullptr) return;
  if (item->token_ == nullptr) item->token_ = new Token{item, 0};
  token_ = item->token_;
  ++token_->refs;
}

// ---- TParamCollectionItem ----

TParamCollectionItem::TParamCollectionItem(std::unique_ptr<TCustomParam> value)
    : value_(value ? std::move(value) : std::make_unique<TParamVar>()) {}

TParamCollectionItem::~TParamCollectionItem() {
  if (table_ != nullptr) {
    if (entry_ != nullptr) table_->Unindex(this);
    if (localId_ != -1) table_->OnLocalIdChange(localId_, -1);
  }
  if (token_ != nullptr) {
    token_->item = nullptr;
    if (token_->refs == 0) delete token_;
  }
}

void TParamCollectionItem::SetValue(std::unique_ptr<TCustomParam> value) {
  if (!value) return;
  value_ = std::move(value);
  if (table_ != nullptr) table_->Touch();
}

void TParamCollectionItem::SetName(const std::string& name) {
  const bool bad = name.empty() || name.find(' ') != std::string::npos || (name[0] >= '0' && name[0] <= '9');
  if (bad) throw QuboError("\"" + name + msg::kMsgBadNameTail);
  THashCollectionItem::SetName(name);
}

void TParamCollectionItem::Rehash() {
  if (table_ != nullptr && entry_ != nullptr) table_->Unindex(this);
  THashCollectionItem::Rehash();
  if (table_ != nullptr && Collection() != nullptr) table_->Index(this);
}

void TParamCollectionItem::SetLocalId(int32_t id) {
  if (id == localId_) return;
  if (table_ != nullptr) table_->OnLocalIdChange(localId_, id);
  localId_ = id;
}

void TParamCollectionItem::SetLocal(bool v) {
  if (v == local_) return;
  local_ = v;
  if (table_ != nullptr) table_->Touch();
  if (entry_ != nullptr) entry_->locals += v ? 1 : -1;
}

// ---- name index ----

size_t TParamCollection::NoCaseHash::operator()(std::string_view s) const {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < s.size();) {
    const size_t n = sjis::CharLen(s, i);
    for (size_t k = i; k < i + n; ++k) {
      auto b = static_cast<uint8_t>(s[k]);
      if (n == 1 && b >= 'A' && b <= 'Z') b = static_cast<uint8_t>(b + 32);
      h = (h ^ b) * 1099511628211ull;
    }
    i += n;
  }
  return static_cast<size_t>(h);
}

bool TParamCollection::NoCaseEqual::operator()(std::string_view a, std::string_view b) const {
  return sjis::EqualsNoCase(a, b);
}

void TParamCollection::Index(TParamCollectionItem* item) {
  Touch();
  auto it = names_.find(std::string_view(item->Name()));
  if (it == names_.end()) it = names_.emplace(item->Name(), TParamNameEntry{item->Name(), {}, 0}).first;
  TParamNameEntry& e = it->second;
  e.items.push_back(item);
  if (item->local_) ++e.locals;
  item->entry_ = &e;
}

void TParamCollection::Unindex(TParamCollectionItem* item) {
  Touch();
  TParamNameEntry* e = item->entry_;
  item->entry_ = nullptr;
  for (size_t k = e->items.size(); k-- > 0;) {
    if (e->items[k] == item) {
      e->items.erase(e->items.begin() + static_cast<std::ptrdiff_t>(k));
      break;
    }
  }
  if (item->local_) --e->locals;
  if (e->items.empty()) names_.erase(names_.find(std::string_view(e->key)));
}

const TParamNameEntry* TParamCollection::Entry(std::string_view name) const {
  const auto it = names_.find(name);
  return it == names_.end() ? nullptr : &it->second;
}

void TParamCollection::OnLocalIdChange(int32_t from, int32_t to) {
  Touch();
  if (from == -1 && to != -1) ++frameVarCount_;
  if (from != -1 && to == -1) --frameVarCount_;
}

// ---- TParamCollection ----

uint64_t TParamCollection::NextGeneration() {
  static std::atomic<uint64_t> counter{0};
  return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

namespace {
TParamCollection::SystemFactory systemFactory = nullptr;
}  // namespace

void TParamCollection::SetSystemFactory(SystemFactory factory) { systemFactory = factory; }

TParamCollection::TParamCollection() : generation_(NextGeneration()) {
  if (systemFactory != nullptr) systemFactory(*this);
}

TParamCollection::~TParamCollection() {
  // Items leave the name index as they go, so they must go while it still exists.
  THashCollection::Clear();
}

std::unique_ptr<THashCollectionItem> TParamCollection::NewItem() {
  auto item = std::make_unique<TParamCollectionItem>(nullptr);
  item->table_ = this;
  return item;
}

TParamCollectionItem* TParamCollection::Attach(std::unique_ptr<TParamCollectionItem> item) {
  item->table_ = this;
  return static_cast<TParamCollectionItem*>(THashCollection::Add(std::move(item)));
}

TParamCollectionItem* TParamCollection::AddSystem(const std::string& name, std::unique_ptr<TCustomParam> value) {
  auto item = std::make_unique<TParamCollectionItem>(std::move(value));
  item->system_ = true;
  TParamCollectionItem* raw = Attach(std::move(item));
  raw->THashCollectionItem::SetName(name);
  ++systemCount_;
  return raw;
}

int TParamCollection::IndexOf(std::string_view name) const {
  const TParamNameEntry* e = Entry(name);
  if (e == nullptr) return -1;
  if (e->locals > 0) {
    for (auto it = e->items.rbegin(); it != e->items.rend(); ++it) {
      if ((*it)->local_ && (*it)->localId_ == currentLocalId_) return (*it)->CachedIndex();
    }
    for (const TParamCollectionItem* v : e->items) {
      if (!v->local_) return v->CachedIndex();
    }
    return -1;
  }
  return e->items.front()->CachedIndex();
}

TParamCollectionItem* TParamCollection::FindVar(std::string_view name) const {
  const int i = IndexOf(name);
  return i >= 0 ? Var(i) : nullptr;
}

TParamCollectionItem* TParamCollection::Find(std::string_view name, bool local) const {
  const TParamNameEntry* e = Entry(name);
  if (e == nullptr) return nullptr;
  if (local && e->locals == 0) return nullptr;
  if (!local && e->locals == 0) return e->items.back();
  for (auto it = e->items.rbegin(); it != e->items.rend(); ++it) {
    TParamCollectionItem* v = *it;
    if (local ? (v->local_ && v->localId_ == currentLocalId_) : !v->local_) return v;
  }
  return nullptr;
}

TParamCollectionItem* TParamCollection::Add(uint8_t type) {
  std::unique_ptr<TCustomParam> value = NewParam(type, this);
  if (!value) return nullptr;
  return Attach(std::make_unique<TParamCollectionItem>(std::move(value)));
}

TParamCollectionItem* TParamCollection::AddNamed(uint8_t type, const std::string& name) {
  TParamCollectionItem* v = Add(type);
  if (v == nullptr) return nullptr;
  try {
    v->SetName(name);
  } catch (...) {
    Delete(v);
    throw;
  }
  return v;
}

TParamCollection::Declared TParamCollection::Declare(const std::string& name, uint8_t type, VarScope scope) {
  if (name.empty()) throw QuboError(msg::kMsgNoName);
  if (TParamCollectionItem* existing = Find(name, scope == VarScope::Local)) return {existing, existing->IsStatus()};
  TParamCollectionItem* v = AddNamed(type, name);
  if (v == nullptr) throw QuboError(name + msg::kMsgBadVariableTail);
  if (scope == VarScope::AutoFree || scope == VarScope::Local) v->SetLocalId(currentLocalId_);
  if (scope == VarScope::Local) v->SetLocal(true);
  if (scope == VarScope::Status) v->SetStatus(true);
  return {v, false};
}

void TParamCollection::StoreAs(TCustomParam& var, uint8_t type, const TCustomParam& value) {
  switch (type) {
    case PT_INT: var.SetInt(value.AsInt()); break;
    case PT_FLOAT: var.SetFloat(value.AsFloat()); break;
    case PT_BOOL: var.SetBool(value.AsBool()); break;
    case PT_STR: var.SetStr(value.AsStr()); break;
    default: break;
  }
}

std::unique_ptr<TCustomParam> TParamCollection::GetCopy(std::string_view name) const {
  const TParamCollectionItem* v = FindVar(name);
  if (v == nullptr) return nullptr;
  const uint8_t type = v->Value().StoredType();
  std::unique_ptr<TCustomParam> copy = type == PT_NONE ? nullptr : NewParam(type);
  if (!copy) throw QuboError(std::string(name) + msg::kMsgBadVariableTail);
  copy->AssignAll(v->Value());
  return copy;
}

bool TParamCollection::Delete(int i) {
  if (i < 0 || i >= Count() || Var(i)->IsSystem()) return false;
  THashCollection::Delete(i);
  return true;
}

bool TParamCollection::Delete(TParamCollectionItem* var) {
  if (var == nullptr || var->Collection() != this) return false;
  return Delete(var->CachedIndex());
}

void TParamCollection::DeleteLocal(int32_t id) {
  // Frame variables are mostly the newest ones: walk from the end and stop once every
  // variable with a local ID has been seen.
  int32_t unseen = frameVarCount_;
  for (int i = Count() - 1; i >= 0 && unseen > 0; --i) {
    TParamCollectionItem* v = Var(i);
    if (v->localId_ == -1) continue;
    --unseen;
    if (v->localId_ == id) Delete(i);
  }
}

void TParamCollection::LowerLocalIdsAbove(int32_t id) {
  int32_t unseen = frameVarCount_;
  for (int i = Count() - 1; i >= 0 && unseen > 0; --i) {
    TParamCollectionItem* v = Var(i);
    if (v->localId_ == -1) continue;
    --unseen;
    if (v->localId_ > id) v->SetLocalId(v->localId_ - 1);
  }
}

void TParamCollection::ClearVars() {
  for (int i = Count() - 1; i >= 0; --i) {
    const TParamCollectionItem* v = Var(i);
    if (!v->IsSystem() && !v->IsStatus()) Delete(i);
  }
  globals_.textDelay = 50;
  globals_.cursor.clear();
}

void TParamCollection::ResolveReference(TParamVar& ref) const {
  TParamCollectionItem* v = FindVar(ref.Name());
  if (v == nullptr) throw QuboError("\"" + ref.Name() + msg::kMsgNoVariableTail);
  ref.SetTarget(v);
  if (const auto* inner = dynamic_cast<const TParamVar*>(&v->Value())) ref.SetElement(inner->Element());
}

void TParamCollection::ResolveElement(TParamVar& ref, std::string_view arrayName,
                                      const std::vector<int32_t>& subscripts) const {
  TParamCollectionItem* v = FindVar(arrayName);
  if (v == nullptr) throw QuboError("\"" + std::string(arrayName) + msg::kMsgNoVariableTail);
  ResolveElement(ref, *v, arrayName, subscripts);
}

void TParamCollection::ResolveElement(TParamVar& ref, TParamCollectionItem& array, std::string_view arrayName,
                                      const std::vector<int32_t>& subscripts) {
  TParamCollectionItem* v = &array;
  ref.SetTarget(v);
  const TCustomParam& value = v->Value();
  auto prefix = [&] {
    std::string p(arrayName);
    p.push_back('[');
    for (size_t k = 0; k < subscripts.size(); ++k) {
      if (k) p.push_back(',');
      p.append(numtext::IntToText(subscripts[k]));
    }
    return p + "]\r\n";
  };
  if (static_cast<int64_t>(subscripts.size()) != value.DimCount()) throw QuboError(prefix() + msg::kMsgSubscriptCount);
  // Exact: each term is below 2^55 (a multiplier never exceeds the element cap) and there
  // are fewer than 2^31 of them, so nothing can wrap back into range.
  __extension__ using Wide = __int128;
  Wide flat = 0, multiplier = 1;
  for (size_t k = subscripts.size(); k-- > 0;) {
    flat += multiplier * subscripts[k];
    multiplier *= value.Dim(static_cast<int32_t>(k));
  }
  if (flat >= value.Count()) throw QuboError(prefix() + msg::kMsgBeyondCount);
  // A negative index stays negative, for the element access to reject.
  ref.SetElement(flat < INT32_MIN ? INT32_MIN : static_cast<int32_t>(flat));
}

}  // namespace qubo
