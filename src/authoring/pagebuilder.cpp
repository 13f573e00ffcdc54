#include "authoring/pagebuilder.h"

#include "script/exprcompiler.h"

namespace qubo::authoring {

TFieldValue Expr(const std::string& source) {
  TFieldValue v;
  if (source.empty()) {
    v.exprs.emplace_back();
  } else {
    TBuildQuboParser p;
    p.Compile(source);
    v.exprs.push_back(p.ToStored());
  }
  return v;
}

TFieldValue Exprs(std::initializer_list<std::string> sources) {
  TFieldValue v;
  for (const std::string& s : sources) v.exprs.push_back(Expr(s).exprs[0]);
  return v;
}

TFieldValue Str(const std::string& text) {
  TFieldValue v;
  v.text = text;
  return v;
}

TFieldValue Int(int32_t n) {
  TFieldValue v;
  v.number = n;
  return v;
}

TPageBuilder::TPageBuilder(int32_t version, uint8_t resultType) {
  image_.version = version;
  image_.resultType = resultType;
  image_.maskEntrySize = kMaskBytes;
  for (const TPropertyMask& m : DefaultPropertyMasks()) image_.maskEntries.emplace_back(m.begin(), m.end());
}

int32_t TPageBuilder::Add(uint8_t code, int32_t indent, std::vector<TFieldValue> fields, uint8_t continueFlag) {
  TCommandRecord r;
  r.typeByte = code;
  r.indent = indent;
  r.continueFlag = continueFlag;
  r.line = Next() + 1;
  const TCommandDef& def = CommandDef(code);
  fields.resize(def.fields.size());
  for (size_t f = 0; f < def.fields.size(); ++f) {
    // An expression field always holds one expression, the empty one by default.
    if (def.fields[f].kind == TFieldKind::Expr && fields[f].exprs.empty()) fields[f].exprs.emplace_back();
  }
  r.fields = std::move(fields);
  image_.commands.push_back(std::move(r));
  return Next() - 1;
}

void TPageBuilder::SetInt(int32_t command, size_t field, int32_t value) {
  image_.commands[static_cast<size_t>(command)].fields[field].number = value;
}

}  // namespace qubo::authoring
