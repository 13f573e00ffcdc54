#include "support/streamio.h"

#include <algorithm>
#include <memory>
#include <new>

#include "support/errors.h"
#include "support/record.h"
#include "support/stream.h"

namespace qubo {

namespace {

RecordReader Reader(TStream& s) { return RecordReader(s, RecordReader::Truncation::Raise, kStreamReadError); }

}  // namespace

void WriteInt(TStream& s, int32_t v) { RecordWriter(s).I32(v); }
int32_t ReadInt(TStream& s) { return Reader(s).I32(); }
void WriteInt16(TStream& s, int16_t v) { RecordWriter(s).I16(v); }
int16_t ReadInt16(TStream& s) { return Reader(s).I16(); }
void WriteByte(TStream& s, uint8_t v) { RecordWriter(s).U8(v); }
uint8_t ReadByte(TStream& s) { return Reader(s).U8(); }

void WritePair(TStream& s, int32_t a, int32_t b) {
  RecordWriter w(s);
  w.I32(a);
  w.I32(b);
}

void ReadPair(TStream& s, int32_t& a, int32_t& b) {
  RecordReader r = Reader(s);
  a = r.I32();
  b = r.I32();
}

void WriteDouble(TStream& s, double v) { RecordWriter(s).Double(v); }
double ReadDouble(TStream& s) { return Reader(s).Double(); }
void WriteExtended(TStream& s, double v) { RecordWriter(s).Extended(v); }
double ReadExtended(TStream& s) { return Reader(s).Extended(); }
void WriteString(TStream& s, const std::string& v) { RecordWriter(s).String(v); }
std::string ReadString(TStream& s) { return Reader(s).String(); }

int64_t CopyStream(TStream& dest, TStream& source, int64_t size) {
  if (size == 0) {
    source.SetPosition(0);
    size = source.GetSize();
  }
  if (size <= 0) return 0;

  if (auto* memory = dynamic_cast<TKoMemoryStream*>(&source)) {
    const int64_t pos = memory->GetPosition();
    if (pos < 0 || size > memory->GetSize() - pos) throw StreamError(kStreamReadError);
    dest.WriteBuffer(memory->Memory() + pos, size);
    memory->Seek(size, SeekOrigin::Current);
    return size;
  }

  int64_t bufferSize = std::min(size, kCopyBufferMax);
  std::unique_ptr<uint8_t[]> buffer;
  while (!buffer) {
    try {
      buffer.reset(new uint8_t[static_cast<size_t>(bufferSize)]);
    } catch (const std::bad_alloc&) {
      bufferSize -= kCopyBufferStep;
      if (bufferSize <= 0) throw;
    }
  }

  int64_t left = size;
  while (left > 0) {
    const int64_t want = std::min(left, bufferSize);
    const int64_t got = source.Read(buffer.get(), want);
    // A source that delivers nothing would otherwise be asked forever.
    if (got <= 0) throw StreamError(kStreamReadError);
    dest.WriteBuffer(buffer.get(), got);
    left -= got;
  }
  return size;
}

}  // namespace qubo
