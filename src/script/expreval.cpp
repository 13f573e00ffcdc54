#include "script/expreval.h"

#include <algorithm>
#include <type_traits>

#include "script/exprcompiler.h"
#include "script/exprlexer.h"
#include "script/exprperform.h"
#include "script/messages.h"
#include "script/paramcollection.h"
#include "script/paramvar.h"
#include "script/sysfunctable.h"
#include "support/errors.h"
#include "support/sjis.h"

namespace qubo {

namespace {

// A fresh scalar of the type in place of the value (MakeScalar included).
void ResetScalar(TCustomParam& value, uint8_t type) {
  switch (type) {
    case PT_INT: value.SetInt(0); break;
    case PT_FLOAT: value.SetFloat(0); break;
    case PT_BOOL: value.SetBool(false); break;
    case PT_STR: value.SetStr(std::string()); break;
    default: break;
  }
}

constexpr const char* kNoFunctions = ": built-in functions are not available";

[[noreturn]] void MissingVariable(std::string_view name) {
  throw QuboError("\"" + std::string(name) + msg::kMsgNoVariableTail);
}

TNullPropertyReader& NullReader() {
  static TNullPropertyReader reader;
  return reader;
}

TPropertyReader& Properties(TExprContext& c) { return c.properties != nullptr ? *c.properties : NullReader(); }

std::unique_ptr<TCustomParam> CopyOperand(const TCustomParam& p) {
  if (p.StoredType() == PT_NONE) {
    auto ref = std::make_unique<TParamVar>();
    ref->SetName(static_cast<const TParamVar&>(p).Name());
    return ref;
  }
  std::unique_ptr<TCustomParam> copy = NewParam(p.StoredType());
  copy->AssignAll(p);
  return copy;
}

// s.text is moved from when the operand is taken (taken set).
template <class Operand>
std::unique_ptr<TCustomParam> OperandFromStored(Operand&& s) {
  constexpr bool taken = !std::is_lvalue_reference_v<Operand>;
  auto text = [&s]() -> std::string {
    if constexpr (taken) {
      return std::move(s.text);
    } else {
      return s.text;
    }
  };
  std::unique_ptr<TCustomParam> p;
  switch (s.kind) {
    case kOperandInt:
      p = NewParam(PT_INT);
      p->SetInt(s.intValue);
      break;
    case kOperandFloat:
      p = NewParam(PT_FLOAT);
      p->SetFloat(ExtendedToLongDouble(s.floatValue));
      break;
    case kOperandFlag:
      p = NewParam(PT_BOOL);
      p->SetBool(s.flagValue);
      break;
    case kOperandString:
      p = NewParam(PT_STR);
      p->SetStr(text());
      break;
    default: {
      auto ref = std::make_unique<TParamVar>();
      ref->SetName(text());
      p = std::move(ref);
      break;
    }
  }
  return p;
}

TStoredOperand OperandToStored(const TCustomParam& p) {
  switch (p.StoredType()) {
    case PT_INT: return TStoredOperand::Int(p.AsInt());
    case PT_FLOAT: return TStoredOperand::Float(LongDoubleToExtended(p.AsFloat()));
    case PT_BOOL: return TStoredOperand::Flag(p.AsBool());
    case PT_STR: return TStoredOperand::String(p.AsStr());
    default: return TStoredOperand::Name(static_cast<const TParamVar&>(p).Name());
  }
}

// Clears the targets of an operation's references however the operation ends.
struct ReleaseTargets {
  TParamVar* const* refs;
  size_t count;
  ~ReleaseTargets() {
    for (size_t k = 0; k < count; ++k) {
      if (refs[k] != nullptr) refs[k]->SetTarget(nullptr);
    }
  }
};

using expr::FixedTemporaryType;
constexpr uint8_t kTypeAsked = expr::kTypeOfOperands;

const TCustomParam& OperandB(const TOpeData& op) { return op.operands.size() >= 2 ? *op.operands[1] : *op.operands[0]; }

}  // namespace

TExprContext& GlobalExprContext() {
  static TExprContext context;
  return context;
}

// ---- the plan: what each name resolves to, and the private temporaries ----

struct TQuboParser::Plan {
  struct Slot {
    std::string_view name;  // into the operations, which stay as loaded while the plan lives
    // The table's answer at `generation`; for a private temporary, its item once made in
    // the current run.
    TParamCollectionItem* item = nullptr;
    bool isRef = false;  // item's value is a reference (its element index is taken over)
    int temp = -1;       // private temporary written by this expression
  };
  struct Temp {
    std::unique_ptr<TParamCollectionItem> item;  // outside any table
    uint8_t type = PT_INT;
  };
  struct Ref {
    TParamVar* ref;
    int slot;
  };
  // The per-operand lists of all operations live in shared arrays; an operation has the
  // range [first, first + count) of refs and args and [firstNamed, firstNamed + namedCount)
  // of named.
  struct Op {
    int dest = -1;
    uint8_t fixedType = kTypeAsked;  // type of a temporary made here, when known beforehand
    bool call = false;
    // A call whose destination is none of its operands: the fresh value its temporary must
    // hold when the call yields nothing is made only then (nothing else can see it before).
    bool lateReset = false;
    uint32_t first = 0, count = 0;
    uint32_t firstNamed = 0, namedCount = 0;
  };

