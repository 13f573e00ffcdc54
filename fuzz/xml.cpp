// Fuzzes the XML reader (document and bare element) and writes back what it read.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/errors.h"
#include "support/koxmls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  try {
    qubo::TKoMemoryStream in(bytes);
    qubo::TKoXml doc;
    doc.LoadFromStream(in);
    qubo::TKoMemoryStream out;
    doc.SaveToStream(out);
    (void)doc.AttrInt("Count", 0);
    (void)doc.ChildStr("Frame", "");
  } catch (const qubo::QuboError&) {
  }
  try {
    qubo::TKoMemoryStream in(bytes);
    qubo::TKoXmlElement e;
    e.LoadFromStream(in);
  } catch (const qubo::QuboError&) {
  }
  (void)qubo::XmlUnescape(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
