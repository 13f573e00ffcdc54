#include "script/page.h"

#include "script/callman.h"
#include "script/paramcollection.h"
#include "support/errors.h"

namespace qubo {

// ---- TCommand

void TCommand::Load(TCommandRecord record) {
  record_ = std::move(record);
  exprStart_.clear();
  const TCommandDef& def = CommandDef(record_.Code());
  record_.fields.resize(def.fields.size());
  uint32_t n = 0;
  for (const TFieldValue& f : record_.fields) {
    exprStart_.push_back(n);
    n += static_cast<uint32_t>(f.exprs.size());
  }
  exprStart_.push_back(n);
  // Runnable forms are made when a command first runs: most commands of a page never do.
  exprs_.clear();
  exprs_.resize(n);
}

void TCommand::Execute(TCallMan&, TPageRef&, int32_t& pc) { ++pc; }

TPage* TCommand::Page() const { return owner_ != nullptr ? owner_->Page() : nullptr; }

const TFieldValue& TCommand::Field(size_t f) const {
  static const TFieldValue kEmpty;
  return f < record_.fields.size() ? record_.fields[f] : kEmpty;
}

size_t TCommand::ExprCount(size_t f) const {
  return f + 1 < exprStart_.size() ? exprStart_[f + 1] - exprStart_[f] : 0;
}

TQuboParser& TCommand::Expr(size_t f, size_t j) {
  if (j < ExprCount(f)) {
    std::unique_ptr<TQuboParser>& p = exprs_[exprStart_[f] + j];
    if (!p) {
      p = std::make_unique<TQuboParser>();
      p->LoadFromStored(record_.fields[f].exprs[j]);
    }
    return *p;
  }
  // A field the page's version does not have: an empty expression has no value.
  static thread_local TQuboParser empty;
  return empty;
}

TQuboParser* TCommand::PropExpr(int id) {
  for (size_t f = 0; f < record_.fields.size(); ++f) {
    const auto& ids = record_.fields[f].propIds;
    for (size_t j = 0; j < ids.size(); ++j) {
      if (ids[j] == id) return &Expr(f, j);
    }
  }
  return nullptr;
}

const TCustomParam* TCommand::Eval(TCallMan& engine, TQuboParser& e) {
  if (e.Empty()) return nullptr;
  e.Execute(engine.Context());
  return e.Result();
}

bool TCommand::EvalInt(TCallMan& engine, TQuboParser& e, int32_t& out) {
  const TCustomParam* v = Eval(engine, e);
  if (v == nullptr) return false;
  out = v->AsInt();
  return true;
}

bool TCommand::EvalBool(TCallMan& engine, TQuboParser& e, bool& out) {
  const TCustomParam* v = Eval(engine, e);
  if (v == nullptr) return false;
  out = v->AsBool();
  return true;
}

bool TCommand::EvalStr(TCallMan& engine, TQuboParser& e, std::string& out) {
  const TCustomParam* v = Eval(engine, e);
  if (v == nullptr) return false;
  out = v->AsStr();
  return true;
}

bool TCommand::Condition(TCallMan& engine, TQuboParser& e, bool emptyValue) {
  if (e.Empty()) return emptyValue;
  bool b = false;
  return EvalBool(engine, e, b) && b;
}

// ---- TComList

int32_t TComList::IndexOf(const TCommand* c) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() == c) return static_cast<int32_t>(i);
  }
  return -1;
}

// ---- TPage

TPage::TPage() : masks_(DefaultPropertyMasks()), commands_(this) {}

TPage::LoadResult TPage::LoadFromBytes(const std::string& name, std::vector<uint8_t> bytes) {
  commands_.Clear();
  name_ = name;
  TKoMemoryStream stream(std::move(bytes));
  TPageImage image;
  const TPageReadResult r = ReadPageImage(stream, name, image);
  version_ = image.version;
  if (r == TPageReadResult::TooOld) return LoadResult::TooOld;
  if (r == TPageReadResult::TooNew) return LoadResult::TooNew;
  LoadFromImage(name, std::move(image));
  return LoadResult::Loaded;
}

void TPage::LoadFromImage(const std::string& name, TPageImage image) {
  commands_.Clear();
  name_ = name;
  version_ = image.version;
  resultType_ = image.resultType;
  masks_ = image.Masks();
  try {
    for (TCommandRecord& rec : image.commands) {
      std::unique_ptr<TCommand> c = CreateCommand(&commands_, rec.typeByte);
      c->Load(std::move(rec));
      commands_.Add(std::move(c));
    }
  } catch (...) {
    commands_.Clear();
    throw;
  }
}

int32_t TPage::FindLabel(const std::string& name) const {
  for (int32_t i = 0; i < commands_.Count(); ++i) {
    if (commands_.Get(i)->IsLabel(name)) return i;
  }
  return -1;
}

}  // namespace qubo
