#include "storage/serial.h"

#include "support/record.h"

namespace qubo {

std::string ReadString(TStream& stream) { return RecordReader(stream).String(); }
void WriteString(TStream& stream, const std::string& s) { RecordWriter(stream).String(s); }
int32_t ReadInt(TStream& stream) { return RecordReader(stream).I32(); }
void WriteInt(TStream& stream, int32_t v) { RecordWriter(stream).I32(v); }
uint8_t ReadByte(TStream& stream) { return RecordReader(stream).U8(); }
void WriteByte(TStream& stream, uint8_t v) { RecordWriter(stream).U8(v); }

}  // namespace qubo
