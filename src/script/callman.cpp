#include "script/callman.h"

#include <cinttypes>
#include <cstdio>

#include "script/commands.h"
#include "script/paramcollection.h"
#include "storage/vrfiles.h"
#include "support/encoding.h"
#include "support/errors.h"
#include "support/record.h"
#include "support/sjis.h"

namespace qubo {

const char* const kMsgStackError = "\x83\x58\x83\x5E\x83\x62\x83\x4E\x83\x47\x83\x89\x81\x5B";

// ---- TEngineHost defaults: the virtual file system and the standard error stream

bool TEngineHost::HasPage(const std::string& name) {
  TVrFileManager* files = TVrFileManager::Instance();
  return files != nullptr && files->Exists(name);
}

std::vector<uint8_t> TEngineHost::ReadPage(const std::string& name) {
  TVrFileManager* files = TVrFileManager::Instance();
  if (files == nullptr) throw QuboError(MissingFileMessage(name));
  TKoMemoryStream s;
  files->Read(s, name);
  return std::move(s.Bytes());
}

void TEngineHost::ShowWarning(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", Cp932ToUtf8(caption).c_str(), Cp932ToUtf8(text).c_str());
}

void TEngineHost::ReportFailure(const TFailureReport& r) {
  std::fprintf(stderr, "%s(%d): %s\n", Cp932ToUtf8(r.page).c_str(), r.line, Cp932ToUtf8(r.message).c_str());
}

// ---- Frames

namespace {

// target := value, where target is any assignable text (a name, an array element). The value
// travels in a temporary variable, so no text of it is ever compiled.
void AssignValueTo(TExprContext& context, const std::string& target, const TCustomParam& value) {
  if (context.vars == nullptr) return;
  TParamCollection& vars = *context.vars;
  const std::string temp = "____ret" + std::to_string(vars.Count());
  TParamCollectionItem* t = vars.AddNamed(value.ParamType() == PT_NONE ? uint8_t{PT_STR} : value.ParamType(), temp);
  if (t == nullptr) return;
  t->Value().AssignAll(value);
  RunText(context, target + " = " + temp);
  vars.Delete(t);
}

using SenderMap = std::function<std::string(const std::string&)>;

void WriteStrings(RecordWriter& w, const std::vector<std::string>& list) {
  w.I32(static_cast<int32_t>(list.size()));
  for (const auto& s : list) w.String(s);
}

std::vector<std::string> ReadStrings(RecordReader& r) {
  const int32_t n = r.Count(4);
  std::vector<std::string> list;
  list.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) list.push_back(r.String());
  return list;
}

}  // namespace

void TStack::CopyFrom(const TStack& o) {
  pageName = o.pageName;
  returnCounter = o.returnCounter;
  entered = o.entered;
  keepRunning = o.keepRunning;
  resultVariable = o.resultVariable;
  arguments = o.arguments;
  sender = o.sender;
  savedState.reset();
  if (o.savedState) savedState = std::make_unique<TKoMemoryStream>(o.savedState->Bytes());
  resultValue.reset();
  if (o.resultValue) {
    resultValue = NewParam(o.resultValue->ParamType());
    resultValue->AssignAll(*o.resultValue);
  }
}

void TStack::Save(TStream& stream, const SenderMap& liveSender) const {
  RecordWriter w(stream);
  w.String(pageName);
  w.I32(returnCounter);
  w.U8(entered);
  w.U8(keepRunning);
  w.String(resultVariable);
  WriteStrings(w, arguments);
  w.String(sender.empty() ? sender : liveSender(sender));
  if (savedState) {
    w.I32(static_cast<int32_t>(savedState->GetSize()));
    savedState->SaveToStream(stream);
  } else {
    w.I32(0);
  }
  w.U8(resultValue ? resultValue->ParamType() : 0);
  if (resultValue) resultValue->SaveToStream(w);
}

void TStack::Load(TStream& stream, const SenderMap& liveSender) {
  RecordReader r(stream);
  pageName = r.String();
  returnCounter = r.I32();
  entered = r.U8();
  keepRunning = r.U8();
  resultVariable = r.String();
  arguments = ReadStrings(r);
  sender = r.String();
  if (!sender.empty()) sender = liveSender(sender);
  const int32_t n = r.I32();
  savedState.reset();
  if (n > 0) savedState = std::make_unique<TKoMemoryStream>(r.Bytes(n));
  const uint8_t type = r.U8();
  resultValue.reset();
  if (type != 0) {
    if (type > 4) throw FormatError("bad result value type");
    resultValue = NewParam(type);
    resultValue->LoadFromStream(r);
  }
}

