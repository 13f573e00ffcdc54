#pragma once
// The page assembler: a readable text form of a compiled page (.qsb) and its parser. Dumping
// a page and building the dump gives back the same bytes.
//
//   page 117                     # the version; always the first line
//   result 1                     # the result type (default 1)
//   masks default                # 64 entries of 22 bytes holding the built-in masks (default)
//   masks auto                   # the same, plus the bit of every property a record sets
//   masks 70 24                  # COUNT SIZE: entries given by "mask" lines, the rest zero
//   mask 8 7f7f0028...           # entry 8 as hex (at most SIZE bytes, zero-padded)
//   name "start.qsb"             # optional: this page's own name (checks label targets)
//
//   Label name="top"             # 0
//   If cond={a > 3} line=12      # 1
//     Jump page="start.qsb" target=@top cond={b == "x"}
//   Calc expr=[To "____arg" i:5]
//   Call page="f.qsb" args=({a} {b + 1})
//   ImgNew p0={"bg"} p12={100}   # component commands: one expression per property id
//
// One command per line: two leading spaces per indent level (or indent=N), the command name
// (any letter case), then name=value fields. Omitted fields keep their empty defaults.
// Also: line=N (source line), disabled, continue (flags; disabled=N for another byte value),
// typebyte=0x85 (a stored type byte with its top bit set), indent=N. VarNew's type and scope
// take the words int float flag str and global auto local status as well as numbers.
//
// Values:
//   "text"          a string: UTF-8 with \" \\ \n \r \t and \xNN for a code-page-932 byte
//   {a + "}"}       expression source, compiled with the player's compiler; the braces end
//                   at the first '}' outside string literals that balances them. {} is the
//                   empty expression. An expression field also takes a quoted string as its
//                   source, for texts the braces cannot carry.
//   [op; op...]     an expression as raw operations: CODE "dest" [FUNCTION] operand...,
//                   CODE an operation name without "oc" (To, Plus, Func...) or its number,
//                   operands i:INT f:REAL (or f:raw:20 hex digits) b:0|1 s:"str" v:"name"
//   (v v ...)       a list of expressions (Call args, Flip and cabinet names)
//   @name @"name"   a target: the index of the first Label of that name in this text;
//   @+N @-N @end    the command N after / before this one; the command count
//
// Labels resolve within this text only. Jump, Call, PCReset, Reset and GameSave name a page:
// a label there means a command of this page, so the named page must be this one (checked
// when a "name" line is given); for another page write the number.
//
// "masks auto" sets the mask bit of every property id used by a record of that type; with any
// other mask table a property id outside the mask of its type is an error.

#include <string>
#include <string_view>

#include "script/exprstore.h"
#include "script/pageformat.h"

namespace qubo::authoring {

// The text form of a page. pageName (optional, the page's file name) adds the "name" line and
// lets same-page targets of Jump and Call show as labels.
std::string PageToText(const TPageImage& page, std::string_view pageName = {});

// Parses the text form (UTF-8). QuboError with "line N: ..." naming what is wrong. The image
// is exactly what ReadPageImage gives for the bytes PageImageBytes writes from it.
TPageImage ParsePageText(std::string_view text);

// One expression as the text of a field value: {source} when the source our compiler makes
// of it gives back the same operations, a quoted source where braces cannot carry it, raw
// operations otherwise.
std::string ExpressionToText(const TStoredExpression& expression);

}  // namespace qubo::authoring
