#pragma once
// The execution engine TCallMan: the page cache, the program counter, the call stack of
// TStack frames, the arguments of the current call and the dispatch of queued script events
// to handler pages, which run as nested calls and may suspend while they wait. The host calls
// Run once per tick.
//
// What the engine needs beyond the variable table and the expressions comes through
// TEngineHost (pages, the game clock, the scene's objects, the project's requests, the
// visible report of a failure) and the event queue the scene owns.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/eventqueue.h"
#include "script/expreval.h"
#include "script/page.h"
#include "script/project.h"

namespace qubo {

// A command that failed: where, and why.
struct TFailureReport {
  std::string page;
  int32_t line = 0;
  std::string message;
};

class TEngineHost {
 public:
  virtual ~TEngineHost() = default;
  // Whether the game has the page (the project's test, which may ask for another disc).
  // Default: the virtual file system has the file.
  virtual bool HasPage(const std::string& name);
  // The bytes of a page file; a missing one raises the file system's missing-file message.
  virtual std::vector<uint8_t> ReadPage(const std::string& name);
  // The game clock (ms) and the time credited to the current frame.
  virtual uint32_t GameClock() { return 0; }
  virtual int32_t FrameElapsed() { return 16; }
  // Whether a scene object of that name exists.
  virtual bool ObjectExists(const std::string&) { return false; }
  // The scene's event queue; null: no events.
  virtual TEventQueue* Events() { return nullptr; }
  // A page too old to run: the warning box (caption "警告", text page + "\r\n" + rebuild).
  virtual void ShowWarning(const std::string& caption, const std::string& text);
  // A failing command ended the game: shown to the user.
  virtual void ReportFailure(const TFailureReport& report);
  // The main window is asked to close (Terminate, a page too old to run).
  virtual void RequestClose() {}
  // The requests of GameSave and GameLoad, carried out after the tick.
  virtual void RequestSave(int32_t, const std::string& /*caption*/, const std::string& /*page*/, int32_t /*pos*/) {}
  virtual void RequestLoad(int32_t) {}
  // Reset: the scene, the tables and the history formats (the engine clears the variables).
  virtual void ResetWorld() {}
};

class TStack {
 public:
  std::string pageName;
  int32_t returnCounter = 0;
  uint8_t entered = 0;
  uint8_t keepRunning = 0;
  std::string resultVariable;
  std::vector<std::string> arguments;
  std::string sender;
  std::unique_ptr<TKoMemoryStream> savedState;
  std::unique_ptr<TCustomParam> resultValue;

  void CopyFrom(const TStack& other);
  void Save(TStream& stream, const std::function<std::string(const std::string&)>& liveSender) const;
  void Load(TStream& stream, const std::function<std::string(const std::string&)>& liveSender);
};

class TStackList {
 public:
  explicit TStackList(TParamCollection* vars) : vars_(vars) {}
  TStack& Push();
  // The scratch frame, holding a copy of the removed top frame; "スタックエラー" when empty.
  TStack& Pop();
  void Clear();
  int32_t Count() const { return static_cast<int32_t>(frames_.size()); }
  TStack& Frame(int32_t i) { return *frames_[static_cast<size_t>(i)]; }
  TStack& Top() { return *frames_.back(); }
  TStack& Scratch() { return scratch_; }
  // Takes frame i out (the variables are the caller's business); false when there is none.
  bool Remove(int32_t i);
  void SetVars(TParamCollection* vars) { vars_ = vars; }

 private:
  void SyncDepth();
  TParamCollection* vars_;
  std::vector<std::unique_ptr<TStack>> frames_;
  TStack scratch_;
};

class TCallMan : public TProjectEngine {
 public:
  static constexpr int kCachedPages = 30;

  TCallMan(TEngineHost& host, TExprContext& context);
  ~TCallMan() override;

  // TProjectEngine
  // Start reports a page that cannot be loaded as a failure; StartPage raises it.
  void Start(const std::string& page) override;
  void StartPage(const std::string& page);
  void Run() override;

  // The page of that name from the cache, or loaded. toFront moves it first (and sets the
  // program counter to 0); a new page then evicts the least recently used ones beyond
  // kCachedPages, never the current page.
  TPageRef LoadPage(const std::string& name, bool toFront);

  int32_t ArgumentCount() const { return static_cast<int32_t>(arguments_.size()); }
  std::string Argument(int32_t i) const;
  // The sender's name while a handler runs and the sender still exists; else empty.
  std::string SenderName();
  // The result value of the innermost frame (null with an empty stack).
  TCustomParam* CallResult();

  // The main script has ended (or never started), no handler runs and no event waits.
  bool Idle();

  void Save(TStream& stream);
  void Load(TStream& stream, int32_t saveVersion);

  // ---- State the commands work on
  TEngineHost& Host() { return host_; }
  TExprContext& Context() { return context_; }
  TParamCollection* Vars() { return context_.vars; }
  const TPageRef& CurrentPage() const { return current_; }
  int32_t Pc() const { return pc_; }
  bool KeepRunning() const { return keepRunning_; }
  void SetKeepRunning(bool on) { keepRunning_ = on; }
  bool Entered() const { return entered_; }
  int32_t RunState() const { return runState_; }
  int32_t EventLevel() const { return eventLevel_; }
  TStackList& Stack() { return stack_; }
  std::vector<std::string>& Arguments() { return arguments_; }
  const std::string& Sender() const { return sender_; }
  bool Terminated() const { return terminated_; }
  bool AbnormalEnd() const { return abnormalEnd_; }
  void SetTerminated(bool on) { terminated_ = on; }
  void SetAbnormalEnd(bool on) { abnormalEnd_ = on; }
  // Whether the project has the page (it may ask for another disc).
  bool HasPage(const std::string& name) { return host_.HasPage(name); }
  void RemoveEvents(int32_t fromState, int32_t toState);

  // Trace lines "%.8x : %s(%d)"; none when no sink is set.
  void SetTraceSink(std::function<void(std::string_view)> sink) { trace_ = std::move(sink); }
  // Releases the locals of depth: DeleteLocal on the variable table.
  void DeleteLocals(int32_t depth);

 private:
  int Step();
  void ExecuteCurrent(TPageRef& page, bool& yield);
  int DispatchEvent(int32_t level);
  void AssignResult(const TStack& frame);
  void Trace(const std::string& page, const TCommand& c, bool event);
  void Fail(const std::string& message, const TCommand* command = nullptr);
  std::string LiveSender(const std::string& name) { return host_.ObjectExists(name) ? name : std::string(); }

  TEngineHost& host_;
  TExprContext& context_;
  std::vector<TPageRef> cache_;
  TPageRef current_;
  int32_t pc_ = 0;
  bool keepRunning_ = false;
  bool entered_ = false;
  TStackList stack_;
  std::vector<std::string> arguments_;
  int32_t runState_ = 0;
  std::string sender_;
  int32_t eventLevel_ = 2;
  bool terminated_ = false;
  bool abnormalEnd_ = false;
  std::function<void(std::string_view)> trace_;
  const TCommand* lastTraced_ = nullptr;
};

// Splits an event handler text into its page (extension replaced by "qsb") and its label.
void SplitHandler(std::string_view handler, std::string& page, std::string& label);

// "スタックエラー"
extern const char* const kMsgStackError;

}  // namespace qubo