  std::vector<Slot> slots;
  std::vector<Temp> temps;
  std::vector<Op> ops;
  std::vector<TParamVar*> refs;      // per operand: the reference, null for a constant
  std::vector<TCustomParam*> args;   // per operand: the operand itself
  std::vector<Ref> named;            // the references alone, with their slots
  std::vector<int> operandSlots;     // per operand: its name's slot, -1 for a constant
  std::vector<uint8_t> constTypes;   // per operand: a constant's type (PT_NONE for names)

  TParamVar* const* RefsOf(const Op& op) const { return refs.data() + op.first; }
  TCustomParam* const* ArgsOf(const Op& op) const { return args.data() + op.first; }

  // ParamType of operand k, from what the plan knows where it can: a constant's class, or
  // the class of a scalar temporary made earlier in this run.
  uint8_t OperandType(const Op& op, uint32_t k) const {
    const uint32_t at = op.first + k;
    if (refs[at] == nullptr) return constTypes[at];
    const Slot& s = slots[static_cast<size_t>(operandSlots[at])];
    if (s.temp >= 0 && s.item != nullptr && !s.isRef) return temps[static_cast<size_t>(s.temp)].type;
    return args[at]->ParamType();
  }
  // What expr::TemporaryType answers for the codes whose type depends on the operands
  // (ocTo, ocPlus, ocMinus, ocMul, ocDiv).
  uint8_t AskedType(uint8_t code, const Op& op) const {
    const uint8_t a = OperandType(op, 0);
    if (code == ocTo) return a;
    if (code == ocPlus && a == PT_STR) return PT_STR;
    return a == PT_FLOAT || OperandType(op, 1) == PT_FLOAT ? PT_FLOAT : PT_INT;
  }
  bool fast = true;    // may keep temporaries private
  bool clash = false;  // a temporary this expression writes exists in the table
  int argSlot = -1;  // slot of "____arg" when the last operation assigns it
  int64_t maxTemp = -1;
  const TParamCollection* table = nullptr;
  uint64_t generation = 0;
  std::vector<int32_t> subscripts;
  TFuncResult funcResult;

  int SlotOf(std::string_view name) {
    for (size_t i = 0; i < slots.size(); ++i) {
      if (sjis::EqualsNoCase(slots[i].name, name)) return static_cast<int>(i);
    }
    slots.push_back({name, nullptr, false, -1});
    return static_cast<int>(slots.size() - 1);
  }

