// Fuzzes the archive index reader, in the plain form and behind an executable trailer, and
// the decoding of whatever members it finds.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "storage/archive.h"
#include "support/errors.h"
#include "support/stream.h"

namespace {

void ReadAndDecode(qubo::TKoMemoryStream& s, int64_t base, int64_t dataSize) {
  try {
    s.SetPosition(base);
    const qubo::ArchiveIndex idx = qubo::ReadArchiveIndex(s, base, dataSize);
    int decoded = 0;
    for (const auto& e : idx.entries) {
      if (++decoded > 8) break;
      qubo::TKoMemoryStream member;
      try {
        qubo::ReadMemberData(s, e, member);
      } catch (const qubo::QuboError&) {
      }
    }
  } catch (const qubo::QuboError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qubo::TKoMemoryStream plain(std::vector<uint8_t>(data, data + size));
  ReadAndDecode(plain, 0, plain.GetSize());
  // The trailer form: the input's own last six bytes, as a program would carry them.
  if (auto offset = qubo::ReadExecutableTrailer(plain)) {
    ReadAndDecode(plain, *offset, plain.GetSize() - qubo::kTrailerSize);
  }
  return 0;
}