TStack& TStackList::Push() {
  frames_.push_back(std::make_unique<TStack>());
  SyncDepth();
  return *frames_.back();
}

TStack& TStackList::Pop() {
  if (frames_.empty()) throw QuboError(kMsgStackError);
  std::unique_ptr<TStack> top = std::move(frames_.back());
  frames_.pop_back();
  // The popped frame itself becomes the scratch frame: same content as a copy, no copying.
  std::swap(scratch_, *top);
  SyncDepth();
  return scratch_;
}

void TStackList::Clear() {
  frames_.clear();
  SyncDepth();
}

bool TStackList::Remove(int32_t i) {
  if (i < 0 || i >= Count()) return false;
  frames_.erase(frames_.begin() + i);
  SyncDepth();
  return true;
}

void TStackList::SyncDepth() {
  if (vars_ != nullptr) vars_->SetCurrentLocalId(Count());
}

// ---- TCallMan

TCallMan::TCallMan(TEngineHost& host, TExprContext& context)
    : host_(host), context_(context), stack_(context.vars) {}

TCallMan::~TCallMan() = default;

void TCallMan::Start(const std::string& page) {
  try {
    StartPage(page);
  } catch (const std::exception& e) {
    current_.reset();
    Fail(e.what());
  }
}

void TCallMan::StartPage(const std::string& page) {
  current_ = LoadPage(page, true);
  pc_ = 0;
  entered_ = false;
  arguments_.clear();
  runState_ = 0;
  stack_.Clear();
  sender_.clear();
  RemoveEvents(1, eventLevel_);
  eventLevel_ = 2;
}

TPageRef TCallMan::LoadPage(const std::string& name, bool toFront) {
  if (toFront) pc_ = 0;
  for (size_t i = 0; i < cache_.size(); ++i) {
    if (cache_[i]->Name() != name) continue;
    TPageRef page = cache_[i];
    if (toFront && i > 0) {
      cache_.erase(cache_.begin() + static_cast<ptrdiff_t>(i));
      cache_.insert(cache_.begin(), page);
    }
    return page;
  }
  auto page = std::make_shared<TPage>();
  const TPage::LoadResult loaded = page->LoadFromBytes(name, host_.ReadPage(name));
  if (loaded == TPage::LoadResult::TooNew) {
    // Running nothing in silence would leave the game frozen: say which page and why.
    throw QuboError(name + ": page version " + std::to_string(page->Version()) +
                    " is newer than this player reads (" + std::to_string(kNewestPageVersion) + ")");
  }
  if (loaded == TPage::LoadResult::TooOld) {
    // A page from an older authoring tool cannot run: warn and end the game.
    terminated_ = true;
    abnormalEnd_ = true;
    host_.ShowWarning(kCaptionWarning, name + "\r\n" + kMsgRebuildPage);
    host_.RequestClose();
  }
  if (toFront) {
    cache_.insert(cache_.begin(), page);
    for (size_t i = cache_.size(); i-- > static_cast<size_t>(kCachedPages);) {
      if (cache_[i] != current_) cache_.erase(cache_.begin() + static_cast<ptrdiff_t>(i));
    }
  } else {
    cache_.push_back(page);
  }
  return page;
}

std::string TCallMan::Argument(int32_t i) const {
  return i >= 0 && i < ArgumentCount() ? arguments_[static_cast<size_t>(i)] : std::string();
}

std::string TCallMan::SenderName() { return runState_ != 0 && !sender_.empty() ? LiveSender(sender_) : std::string(); }

TCustomParam* TCallMan::CallResult() { return stack_.Count() > 0 ? stack_.Top().resultValue.get() : nullptr; }

bool TCallMan::Idle() {
  if (runState_ != 0 || stack_.Count() != 0) return false;
  if (current_ && current_->Contains(pc_)) return false;
  TEventQueue* q = host_.Events();
  return q == nullptr || q->FirstPending() == nullptr;
}

void TCallMan::RemoveEvents(int32_t fromState, int32_t toState) {
  if (TEventQueue* q = host_.Events()) q->RemoveStates(fromState, toState);
}

void TCallMan::DeleteLocals(int32_t depth) {
  if (Vars() != nullptr) Vars()->DeleteLocal(depth);
}

void TCallMan::Fail(const std::string& message, const TCommand* command) {
  terminated_ = true;
  abnormalEnd_ = true;
  TFailureReport report;
  report.message = message;
  if (command != nullptr && command->Page() != nullptr) {
    report.page = command->Page()->Name();
    report.line = command->SourceLine();
  } else if (current_) {
    report.page = current_->Name();
    if (current_->Contains(pc_)) report.line = current_->Command(pc_)->SourceLine();
  }
  host_.ReportFailure(report);
}

