// Stored forms of the variable table: the game record, the status record and the pushed
// variable sets. Version gates stand beside the fields they gate, in record order.

#include <unordered_set>

#include "script/paramcollection.h"
#include "script/paramvar.h"
#include "support/errors.h"
#include "support/record.h"

namespace qubo {
namespace {

// Smallest stored variable record: type byte, empty name count, the smallest value (an
// empty dimension part and an element count), status, reserved, local ID, local flag.
constexpr int64_t kMinVarRecord = 1 + 4 + 8 + 1 + 1 + 4 + 1;
// Smallest pushed-set entry: i32 type, name count, smallest value.
constexpr int64_t kMinPushedEntry = 4 + 4 + 8;

uint8_t ReadType(RecordReader& r, int32_t type) {
  if (type < PT_NONE || type > PT_STR) r.Fail();
  return static_cast<uint8_t>(type);
}

}  // namespace

void TParamCollection::SaveVarRecord(RecordWriter& w, const TParamCollectionItem& var) {
  w.String(var.Name());
  var.Value().SaveToStream(w);
  w.U8(var.IsStatus() ? 1 : 0);
  w.U8(var.Reserved());
  w.I32(var.LocalId());
  w.U8(var.IsLocal() ? 1 : 0);
}

void TParamCollection::LoadVarRecord(RecordReader& r) {
  const uint8_t type = ReadType(r, r.U8());
  const std::string name = r.String();
  if (name.empty()) {
    // A nameless record is read into a value of its own type, so the stream stays in step,
    // and then dropped.
    std::unique_ptr<TCustomParam> throwaway = NewParam(type, this);
    throwaway->LoadFromStream(r);
    r.Skip(1 + 1 + 4 + 1);
    return;
  }
  TParamCollectionItem* v = AddNamed(type, name);
  try {
    v->Value().LoadFromStream(r);
    const bool status = r.Bool();
    const uint8_t reserved = r.U8();
    const int32_t localId = r.I32();
    const bool local = r.Bool();
    v->SetStatus(status);
    v->SetReserved(reserved);
    v->SetLocalId(localId);
    v->SetLocal(local);
  } catch (...) {
    Delete(v);
    throw;
  }
}

std::vector<const TParamCollectionItem*> TParamCollection::SaveOrder(bool status) const {
  std::vector<const TParamCollectionItem*> candidates;
  bool anyReference = false;
  for (int i = Count() - 1; i >= 0; --i) {
    const TParamCollectionItem* v = Var(i);
    if (v->IsSystem() || v->IsStatus() != status) continue;
    candidates.push_back(v);
    anyReference |= v->Value().StoredType() == PT_NONE;
  }
  if (!anyReference) return candidates;

  // A resolved reference waits until the candidate it refers to is written, so that the
  // loader finds its target. A pass that writes nothing writes all that is left (a cycle of
  // references), so the loop always ends.
  std::unordered_set<const TParamCollectionItem*> pending(candidates.begin(), candidates.end());
  std::vector<const TParamCollectionItem*> order;
  order.reserve(candidates.size());
  while (!candidates.empty()) {
    std::vector<const TParamCollectionItem*> waiting;
    for (const TParamCollectionItem* v : candidates) {
      const auto* ref = dynamic_cast<const TParamVar*>(&v->Value());
      const TParamCollectionItem* target = ref ? ref->Target() : nullptr;
      if (target != nullptr && target != v && pending.count(target)) {
        waiting.push_back(v);
      } else {
        order.push_back(v);
        pending.erase(v);
      }
    }
    if (waiting.size() == candidates.size()) {
      order.insert(order.end(), waiting.begin(), waiting.end());
      break;
    }
    candidates = std::move(waiting);
  }
  return order;
}

void TParamCollection::SaveGameVars(TStream& stream) {
  RecordWriter w(stream);
  const auto order = SaveOrder(false);
  w.I32(static_cast<int32_t>(order.size()));
  for (const TParamCollectionItem* v : order) {
    w.U8(v->Value().StoredType());
    SaveVarRecord(w, *v);
  }
  w.I32(globals_.textDelay);
  w.String(globals_.cursor);
  w.String(globals_.selStr);
  w.I32(globals_.selIndex);
  w.String(globals_.tempTarget);
  w.I32(static_cast<int32_t>(pushed_.size()));
  for (const auto& set : pushed_) set->SaveToStream(stream);
}

TGameVarsExtras TParamCollection::LoadGameVars(TStream& stream, int32_t version) {
  RecordReader r(stream);
  TGameVarsExtras extras;
  for (int i = Count() - 1; i >= 0; --i) {
    const TParamCollectionItem* v = Var(i);
    if (!v->IsSystem() && !v->IsStatus()) Delete(i);
  }
  const int32_t n = r.Count(kMinVarRecord);
  for (int32_t k = 0; k < n; ++k) LoadVarRecord(r);
  globals_.textDelay = r.I32();
  globals_.cursor = r.String();
  if (version >= 103) {
    globals_.selStr = r.String();
    globals_.selIndex = r.I32();
  }
  if (version >= 113 && version < 135) {
    extras.hasHistoryFormat = true;
    for (int32_t& x : extras.historyFormat) x = r.I32();
  }
  if (version >= 121) globals_.tempTarget = r.String();
  pushed_.clear();
  if (version >= 139) {
    const int32_t m = r.Count(4);
    for (int32_t k = 0; k < m; ++k) {
      // A set is kept as its exact bytes; walking its structure finds where it ends.
      const int64_t start = r.Position();
      SkipPushedSet(r);
      const int64_t end = r.Position();
      stream.SetPosition(start);
      auto set = std::make_unique<TKoMemoryStream>(r.Bytes(end - start));
      pushed_.push_back(std::move(set));
    }
  }
  return extras;
}

void TParamCollection::SkipPushedSet(RecordReader& r) {
  const int32_t n = r.Count(kMinPushedEntry);
  for (int32_t k = 0; k < n; ++k) {
    const uint8_t type = ReadType(r, r.I32());
    r.String();
    NewParam(type, this)->LoadFromStream(r);
  }
}

void TParamCollection::SaveStatusVars(TStream& stream) {
  RecordWriter w(stream);
  const auto order = SaveOrder(true);
  w.I32(static_cast<int32_t>(order.size()));
  for (const TParamCollectionItem* v : order) {
    w.U8(v->Value().StoredType());
    SaveVarRecord(w, *v);
  }
}

void TParamCollection::LoadStatusVars(TStream& stream) {
  RecordReader r(stream);
  const int32_t n = r.Count(kMinVarRecord);
  for (int32_t k = 0; k < n; ++k) LoadVarRecord(r);
}

void TParamCollection::PushVars(const std::vector<std::string>& names) {
  std::vector<const TParamCollectionItem*> found;
  for (const std::string& name : names) {
    const TParamCollectionItem* v = FindVar(name);
    if (v != nullptr && v->Value().StoredType() != PT_NONE) found.push_back(v);
  }
  auto set = std::make_unique<TKoMemoryStream>();
  RecordWriter w(*set);
  w.I32(static_cast<int32_t>(found.size()));
  for (const TParamCollectionItem* v : found) {
    w.I32(v->Value().StoredType());
    w.String(v->Name());
    v->Value().SaveToStream(w);
  }
  pushed_.push_back(std::move(set));
}

void TParamCollection::PopVars() {
  if (pushed_.empty()) return;
  std::unique_ptr<TKoMemoryStream> set = std::move(pushed_.back());
  pushed_.pop_back();
  set->SetPosition(0);
  RecordReader r(*set);
  const int32_t n = r.Count(kMinPushedEntry);
  for (int32_t k = 0; k < n; ++k) {
    const uint8_t type = ReadType(r, r.I32());
    const std::string name = r.String();
    TParamCollectionItem* v = FindVar(name);
    if (v != nullptr && v->Value().StoredType() != type) {
      if (v->IsSystem()) {
        // A system variable is never replaced: its entry is passed over.
        NewParam(type, this)->LoadFromStream(r);
        continue;
      }
      Delete(v);
      v = nullptr;
    }
    if (v == nullptr) v = AddNamed(type, name);
    v->Value().LoadFromStream(r);
  }
}

}  // namespace qubo
