#pragma once
// The stored form of a compiled expression, as plain data:
//
//   i32 operation count k, then k operations:
//     u8 code; string destination; i32 operand count n (for a call: its arguments);
//     u8 function index (calls only); n operands: u8 kind, then the value
//   kinds: 0 variable name (string), 1 integer (i32), 2 float (10-byte extended),
//          3 flag (u8), 4 string (string)
//
// Both the compiler and the runnable expression go through this image, so there is one
// reader and one writer of the bytes. The reader checks what the runnable form relies on:
// known operation codes and operand kinds, function indexes inside the function table and
// argument counts inside the function's limits.

#include <cstdint>
#include <string>
#include <vector>

#include "support/extended.h"
#include "support/stream.h"

namespace qubo {

struct TStoredOperand {
  uint8_t kind = 0;
  int32_t intValue = 0;
  Extended80 floatValue{};  // kept as stored, so a float survives load and save bit for bit
  bool flagValue = false;
  std::string text;  // string value or variable name

  static TStoredOperand Name(std::string name);
  static TStoredOperand Int(int32_t v);
  static TStoredOperand Float(const Extended80& v);
  static TStoredOperand Flag(bool v);
  static TStoredOperand String(std::string s);

  bool operator==(const TStoredOperand&) const = default;
};

struct TStoredOperation {
  uint8_t code = 0;
  std::string destination;
  uint8_t funcIndex = 0;  // calls only
  std::vector<TStoredOperand> operands;

  bool operator==(const TStoredOperation&) const = default;
};

struct TStoredExpression {
  std::vector<TStoredOperation> operations;

  bool operator==(const TStoredExpression&) const = default;
};

// Raises FormatError on truncation and on anything the runnable form could not run safely.
TStoredExpression ReadStoredExpression(TStream& stream);
void WriteStoredExpression(TStream& stream, const TStoredExpression& expression);

}  // namespace qubo