void TCallMan::Trace(const std::string& page, const TCommand& c, bool event) {
  char clock[16];
  std::snprintf(clock, sizeof clock, "%.8" PRIx32, host_.GameClock());
  trace_(std::string(clock) + (event ? " : <Event>" : " : ") + page + "(" + std::to_string(c.SourceLine()) + ")");
}

void TCallMan::Run() {
  do {
    switch (runState_) {
      case 0:
        if (DispatchEvent(1) == 0) Step();
        break;
      case 1: {
        const int r = Step();
        if (r == 1) {
          RemoveEvents(1, 1);
          runState_ = 0;
          keepRunning_ = true;
        } else if (r == 2) {
          eventLevel_ = 2;
          runState_ = 2;
          return;
        } else if (runState_ != 1) {
          keepRunning_ = true;
        }
        break;
      }
      case 2:
        if (DispatchEvent(eventLevel_) == 0) {
          runState_ = eventLevel_ > 2 ? 3 : 1;
        } else {
          ++eventLevel_;
          runState_ = 3;
        }
        break;
      default: {
        const int r = Step();
        if (r == 1 || r == -1) {
          --eventLevel_;
          RemoveEvents(eventLevel_, eventLevel_);
          if (eventLevel_ <= 2) runState_ = 2;
        } else if (r == 2) {
          runState_ = 2;
          return;
        }
        break;
      }
    }
  } while ((keepRunning_ || runState_ != 0) && !terminated_);
}

void TCallMan::ExecuteCurrent(TPageRef& page, bool& yield) {
  if (!current_->Contains(pc_)) {
    page.reset();
    return;
  }
  // The page is held here: a command that replaces it cannot free itself while it runs.
  const TPageRef running = current_;
  TCommand* c = running->Command(pc_);
  try {
    if (trace_ && c != lastTraced_) {
      Trace(current_->Name(), *c, false);
      lastTraced_ = c;
    }
    if (!entered_) {
      if (c->IsDisabled()) {
        ++pc_;
        return;
      }
      c->Prepare(*this);
      entered_ = true;
    }
    keepRunning_ = c->ContinueFlag() != 0;
    yield = c->Yields(*this);
    const int32_t oldPc = pc_;
    const TPage* oldPage = page.get();
    c->Execute(*this, page, pc_);
    if (page.get() != oldPage || pc_ != oldPc) entered_ = false;
  } catch (const std::exception& e) {
    Fail(e.what(), c);
  }
}

int TCallMan::Step() {
  if (!current_ || terminated_) return 0;
  TPageRef page = current_;
  bool yield = false;
  ExecuteCurrent(page, yield);
  if (terminated_) return 0;
  int result = yield ? 2 : 0;
  if (page) {
    current_ = std::move(page);
    return result;
  }
  if (stack_.Count() == 0) {
    keepRunning_ = false;  // the top-level script has ended; later ticks only dispatch events
    return result;
  }
  try {
    DeleteLocals(stack_.Count());
    TStack& frame = stack_.Pop();
    AssignResult(frame);
    current_ = frame.pageName.empty() ? nullptr : LoadPage(frame.pageName, true);
    pc_ = frame.returnCounter;
    entered_ = frame.entered != 0;
    keepRunning_ = frame.keepRunning != 0;
    arguments_ = frame.arguments;
    sender_ = frame.sender;
    if (frame.savedState && current_ && current_->Contains(pc_)) {
      frame.savedState->Seek(0, SeekOrigin::Begin);
      current_->Command(pc_)->LoadState(*frame.savedState);
    }
  } catch (const std::exception& e) {
    Fail(e.what());
    return 0;
  }
  if (sender_.empty()) return 1;
  return result == 0 ? -1 : result;
}

void TCallMan::AssignResult(const TStack& frame) {
  if (frame.resultVariable.empty() || !frame.resultValue || Vars() == nullptr) return;
  // The value is handed over as a value: a variable of that name takes it directly, any
  // other target (an array element) through an assignment whose operand is the value itself,
  // never through text with the value pasted in.
  if (TParamCollectionItem* var = Vars()->FindVar(frame.resultVariable)) {
    var->Value().AssignAll(*frame.resultValue);
    return;
  }
  AssignValueTo(context_, frame.resultVariable, *frame.resultValue);
}

