// Drives the bounded record reader, the string-array loader and the text scanners over
// arbitrary bytes. Any exception other than the player's own errors, any crash and any
// sanitizer report is a finding.
//
// Input: byte 0 picks the truncation mode (bit 7) and the number of op bytes that follow
// (low 5 bits); the rest of the input is the record stream.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/errors.h"
#include "support/lists.h"
#include "support/pathparser.h"
#include "support/record.h"
#include "support/stream.h"
#include "support/streamio.h"
#include "support/tabstrings.h"

using namespace qubo;

namespace {

void RunOp(RecordReader& r, TStream& s, uint8_t op) {
  switch (op % 14) {
    case 0:
      r.I32();
      break;
    case 1:
      r.I16();
      break;
    case 2:
      r.U8();
      break;
    case 3:
      r.I64();
      break;
    case 4:
      r.Bool();
      break;
    case 5:
      r.Double();
      break;
    case 6:
      r.Extended();
      break;
    case 7:
      r.String();
      break;
    case 8:
      r.Bytes(r.I32());
      break;
    case 9:
      r.Skip(r.I32());
      break;
    case 10: {
      const int32_t n = r.Count(1 + op / 14);
      for (int32_t i = 0; i < n; ++i) r.U8();
      break;
    }
    case 11: {
      TArrayString a;
      a.LoadFromStream(s);
      break;
    }
    case 12:
      ReadString(s);
      break;
    case 13:
      r.Text(r.I16());
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool lenient = (data[0] & 0x80) != 0;
  const size_t opCount = std::min<size_t>(data[0] & 0x1F, size - 1);
  const uint8_t* ops = data + 1;
  const uint8_t* payload = ops + opCount;
  const size_t payloadSize = size - 1 - opCount;

  TKoMemoryStream s(std::vector<uint8_t>(payload, payload + payloadSize));
  RecordReader r(s, lenient ? RecordReader::Truncation::ZeroFill : RecordReader::Truncation::Raise);
  for (size_t i = 0; i < opCount; ++i) {
    try {
      RunOp(r, s, ops[i]);
    } catch (const QuboError&) {
      // A damaged record is reported, never more.
    }
  }

  const std::string_view text(reinterpret_cast<const char*>(payload), payloadSize);
  TTabStrings tabs;
  tabs.SetText(text);
  TPathParser path;
  path.Parse(text);
  const size_t half = text.size() / 2;
  TPathParser::ResolveRelative(text.substr(0, half), text.substr(half));
  return 0;
}
