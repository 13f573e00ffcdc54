#include "script/exprstore.h"

#include "script/exprcodes.h"
#include "script/sysfunctable.h"
#include "support/errors.h"
#include "support/record.h"

namespace qubo {

namespace {

constexpr const char* kDamaged = "Damaged expression: ";

// The smallest stored operation: code, empty destination, operand count.
constexpr int64_t kMinOperationSize = 1 + 4 + 4;
// The smallest stored operand: kind and a flag byte.
constexpr int64_t kMinOperandSize = 2;

TStoredOperand ReadOperand(RecordReader& r) {
  TStoredOperand op;
  op.kind = r.U8();
  switch (op.kind) {
    case kOperandName:
    case kOperandString:
      op.text = r.String();
      break;
    case kOperandInt:
      op.intValue = r.I32();
      break;
    case kOperandFloat:
      op.floatValue = r.ExtendedRaw();
      break;
    case kOperandFlag:
      op.flagValue = r.U8() != 0;
      break;
    default:
      throw FormatError(std::string(kDamaged) + "unknown operand kind " + std::to_string(op.kind));
  }
  return op;
}

void WriteOperand(RecordWriter& w, const TStoredOperand& op) {
  w.U8(op.kind);
  switch (op.kind) {
    case kOperandInt:
      w.I32(op.intValue);
      break;
    case kOperandFloat:
      w.ExtendedRaw(op.floatValue);
      break;
    case kOperandFlag:
      w.Bool(op.flagValue);
      break;
    default:
      w.String(op.text);
      break;
  }
}

}  // namespace

TStoredOperand TStoredOperand::Name(std::string name) {
  TStoredOperand op;
  op.kind = kOperandName;
  op.text = std::move(name);
  return op;
}

TStoredOperand TStoredOperand::Int(int32_t v) {
  TStoredOperand op;
  op.kind = kOperandInt;
  op.intValue = v;
  return op;
}

TStoredOperand TStoredOperand::Float(const Extended80& v) {
  TStoredOperand op;
  op.kind = kOperandFloat;
  op.floatValue = v;
  return op;
}

TStoredOperand TStoredOperand::Flag(bool v) {
  TStoredOperand op;
  op.kind = kOperandFlag;
  op.flagValue = v;
  return op;
}

TStoredOperand TStoredOperand::String(std::string s) {
  TStoredOperand op;
  op.kind = kOperandString;
  op.text = std::move(s);
  return op;
}

TStoredExpression ReadStoredExpression(TStream& stream) {
  RecordReader r(stream);
  TStoredExpression e;
  const int32_t count = r.Count(kMinOperationSize);
  e.operations.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    TStoredOperation op;
    op.code = r.U8();
    if (op.code > kLastOpeCode) {
      throw FormatError(std::string(kDamaged) + "unknown operation code " + std::to_string(op.code));
    }
    op.destination = r.String();
    const int32_t n = r.Count(kMinOperandSize);
    if (op.code == ocFunc) {
      op.funcIndex = r.U8();
      if (op.funcIndex >= kSysFuncCount) {
        throw FormatError(std::string(kDamaged) + "unknown function " + std::to_string(op.funcIndex));
      }
      const SysFuncInfo& f = kSysFuncs[op.funcIndex];
      if (!f.AcceptsArgCount(n)) {
        throw FormatError(std::string(kDamaged) + std::string(f.name) + " with " + std::to_string(n) +
                          " arguments");
      }
    }
    op.operands.reserve(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k) op.operands.push_back(ReadOperand(r));
    e.operations.push_back(std::move(op));
  }
  return e;
}

void WriteStoredExpression(TStream& stream, const TStoredExpression& expression) {
  RecordWriter w(stream);
  w.I32(static_cast<int32_t>(expression.operations.size()));
  for (const TStoredOperation& op : expression.operations) {
    w.U8(op.code);
    w.String(op.destination);
    w.I32(static_cast<int32_t>(op.operands.size()));
    if (op.code == ocFunc) w.U8(op.funcIndex);
    for (const TStoredOperand& operand : op.operands) WriteOperand(w, operand);
  }
}

}  // namespace qubo