int TCallMan::DispatchEvent(int32_t level) {
  if (current_ && current_->Contains(pc_) && entered_ && current_->Command(pc_)->BlocksEvents()) return 0;
  TEventQueue* queue = host_.Events();
  if (queue == nullptr) return 0;
  TQueuedEvent* ev = queue->FirstPending();
  if (ev == nullptr) return 0;
  std::string page, label;
  SplitHandler(ev->handler, page, label);
  if (!host_.HasPage(page)) return 0;
  try {
    TStack& f = stack_.Push();
    f.pageName = current_ ? current_->Name() : std::string();
    f.returnCounter = pc_;
    f.entered = entered_ ? 1 : 0;
    f.arguments = arguments_;
    f.sender = sender_;
    f.keepRunning = keepRunning_ ? 1 : 0;
    if (entered_ && current_ && current_->Contains(pc_)) {
      f.savedState = std::make_unique<TKoMemoryStream>();
      current_->Command(pc_)->SaveState(*f.savedState);
    }
    current_ = LoadPage(page, true);
  } catch (const std::exception& e) {
    Fail(e.what());
    return 0;
  }
  pc_ = label.empty() ? 0 : std::max(current_->FindLabel(label), 0);
  if (trace_ && current_->Contains(pc_)) {
    Trace(current_->Name(), *current_->Command(pc_), true);
    lastTraced_ = current_->Command(pc_);
  }
  entered_ = false;
  ev->state = level;
  arguments_ = ev->args;
  sender_ = ev->sender;
  runState_ = 1;
  return 1;
}

void SplitHandler(std::string_view handler, std::string& page, std::string& label) {
  // The label separator is the last single-byte ':' with no '.' or '\' after it; a ':' that
  // is the trail byte of a double-byte character never counts.
  size_t colon = std::string_view::npos;
  for (size_t i = 0; i < handler.size(); i = sjis::Next(handler, i)) {
    if (sjis::CharLen(handler, i) != 1) continue;
    const char c = handler[i];
    if (c == ':') colon = i;
    else if (c == '.' || c == '\\') colon = std::string_view::npos;
  }
  const std::string_view base = colon == std::string_view::npos ? handler : handler.substr(0, colon);
  label = colon == std::string_view::npos ? std::string() : std::string(handler.substr(colon + 1));
  // The extension is replaced by "qsb": the last three characters go.
  std::vector<size_t> starts;
  for (size_t i = 0; i < base.size(); i = sjis::Next(base, i)) starts.push_back(i);
  const size_t keep = starts.size() >= 3 ? starts[starts.size() - 3] : 0;
  page = std::string(base.substr(0, keep)) + "qsb";
}

// ---- Stored state

void TCallMan::Save(TStream& stream) {
  RecordWriter w(stream);
  const SenderMap live = [this](const std::string& n) { return LiveSender(n); };
  w.String(current_ ? current_->Name() : std::string());
  w.I32(pc_);
  w.U8(keepRunning_ ? 1 : 0);
  w.U8(entered_ ? 1 : 0);
  w.I32(runState_);
  w.String(sender_.empty() ? sender_ : LiveSender(sender_));
  WriteStrings(w, arguments_);
  stack_.Scratch().Save(stream, live);
  w.I32(stack_.Count());
  for (int32_t i = 0; i < stack_.Count(); ++i) stack_.Frame(i).Save(stream, live);
  w.I32(eventLevel_);
  if (entered_ && current_ && current_->Contains(pc_)) current_->Command(pc_)->SaveState(stream);
}

void TCallMan::Load(TStream& stream, int32_t saveVersion) {
  RecordReader r(stream);
  const SenderMap live = [this](const std::string& n) { return LiveSender(n); };
  const std::string page = r.String();
  current_ = page.empty() ? nullptr : LoadPage(page, true);
  pc_ = r.I32();
  keepRunning_ = r.U8() != 0;
  entered_ = r.U8() != 0;
  runState_ = r.I32();
  sender_ = r.String();
  if (!sender_.empty()) sender_ = LiveSender(sender_);
  arguments_ = ReadStrings(r);
  stack_.Clear();
  stack_.Scratch().Load(stream, live);
  const int32_t n = r.Count(4 + 4 + 1 + 1 + 4 + 4 + 4 + 4 + 1);
  for (int32_t i = 0; i < n; ++i) stack_.Push().Load(stream, live);
  eventLevel_ = saveVersion >= 116 ? r.I32() : 2;
  if (entered_ && current_ && current_->Contains(pc_)) current_->Command(pc_)->LoadState(stream);
}

}  // namespace qubo
