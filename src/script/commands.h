#pragma once
// The commands the engine drives by itself: conditions and loops, labels, jumps, calls and
// returns, waits, calculations, variable creation and deletion, redirection and reset of the
// script, save and load requests and the end of the program. Commands that act on the scene
// come with the scene; until then they only advance.

#include <cstdint>
#include <string>

#include "script/page.h"

namespace qubo {

class TComIf : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
  bool Test(TCallMan& engine) { return Condition(engine, Expr(0)); }
};

// Reached by falling out of the previous block of the chain: skips its own block.
class TComElseif : public TComIf {
 public:
  using TComIf::TComIf;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComElse : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t ContinueFlag() const override { return 1; }
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComLabel : public TCommand {
 public:
  using TCommand::TCommand;
  bool IsLabel(const std::string& name) const override { return Field(0).text == name; }
};

class TComComment : public TComLabel {
 public:
  using TComLabel::TComLabel;
  bool IsLabel(const std::string&) const override { return false; }
  bool IsDisabled() const override { return true; }
  uint8_t ContinueFlag() const override { return 0; }
};

class TComJump : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComCall : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComExit : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComBreak : public TComExit {
 public:
  using TComExit::TComExit;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComContinue : public TComExit {
 public:
  using TComExit::TComExit;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComWhile : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

// The base of the run-time commands that keep state while they wait.
class TComRuntime : public TCommand {
 public:
  using TCommand::TCommand;
};

class TComWhileInit : public TComRuntime {
 public:
  using TComRuntime::TComRuntime;
  uint8_t ContinueFlag() const override { return 1; }
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComWhileLoop : public TComWhileInit {
 public:
  using TComWhileInit::TComWhileInit;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComWait : public TCommand {
 public:
  using TCommand::TCommand;
  bool BlocksEvents() const override { return blocksEvents_; }
  bool Yields(TCallMan&) override { return true; }
  void Prepare(TCallMan& engine) override;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
  void SaveState(TStream& stream) override;
  void LoadState(TStream& stream) override;

  int32_t Remaining() const { return remaining_; }

 private:
  int32_t remaining_ = 0;
  int32_t framesToSkip_ = 0;
  bool blocksEvents_ = false;
};

class TComDoEvent : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t ContinueFlag() const override { return 0; }
  bool Yields(TCallMan&) override { return true; }
};

class TComCalc : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComVarNew : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComVarDel : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComGameSave : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t ContinueFlag() const override { return 0; }
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComGameLoad : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t ContinueFlag() const override { return 0; }
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComPCReset : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComReset : public TComPCReset {
 public:
  using TComPCReset::TComPCReset;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

class TComTerminate : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& engine, TPageRef& page, int32_t& pc) override;
};

// Resolved when the pages were built; never executed.
class TComIfdef : public TCommand {
 public:
  using TCommand::TCommand;
  bool IsDisabled() const override { return true; }
  uint8_t ContinueFlag() const override { return 0; }
};
class TComIfndef : public TComIfdef {
 public:
  using TComIfdef::TComIfdef;
};
class TComEndif : public TComIfdef {
 public:
  using TComIfdef::TComIfdef;
};

// Reads the "qubo100" tag of a state record: its version, or 0 for a record written before
// the tag existed (the stream is then back where it was).
int32_t ReadStateTag(TStream& stream);
void WriteStateTag(TStream& stream);

}  // namespace qubo