  // Looks every table name up again; private temporaries keep their items.
  void Refresh(const TParamCollection& vars) {
    clash = false;
    for (Slot& s : slots) {
      TParamCollectionItem* found = vars.FindVar(s.name);
      if (s.temp >= 0) {
        if (found != nullptr) clash = true;
        continue;
      }
      s.item = found;
      s.isRef = found != nullptr && found->Value().StoredType() == PT_NONE;
    }
    table = &vars;
    generation = vars.Generation();
  }
};

TQuboParser::TQuboParser() = default;
TQuboParser::~TQuboParser() = default;

void TQuboParser::Clear() {
  ops_.clear();
  plan_.reset();
  result_.reset();
  hasResult_ = false;
  lastError_.clear();
}

void TQuboParser::BuildPlan() {
  auto plan = std::make_unique<Plan>();
  size_t operandCount = 0;
  for (const TOpeData& op : ops_) operandCount += op.operands.size();
  plan->ops.reserve(ops_.size());
  plan->refs.reserve(operandCount);
  plan->args.reserve(operandCount);
  plan->named.reserve(operandCount);
  plan->operandSlots.reserve(operandCount);
  plan->constTypes.reserve(operandCount);
  for (const TOpeData& op : ops_) {
    Plan::Op p;
    p.dest = plan->SlotOf(op.destination);
    p.fixedType = FixedTemporaryType(op.code);
    p.call = op.code == ocFunc;
    // A call's result type is the function's, except GetProp's (asked of the property).
    if (p.call && op.funcIndex < kSysFuncCount && op.funcIndex != kSysFuncGetProp) {
      p.fixedType = kSysFuncs[op.funcIndex].resultType;
    }
    p.first = static_cast<uint32_t>(plan->refs.size());
    p.count = static_cast<uint32_t>(op.operands.size());
    p.firstNamed = static_cast<uint32_t>(plan->named.size());
    plan->maxTemp = std::max(plan->maxTemp, TempNumber(op.destination));
    for (const auto& operand : op.operands) {
      TParamVar* ref = operand->StoredType() == PT_NONE ? static_cast<TParamVar*>(operand.get()) : nullptr;
      plan->refs.push_back(ref);
      plan->args.push_back(operand.get());
      plan->operandSlots.push_back(ref != nullptr ? plan->SlotOf(ref->Name()) : -1);
      plan->constTypes.push_back(ref != nullptr ? uint8_t{PT_NONE} : operand->ParamType());
      if (ref != nullptr) {
        plan->named.push_back({ref, plan->operandSlots.back()});
        plan->maxTemp = std::max(plan->maxTemp, TempNumber(ref->Name()));
      }
    }
    p.namedCount = static_cast<uint32_t>(plan->named.size()) - p.firstNamed;
    p.lateReset = p.call;
    for (uint32_t k = p.firstNamed; k < plan->named.size(); ++k) {
      if (plan->named[k].slot == p.dest) p.lateReset = false;
    }
    if (op.code == ocNone || op.code > kLastOpeCode || !expr::HasOperands(op)) plan->fast = false;
    if (op.code == ocFunc && (op.funcIndex >= kSysFuncCount || !kSysFuncs[op.funcIndex].tableFree)) {
      plan->fast = false;
    }
    if (op.code == ocDimTo && (plan->refs[p.first] == nullptr || IsTempName(plan->refs[p.first]->Name()))) {
      plan->fast = false;
    }
    plan->ops.push_back(p);
  }
  // Temporaries this expression writes get private slots.
  for (const TOpeData& op : ops_) {
    if (!IsTempName(op.destination)) continue;
    Plan::Slot& s = plan->slots[static_cast<size_t>(plan->SlotOf(op.destination))];
    if (s.temp >= 0) continue;
    s.temp = static_cast<int>(plan->temps.size());
    auto item = std::make_unique<TParamCollectionItem>(NewParam(PT_INT));
    item->SetName(std::string(s.name));
    plan->temps.push_back({std::move(item), PT_INT});
  }
  if (!ops_.empty() && ops_.back().code == ocTo && ops_.back().destination == kArgName) {
    plan->argSlot = plan->ops.back().dest;
  }
  plan_ = std::move(plan);
}

// ---- loading and storing ----

void TQuboParser::LoadFromStored(const TStoredExpression& stored) {
  Clear();
  ops_.reserve(stored.operations.size());
  for (const TStoredOperation& s : stored.operations) {
    TOpeData op;
    op.code = s.code;
    op.destination = s.destination;
    op.funcIndex = s.funcIndex;
    op.operands.reserve(s.operands.size());
    for (const TStoredOperand& o : s.operands) op.operands.push_back(OperandFromStored(o));
    ops_.push_back(std::move(op));
  }
  BuildPlan();
}

void TQuboParser::LoadFromStored(TStoredExpression&& stored) {
  Clear();
  ops_.reserve(stored.operations.size());
  for (TStoredOperation& s : stored.operations) {
    TOpeData op;
    op.code = s.code;
    op.destination = std::move(s.destination);
    op.funcIndex = s.funcIndex;
    op.operands.reserve(s.operands.size());
    for (TStoredOperand& o : s.operands) op.operands.push_back(OperandFromStored(std::move(o)));
    ops_.push_back(std::move(op));
  }
  stored.operations.clear();
  BuildPlan();
}

void TQuboParser::LoadFromStream(TStream& stream) {
  Clear();
  LoadFromStored(ReadStoredExpression(stream));
}

TStoredExpression TQuboParser::ToStored() const {
  TStoredExpression e;
  for (const TOpeData& op : ops_) {
    TStoredOperation s;
    s.code = op.code;
    s.destination = op.destination;
    s.funcIndex = op.funcIndex;
    for (const auto& operand : op.operands) s.operands.push_back(OperandToStored(*operand));
    e.operations.push_back(std::move(s));
  }
  return e;
}

void TQuboParser::SaveToStream(TStream& stream) const { WriteStoredExpression(stream, ToStored()); }

void TQuboParser::Assign(const TQuboParser& other) {
  if (&other == this) return;
  Clear();
  for (const TOpeData& o : other.ops_) {
    TOpeData op;
    op.code = o.code;
    op.destination = o.destination;
    op.funcIndex = o.funcIndex;
    for (const auto& operand : o.operands) op.operands.push_back(CopyOperand(*operand));
    ops_.push_back(std::move(op));
  }
  BuildPlan();
}

// ---- running ----

void TQuboParser::TakeResult(const TCustomParam& value) {
  const uint8_t type = value.StoredType();
  if (type == PT_NONE) throw QuboError(std::string(kArgName) + msg::kMsgBadVariableTail);
  if (!result_ || result_->StoredType() != type) result_ = NewParam(type);
  result_->AssignAll(value);
  hasResult_ = true;
}

bool TQuboParser::Execute() { return Execute(GlobalExprContext()); }

bool TQuboParser::Execute(TExprContext& context) {
  hasResult_ = false;
  lastError_.clear();
  if (context.vars == nullptr || ops_.empty()) return true;
  if (running_) {
    // Run again from inside its own run: a copy keeps the outer run's operands intact.
    TQuboParser copy;
    copy.Assign(*this);
    const bool ok = copy.Execute(context);
    lastError_ = copy.lastError_;
    if (const TCustomParam* r = copy.Result()) TakeResult(*r);
    return ok;
  }
  running_ = true;
  const int64_t savedFloor = context.tempFloor;
  context.tempFloor = std::max(savedFloor, plan_->maxTemp + 1);
  bool ok = true;
  try {
    if (!RunFast(context)) RunGeneral(context);
  } catch (const std::exception& e) {
    ok = false;
    hasResult_ = false;
    lastError_ = e.what();
  } catch (...) {
    ok = false;
    hasResult_ = false;
    lastError_ = "?";
  }
  context.tempFloor = savedFloor;
  running_ = false;
  return ok;
}

bool TQuboParser::RunFast(TExprContext& context) {
  Plan& p = *plan_;
  if (!p.fast) return false;
  TParamCollection& vars = *context.vars;
  if (p.table != &vars || p.generation != vars.Generation()) p.Refresh(vars);
  // A temporary of that name in the table is written, not made: run as written.
  if (p.clash) return false;
  for (Plan::Slot& s : p.slots) {
    if (s.temp >= 0) s.item = nullptr;
  }

  // References keep their targets between operations and runs: each operation sets every
  // target it reads first, and setting the same target again costs nothing.
  for (size_t i = 0; i < ops_.size(); ++i) {
    const TOpeData& op = ops_[i];
    const Plan::Op& po = p.ops[i];
    // An operator only reads its operands, so an operand naming a reference (an element
    // temporary, a reference variable) can read straight from what that reference reads:
    // same element, same values, one hop less. Calls and element operations see the
    // reference variable itself, as written.
    const bool direct = !po.call && op.code != ocDimTo;
    const Plan::Ref* named = p.named.data() + po.firstNamed;
    for (uint32_t k = 0; k < po.namedCount; ++k) {
      const Plan::Ref& r = named[k];
      const Plan::Slot& s = p.slots[static_cast<size_t>(r.slot)];
      if (s.item == nullptr) MissingVariable(r.ref->Name());
      if (!s.isRef) {
        r.ref->SetTarget(s.item);
        continue;
      }
      const auto& inner = static_cast<const TParamVar&>(s.item->Value());
      r.ref->SetTarget(direct ? inner.Target() : s.item);
      r.ref->SetElement(inner.Element());
    }
    Plan::Slot& ds = p.slots[static_cast<size_t>(po.dest)];
    uint8_t destType = PT_NONE;  // known for a temporary made here, else asked
    bool resetLate = false;      // a temporary made here for a call, still to be made fresh
    if (ds.temp >= 0) {
      Plan::Temp& t = p.temps[static_cast<size_t>(ds.temp)];
      if (ds.item == nullptr) {
        const uint8_t type = po.fixedType != kTypeAsked ? po.fixedType
                             : po.call                  ? expr::CallResultType(op, Properties(context))
                                                        : p.AskedType(op.code, po);
        TCustomParam& old = t.item->Value();
        // t.type is the class of the private value (only this loop replaces it).
        if (t.type != type) {
          std::unique_ptr<TCustomParam> fresh = NewParam(type);
          if (!fresh) expr::BadOperation(op);
          t.item->SetValue(std::move(fresh));
          t.type = type;  // at once: what follows may raise
        } else if (type == PT_NONE) {
          // ocDimTo sets target and element itself.
          if (op.code != ocDimTo) {
            auto& r = static_cast<TParamVar&>(old);
            r.SetTarget(nullptr);
            r.SetElement(0);
          }
        } else if (op.code == ocFunc) {
          // A call may yield nothing and must then leave a fresh value. Other operations
          // overwrite the whole value with a scalar setter.
          if (po.lateReset) {
            resetLate = true;
          } else {
            ResetScalar(old, type);
          }
        }
        if (op.code == ocDimTo) {
          auto& element = static_cast<TParamVar&>(t.item->Value());
          const TParamVar& array = *p.refs[po.first];
          TParamCollectionItem& arrayItem = *array.Target();
          // One subscript into a one-dimensional array inside its count: the element is the
          // subscript itself. Everything else (and every failure) takes the general way.
          bool done = false;
          if (op.operands.size() == 2) {
            const int32_t sub = op.operands[1]->AsInt();
            const TCustomParam& value = arrayItem.Value();
            if (value.DimCount() == 1 && sub < value.Count()) {
              element.SetTarget(&arrayItem);
              element.SetElement(sub);
              done = true;
            }
          }
          if (!done) {
            p.subscripts.clear();
            for (size_t k = 1; k < op.operands.size(); ++k) p.subscripts.push_back(op.operands[k]->AsInt());
            TParamCollection::ResolveElement(element, arrayItem, array.Name(), p.subscripts);
          }
        }
        t.type = type;
        ds.item = t.item.get();
        ds.isRef = type == PT_NONE;
        destType = type;
      } else if (!ds.isRef) {
        destType = t.type;
      }
    } else if (op.code != ocFunc && ds.item == nullptr) {
      MissingVariable(op.destination);
    }
    if (op.code == ocFunc) {
      if (context.functions == nullptr) throw QuboError(std::string(kSysFuncs[op.funcIndex].name) + kNoFunctions);
      p.funcResult.Clear();
      context.functions->Call(op.funcIndex, p.ArgsOf(po), static_cast<int>(po.count), p.funcResult);
      if (vars.Generation() != p.generation) p.Refresh(vars);
      if (ds.item == nullptr) MissingVariable(op.destination);
      if (resetLate && !p.funcResult.HasValue()) {
        ResetScalar(ds.item->Value(), p.temps[static_cast<size_t>(ds.temp)].type);
      }
      p.funcResult.StoreInto(ds.item->Value());
    } else if (op.code != ocDimTo) {
      TCustomParam& dest = ds.item->Value();
      expr::Perform(op.code, dest, destType != PT_NONE ? destType : dest.ParamType(), *op.operands[0], OperandB(op));
    }
  }
  if (p.argSlot >= 0) {
    if (TParamCollectionItem* arg = p.slots[static_cast<size_t>(p.argSlot)].item) TakeResult(arg->Value());
  }
  return true;
}

void TQuboParser::RunGeneral(TExprContext& context) {
  Plan& p = *plan_;
  TParamCollection& vars = *context.vars;
  std::vector<ItemLink> temps;
  struct DeleteTemps {
    TParamCollection& vars;
    std::vector<ItemLink>& temps;
    ~DeleteTemps() {
      for (size_t k = temps.size(); k-- > 0;) {
        if (TParamCollectionItem* t = temps[k].Get()) vars.Delete(t);
      }
    }
  } deleteTemps{vars, temps};

  for (size_t i = 0; i < ops_.size(); ++i) {
    const TOpeData& op = ops_[i];
    const Plan::Op& po = p.ops[i];
    if (!expr::HasOperands(op)) expr::BadOperation(op);
    TParamVar* const* refs = p.RefsOf(po);
    ReleaseTargets release{refs, po.count};
    // 1. Operands.
    for (uint32_t k = 0; k < po.count; ++k) {
      if (refs[k] != nullptr) vars.ResolveReference(*refs[k]);
    }
    // 2. A new temporary.
    if (IsTempName(op.destination) && vars.FindVar(op.destination) == nullptr) {
      const uint8_t type = op.code == ocFunc ? expr::CallResultType(op, Properties(context)) : expr::TemporaryType(op);
      TParamCollectionItem* t = vars.Add(type);
      if (t == nullptr) expr::BadOperation(op);
      temps.emplace_back(t);
      t->SetName(op.destination);
      if (op.code == ocDimTo) {
        auto* ref = dynamic_cast<TParamVar*>(&t->Value());
        if (ref == nullptr || refs[0] == nullptr) {
          MissingVariable(op.operands[0]->AsStr());
        }
        p.subscripts.clear();
        for (size_t k = 1; k < op.operands.size(); ++k) p.subscripts.push_back(op.operands[k]->AsInt());
        vars.ResolveElement(*ref, refs[0]->Name(), p.subscripts);
      }
    }
    // 3.-4. The destination, found after a call has run, and the operation.
    if (op.code == ocFunc) {
      if (context.functions == nullptr) throw QuboError(std::string(kSysFuncs[op.funcIndex].name) + kNoFunctions);
      p.funcResult.Clear();
      context.functions->Call(op.funcIndex, p.ArgsOf(po), static_cast<int>(po.count), p.funcResult);
      TParamCollectionItem* dest = vars.FindVar(op.destination);
      if (dest == nullptr) MissingVariable(op.destination);
      p.funcResult.StoreInto(dest->Value());
      continue;
    }
    TParamCollectionItem* dest = vars.FindVar(op.destination);
    if (dest == nullptr) MissingVariable(op.destination);
    if (op.code != ocDimTo && op.code != ocNone) {
      TCustomParam& value = dest->Value();
      expr::Perform(op.code, value, value.ParamType(), *op.operands[0], OperandB(op));
    }
  }
  if (p.argSlot >= 0) {
    if (vars.FindVar(kArgName) != nullptr) {
      std::unique_ptr<TCustomParam> copy = vars.GetCopy(kArgName);
      TakeResult(*copy);
    }
  }
}

// ---- RunText ----

bool RunText(std::string_view text) { return RunText(GlobalExprContext(), text); }

bool RunText(TExprContext& context, std::string_view text, std::string* error) {
  const std::string_view trimmed = expr::TrimBlanks(text);
  if (trimmed.empty()) return false;
  TQuboParser expression;
  try {
    TBuildQuboParser compiler(context.tempFloor);
    compiler.Compile(trimmed);
    // The stored form as data: what writing it and reading it back would give (the compiler
    // only stores what the reader accepts), without the bytes in between.
    expression.LoadFromStored(compiler.TakeStored());
  } catch (const std::exception& e) {
    if (error != nullptr) *error = e.what();
    return false;
  }
  // The run itself never raises: a failing operation ends it silently.
  expression.Execute(context);
  if (error != nullptr) *error = expression.LastError();
  return true;
}

}  // namespace qubo
