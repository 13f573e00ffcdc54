// qubo-tool calc: compiles and evaluates expressions over one fresh variable table.

#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "platform/headless.h"
#include "platform/system.h"
#include "script/exprcodes.h"
#include "script/exprcompiler.h"
#include "script/expreval.h"
#include "script/paramcollection.h"
#include "script/paramvar.h"
#include "script/scripthost.h"
#include "script/sysvars.h"
#include "support/encoding.h"
#include "support/errors.h"
#include "support/sjis.h"

namespace qubo::tool {
namespace {

const char* const kName = "calc";

int Usage() {
  std::fprintf(stderr,
               "usage: qubo-tool calc [--dump] [--var NAME=TYPE[DIMS][:VALUES]]... EXPR...\n"
               "Compiles and runs each EXPR in order over one variable table and prints the type\n"
               "and value of its result (of the assigned variable for an assignment), or the error.\n"
               "The table starts with the system variables (@Pi, @Year, @TextDelay, ...); dates and\n"
               "times read the system clock, there is no scene, call stack or screen.\n"
               "  --dump   also print the compiled operations of each EXPR\n"
               "  --var    declare a variable first: TYPE is int, float, flag or str; DIMS such as\n"
               "           [3] or [2,3] make an array; VALUES are element texts separated by ','\n"
               "example: qubo-tool calc --var a=int[3]:1,2,3 'x' 'a[1] * 10'\n");
  return 2;
}

std::string Out(const std::string& cp932) { return Cp932ToUtf8(cp932); }

const char* TypeWord(uint8_t type) {
  switch (type) {
    case PT_INT: return "int";
    case PT_FLOAT: return "float";
    case PT_BOOL: return "flag";
    case PT_STR: return "str";
    default: return "ref";
  }
}

int TypeFromWord(const std::string& w) {
  if (w == "int" || w == "integer") return PT_INT;
  if (w == "float" || w == "real") return PT_FLOAT;
  if (w == "flag" || w == "bool") return PT_BOOL;
  if (w == "str" || w == "string") return PT_STR;
  return -1;
}

// Strings in quotes, with line breaks and tabs written as \r, \n and \t so that every result
// stays on one line.
std::string ElementText(const TCustomParam& v, int32_t i) {
  const std::string s = v.GetStrAt(i);
  if (v.ParamType() != PT_STR) return s;
  std::string out = "\"";
  for (size_t k = 0; k < s.size(); k = sjis::Next(s, k)) {
    const size_t n = sjis::CharLen(s, k);
    if (n == 1 && s[k] == '\r') {
      out += "\\r";
    } else if (n == 1 && s[k] == '\n') {
      out += "\\n";
    } else if (n == 1 && s[k] == '\t') {
      out += "\\t";
    } else {
      out.append(s, k, n);
    }
  }
  return out + "\"";
}

// "int 7", "str \"abc\"", "int[2,3] 0, 1, 2, 3, 4, 5"
std::string Describe(const TCustomParam& v) {
  std::string out = TypeWord(v.ParamType());
  if (v.DimList().empty() && v.Count() == 1) return out + " " + ElementText(v, 0);
  out += "[";
  for (int32_t k = 0; k < v.DimCount(); ++k) out += (k ? "," : "") + std::to_string(v.Dim(k));
  out += "]";
  for (int32_t i = 0; i < v.Count(); ++i) out += (i ? ", " : " ") + ElementText(v, i);
  return out;
}

bool Declare(TParamCollection& vars, const std::string& decl) {
  const size_t eq = decl.find('=');
  if (eq == std::string::npos || eq == 0) {
    Fail(kName, "--var wants NAME=TYPE[DIMS][:VALUES], got '" + decl + "'", 2);
    return false;
  }
  const auto name = Utf8ToCp932(decl.substr(0, eq));
  std::string rest = decl.substr(eq + 1);
  std::string values;
  bool hasValues = false;
  if (const size_t colon = rest.find(':'); colon != std::string::npos) {
    values = rest.substr(colon + 1);
    rest.resize(colon);
    hasValues = true;
  }
  std::vector<int32_t> dims;
  if (const size_t open = rest.find('['); open != std::string::npos) {
    if (rest.back() != ']') {
      Fail(kName, "bad dimensions in '" + decl + "'", 2);
      return false;
    }
    std::string list = rest.substr(open + 1, rest.size() - open - 2);
    rest.resize(open);
    size_t start = 0;
    while (start <= list.size()) {
      const size_t comma = list.find(',', start);
      const std::string part = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      try {
        dims.push_back(std::stoi(part));
      } catch (...) {
        Fail(kName, "bad dimensions in '" + decl + "'", 2);
        return false;
      }
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  const int type = TypeFromWord(rest);
  if (type < 0) {
    Fail(kName, "unknown type '" + rest + "' (int, float, flag or str)", 2);
    return false;
  }
  if (!name) {
    Fail(kName, "the name '" + decl.substr(0, eq) + "' has no code page 932 form", 2);
    return false;
  }
  try {
    TCustomParam& v = vars.Declare(*name, static_cast<uint8_t>(type), VarScope::Global).var->Value();
    if (!dims.empty()) v.SetDims(dims);
    if (hasValues) {
      const std::string text = Utf8ToCp932Lossy(values);
      int32_t i = 0;
      size_t start = 0;
      for (;;) {
        // Separators are found on character boundaries only.
        size_t comma = sjis::FindChar(text, ',', start);
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (dims.empty()) {
          v.SetStr(text);
          break;
        }
        v.SetStrAt(i++, part);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    }
  } catch (const std::exception& e) {
    Fail(kName, "--var " + decl + ": " + Out(e.what()), 2);
    return false;
  }
  return true;
}

// What the system variables see from calc: the system's clock (dates and times) and the
// installed fonts; no scene, call stack, screen or dialogs.
class CalcPlatform final : public platform::Platform {
 public:
  CalcPlatform() : clock_(platform::MakeSystemClock()), rest_(platform::MakeHeadlessPlatform(Options())) {}
  platform::Clock& GetClock() override { return *clock_; }
  platform::Dialogs& GetDialogs() override { return rest_->GetDialogs(); }
  platform::Shell& GetShell() override { return rest_->GetShell(); }
  platform::Display& GetDisplay() override { return rest_->GetDisplay(); }
  platform::Input& GetInput() override { return rest_->GetInput(); }
  platform::FontSource& GetFonts() override { return rest_->GetFonts(); }

 private:
  static platform::HeadlessOptions Options() {
    platform::HeadlessOptions o;
    o.systemFonts = true;
    return o;
  }
  std::unique_ptr<platform::Clock> clock_;
  std::unique_ptr<platform::HeadlessPlatform> rest_;
};

class CalcHost final : public TScriptHost {
 public:
  platform::Platform* Platform() override { return &platform_; }

 private:
  CalcPlatform platform_;
};

// The variable an expression assigns last (a temporary's name when it assigns an element).
std::string AssignedName(const TQuboParser& p) {
  const auto& ops = p.Operations();
  if (ops.empty() || ops.back().code != ocTo || ops.back().destination == kArgName) return {};
  const std::string& dest = ops.back().destination;
  if (!IsTempName(dest)) return dest;
  for (const TOpeData& op : ops) {
    if (op.code == ocDimTo && op.destination == dest && !op.operands.empty() &&
        op.operands[0]->StoredType() == PT_NONE) {
      return static_cast<const TParamVar&>(*op.operands[0]).Name();
    }
  }
  return {};
}

int CalcMain(const Args& args) {
  bool dump = false;
  // The table starts as the player's does, with the system variables.
  InstallSystemVars();
  TParamCollection vars;
  CalcHost host;
  SetScriptHost(&host);
  struct HostReset {
    ~HostReset() { SetScriptHost(nullptr); }
  } hostReset;
  std::vector<std::string> texts;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") return Usage(), 0;
    if (a == "--dump") {
      dump = true;
    } else if (a == "--var") {
      if (i + 1 >= args.size()) return Usage();
      if (!Declare(vars, args[++i])) return 2;
    } else if (a.rfind("--var=", 0) == 0) {
      if (!Declare(vars, a.substr(6))) return 2;
    } else if (a == "--") {
      texts.insert(texts.end(), args.begin() + static_cast<ptrdiff_t>(i) + 1, args.end());
      break;
    } else {
      texts.push_back(a);
    }
  }
  if (texts.empty()) return Usage();

  TExprContext& context = GlobalExprContext();
  TParamCollection* const previous = context.vars;
  context.vars = &vars;
  int failures = 0;
  for (const std::string& utf8 : texts) {
    const auto text = Utf8ToCp932(utf8);
    if (!text) {
      std::printf("error: the text has no code page 932 form\n");
      ++failures;
      continue;
    }
    TQuboParser expression;
    try {
      TBuildQuboParser compiler(context.tempFloor);
      compiler.Compile(*text);
      if (dump) std::printf("%s", Out(DumpOperations(compiler.Operations())).c_str());
      expression.LoadFromStored(compiler.ToStored());
    } catch (const std::exception& e) {
      std::printf("error: %s\n", Out(e.what()).c_str());
      ++failures;
      continue;
    }
    if (!expression.Execute(context)) {
      std::printf("error: %s\n", Out(expression.LastError()).c_str());
      ++failures;
      continue;
    }
    if (const TCustomParam* r = expression.Result()) {
      std::printf("%s\n", Out(Describe(*r)).c_str());
    } else if (const std::string name = AssignedName(expression); !name.empty()) {
      const TParamCollectionItem* v = vars.FindVar(name);
      std::printf("%s\n", v ? Out(Describe(v->Value())).c_str() : "(no value)");
    } else {
      std::printf("(no value)\n");
    }
  }
  context.vars = previous;
  return failures == 0 ? 0 : 1;
}

const Registration reg{kName, "compile and evaluate expressions", &CalcMain};

}  // namespace
}  // namespace qubo::tool
