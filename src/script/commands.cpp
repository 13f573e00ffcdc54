#include "script/commands.h"

#include <cstring>

#include "script/callman.h"
#include "script/messages.h"
#include "script/paramcollection.h"
#include "support/errors.h"
#include "support/record.h"

namespace qubo {

namespace {

// Field positions, as in the command table.
enum : size_t { kJumpPage = 0, kJumpTarget = 1, kJumpCond = 2 };
enum : size_t { kCallPage = 0, kCallTarget = 1, kCallResult = 2, kCallCond = 3, kCallArgs = 4 };
enum : size_t { kWaitCond = 0, kWaitTime = 1, kWaitBlocks = 2 };
enum : size_t { kVarName = 0, kVarType = 1, kVarInit = 2, kVarScope = 3 };
enum : size_t { kSaveSlot = 0, kSavePage = 1, kSavePosition = 2, kSaveCaption = 3 };
enum : size_t { kResetPage = 0, kResetTarget = 1, kResetAll = 2 };

constexpr char kStateTag[] = "qubo100";

// Skips the commands of a block: those with a greater indent than the one that opened it.
void SkipBlock(const TPage& page, int32_t indent, int32_t& pc) {
  while (page.Contains(pc) && page.Command(pc)->Indent() > indent) ++pc;
}

}  // namespace

int32_t ReadStateTag(TStream& stream) {
  const int64_t start = stream.GetPosition();
  char tag[7];
  if (stream.Read(tag, 7) == 7 && std::memcmp(tag, "qubo", 4) == 0) {
    int32_t v = 0;
    for (int i = 4; i < 7; ++i) {
      if (tag[i] < '0' || tag[i] > '9') return 0;
      v = v * 10 + (tag[i] - '0');
    }
    return v;
  }
  stream.Seek(start, SeekOrigin::Begin);
  return 0;
}

void WriteStateTag(TStream& stream) { stream.WriteBuffer(kStateTag, 7); }

// ---- Conditions

void TComIf::Execute(TCallMan& engine, TPageRef&, int32_t& pc) {
  ++pc;
  if (Test(engine)) return;
  const TPage& page = *Page();
  while (page.Contains(pc)) {
    TCommand* c = page.Command(pc);
    if (c->Indent() > Indent()) {
      ++pc;
      continue;
    }
    if (c->Indent() < Indent()) return;
    if (c->CommandType() == cmdElseif) {
      ++pc;
      if (static_cast<TComElseif*>(c)->Test(engine)) return;
      continue;
    }
    if (c->CommandType() == cmdElse) ++pc;
    return;
  }
}

void TComElseif::Execute(TCallMan&, TPageRef&, int32_t& pc) {
  ++pc;
  SkipBlock(*Page(), Indent(), pc);
}

void TComElse::Execute(TCallMan&, TPageRef&, int32_t& pc) {
  ++pc;
  SkipBlock(*Page(), Indent(), pc);
}

// ---- Jumps, calls, returns and loops

void TComJump::Execute(TCallMan& engine, TPageRef& page, int32_t& pc) {
  ++pc;
  const std::string& name = Field(kJumpPage).text;
  if (!Condition(engine, Expr(kJumpCond)) || !engine.HasPage(name)) return;
  page = engine.LoadPage(name, true);
  pc = Field(kJumpTarget).number;
}

void TComCall::Execute(TCallMan& engine, TPageRef& page, int32_t& pc) {
  ++pc;
  const std::string& name = Field(kCallPage).text;
  if (!Condition(engine, Expr(kCallCond)) || !engine.HasPage(name)) return;
  // Arguments without a value are left out; later ones move forward.
  std::vector<std::string> args;
  for (size_t i = 0; i < ExprCount(kCallArgs); ++i) {
    if (const TCustomParam* v = Eval(engine, Expr(kCallArgs, i))) args.push_back(v->AsStr());
  }
  TStack& frame = engine.Stack().Push();
  frame.pageName = Page()->Name();
  frame.returnCounter = pc;
  frame.resultVariable = Field(kCallResult).text;
  frame.keepRunning = engine.KeepRunning() ? 1 : 0;
  frame.sender = engine.Sender();
  frame.arguments = std::move(engine.Arguments());
  engine.Arguments() = std::move(args);
  page = engine.LoadPage(name, true);
  pc = Field(kCallTarget).number;
  frame.resultValue = NewParam(page->ResultType(), engine.Vars());
}

void TComExit::Execute(TCallMan& engine, TPageRef& page, int32_t& pc) {
  if (Condition(engine, Expr(0))) {
    page.reset();
  } else {
    ++pc;
  }
}

void TComBreak::Execute(TCallMan& engine, TPageRef& page, int32_t& pc) {
  if (!Condition(engine, Expr(0))) {
    ++pc;
    return;
  }
  const int32_t target = Field(1).number;
  if (target < 0) {
    page.reset();
  } else {
    pc = target;
  }
}

void TComContinue::Execute(TCallMan& engine, TPageRef& page, int32_t& pc) {
  ++pc;
  if (!Condition(engine, Expr(0))) return;
  const int32_t target = Field(1).number;
  if (target < 0) {
    page.reset();
  } else {
    pc = target;
  }
}

void TComWhile::Execute(TCallMan& engine, TPageRef&, int32_t& pc) {
  ++pc;
  if (!Condition(engine, Expr(0))) pc = Field(1).number;
}

void TComWhileInit::Execute(TCallMan& engine, TPageRef&, int32_t& pc) {
  ++pc;
  Eval(engine, Expr(0));
}

void TComWhileLoop::Execute(TCallMan& engine, TPageRef&, int32_t& pc) {
  pc = Field(1).number;
  Eval(engine, Expr(0));
}

// ---- Waits

void TComWait::Prepare(TCallMan& engine) {
  remaining_ = 0;
  int32_t time = 0;
  if (EvalInt(engine, Expr(kWaitTime), time)) remaining_ = time;
  framesToSkip_ = 1;
  blocksEvents_ = false;
  EvalBool(engine, Expr(kWaitBlocks), blocksEvents_);
}

void TComWait::Execute(TCallMan& engine, TPageRef&, int32_t& pc) {
  const TCustomParam* cond = Eval(engine, Expr(kWaitCond));
  if (cond != nullptr && !cond->AsBool()) {
    ++pc;
    return;
  }
  if (remaining_ != 0) {
    // The first execution after Prepare never counts time.
    if (framesToSkip_ <= 0) {
      remaining_ = static_cast<int32_t>(static_cast<int64_t>(remaining_) - engine.Host().FrameElapsed());
      if (remaining_ <= 0) {
        ++pc;
        return;
      }
    } else {
      --framesToSkip_;
    }
  }
  engine.SetKeepRunning(false);
}

void TComWait::SaveState(TStream& stream) {
  WriteStateTag(stream);
  RecordWriter w(stream);
  w.I32(remaining_);
  w.I32(framesToSkip_);
  w.U8(blocksEvents_ ? 1 : 0);
}

void TComWait::LoadState(TStream& stream) {
  const int32_t version = ReadStateTag(stream);
  RecordReader r(stream);
  remaining_ = r.I32();
  framesToSkip_ = r.I32();
  if (version >= 100) blocksEvents_ = r.U8() != 0;
}

// ---- Variables and calculations

void TComCalc::Execute(TCallMan& engine, TPageRef&, int32_t& pc) {
  ++pc;
  Eval(engine, Expr(0));
}

void TComVarNew::Execute(TCallMan& engine, TPageRef&, int32_t& pc) {
  ++pc;
  const std::string& name = Field(kVarName).text;
  if (name.empty()) throw QuboError(msg::kMsgNoName);
  TParamCollection* vars = engine.Vars();
  if (vars == nullptr) return;
  const uint8_t type = static_cast<uint8_t>(Field(kVarType).number);
  const int32_t scopeByte = Field(kVarScope).number;
  const VarScope scope = scopeByte >= 0 && scopeByte <= 3 ? static_cast<VarScope>(scopeByte) : VarScope::Global;
  const TParamCollection::Declared d = vars->Declare(name, type, scope);
  if (d.keepValue) return;  // a status variable keeps its value
  const TCustomParam* value = Eval(engine, Expr(kVarInit));
  if (value == nullptr) return;
  // The expression may have deleted or replaced the variable: look it up again.
  TParamCollectionItem* var = vars->Find(name, scope == VarScope::Local);
  if (var != nullptr) TParamCollection::StoreAs(var->Value(), type, *value);
}

void TComVarDel::Execute(TCallMan& engine, TPageRef&, int32_t& pc) {
  ++pc;
  const std::string& name = Field(0).text;
  if (name.empty() || engine.Vars() == nullptr) return;
  if (TParamCollectionItem* var = engine.Vars()->FindVar(name)) engine.Vars()->Delete(var);
}

// ---- Save and load requests, redirection, reset, the end

void TComGameSave::Execute(TCallMan& engine, TPageRef&, int32_t& pc) {
  ++pc;
  int32_t slot = 0;
  EvalInt(engine, Expr(kSaveSlot), slot);
  std::string caption;
  EvalStr(engine, Expr(kSaveCaption), caption);
  engine.Host().RequestSave(slot, caption, Field(kSavePage).text, Field(kSavePosition).number);
}

void TComGameLoad::Execute(TCallMan& engine, TPageRef&, int32_t& pc) {
  ++pc;
  int32_t slot = 0;
  EvalInt(engine, Expr(0), slot);
  engine.Host().RequestLoad(slot);
}

void TComPCReset::Execute(TCallMan& engine, TPageRef& page, int32_t& pc) {
  const std::string& name = Field(kResetPage).text;
  const int32_t target = Field(kResetTarget).number;
  TStackList& stack = engine.Stack();
  TEventQueue* events = engine.Host().Events();
  engine.DeleteLocals(stack.Count());

  if (Field(kResetAll).number != 0) {
    for (int32_t i = stack.Count() - 1; i >= 0; --i) {
      engine.DeleteLocals(i);
      TStack& f = stack.Frame(i);
      if (f.sender.empty() && f.entered != 0) {
        // The main script was inside a command when the handler started: end it now.
        page = engine.LoadPage(f.pageName, true);
        if (page->Contains(f.returnCounter)) page->Command(f.returnCounter)->Abort(engine);
      }
    }
    engine.StartPage(name);
    page = engine.CurrentPage();
    pc = target;
    if (events != nullptr) events->Clear();
    return;
  }

  // Redirect the main script: rewrite the frame it will resume from.
  int32_t outer = -1;
  for (int32_t i = 0; i < stack.Count(); ++i) {
    if (!stack.Frame(i).sender.empty()) {
      outer = i;
      break;
    }
  }
  if (outer < 0 && !engine.Sender().empty()) outer = stack.Count();
  bool rewritten = false;
  for (int32_t i = outer - 1; i >= 0; --i) {
    TStack& f = stack.Frame(i);
    if (!f.sender.empty()) continue;
    engine.DeleteLocals(i + 1);
    f.pageName = name;
    f.returnCounter = target;
    f.entered = 0;
    f.resultVariable.clear();
    f.arguments.clear();
    f.savedState.reset();
    ++pc;  // the handler itself continues
    rewritten = true;
    break;
  }
  if (!rewritten) {
    page = engine.LoadPage(name, true);
    pc = target;
  }
  if (events != nullptr) events->RemoveDispatched();
}

void TComReset::Execute(TCallMan& engine, TPageRef& page, int32_t& pc) {
  engine.Host().ResetWorld();
  if (engine.Vars() != nullptr) engine.Vars()->ClearVars();
  engine.StartPage(Field(kResetPage).text);
  page = engine.CurrentPage();
  pc = Field(kResetTarget).number;
}

void TComTerminate::Execute(TCallMan& engine, TPageRef&, int32_t&) {
  engine.SetTerminated(true);
  engine.Host().RequestClose();
}

// ---- The factory

std::unique_ptr<TCommand> CreateCommand(TComList* list, uint8_t typeByte) {
  const int code = typeByte & 0x7F;
  switch (code) {
    case cmdIf: return std::make_unique<TComIf>(list);
    case cmdElseif: return std::make_unique<TComElseif>(list);
    case cmdElse: return std::make_unique<TComElse>(list);
    case cmdLabel: return std::make_unique<TComLabel>(list);
    case cmdJump: return std::make_unique<TComJump>(list);
    case cmdCall: return std::make_unique<TComCall>(list);
    case cmdExit: return std::make_unique<TComExit>(list);
    case cmdWait: return std::make_unique<TComWait>(list);
    case cmdCalc: return std::make_unique<TComCalc>(list);
    case cmdVarNew: return std::make_unique<TComVarNew>(list);
    case cmdVarDel: return std::make_unique<TComVarDel>(list);
    case cmdComment: return std::make_unique<TComComment>(list);
    case cmdWhile: return std::make_unique<TComWhile>(list);
    case cmdWhileInit: return std::make_unique<TComWhileInit>(list);
    case cmdWhileLoop: return std::make_unique<TComWhileLoop>(list);
    case cmdBreak: return std::make_unique<TComBreak>(list);
    case cmdContinue: return std::make_unique<TComContinue>(list);
    case cmdGameSave: return std::make_unique<TComGameSave>(list);
    case cmdGameLoad: return std::make_unique<TComGameLoad>(list);
    case cmdPCReset: return std::make_unique<TComPCReset>(list);
    case cmdReset: return std::make_unique<TComReset>(list);
    case cmdTerminate: return std::make_unique<TComTerminate>(list);
    case cmdDoEvent: return std::make_unique<TComDoEvent>(list);
    case cmdIfdef: return std::make_unique<TComIfdef>(list);
    case cmdIfndef: return std::make_unique<TComIfndef>(list);
    case cmdEndif: return std::make_unique<TComEndif>(list);
    default:
      if (code >= kCommandTypes) throw QuboError(kMsgBadCommand);
      // Scene commands: they advance until the scene gives them their behaviour.
      return std::make_unique<TCommand>(list);
  }
}

}  // namespace qubo
