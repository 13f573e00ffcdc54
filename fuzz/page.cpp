// Drives the page reader and the page text parser over arbitrary bytes. Any exception other
// than the player's own errors, any crash and any sanitizer report is a finding. A page that
// reads is written back and must read the same, and its text form must build the same page.
//
// Input: byte 0 picks the reader (even: page bytes, odd: page text); the rest is the input.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "authoring/pagetext.h"
#include "script/pageformat.h"
#include "support/errors.h"
#include "support/stream.h"

using namespace qubo;

namespace {

TPageImage ReadOrAbort(const std::vector<uint8_t>& bytes) {
  TKoMemoryStream s(bytes);
  TPageImage p;
  try {
    ReadPageImage(s, "fuzz.qsb", p);
  } catch (const QuboError&) {
    std::abort();  // what we wrote must read
  }
  return p;
}

void Bytes(const std::vector<uint8_t>& bytes) {
  TKoMemoryStream s(bytes);
  TPageImage page;
  ReadPageImage(s, "fuzz.qsb", page);  // damage raises the player's errors
  if (!(ReadOrAbort(PageImageBytes(page)) == page)) std::abort();
  TPageImage built;
  try {
    built = authoring::ParsePageText(authoring::PageToText(page, "fuzz.qsb"));
  } catch (const QuboError&) {
    std::abort();  // every page that reads has a text form that builds
  }
  if (!(built == page)) std::abort();
}

void Text(const std::string& text) {
  const TPageImage page = authoring::ParsePageText(text);
  if (!(ReadOrAbort(PageImageBytes(page)) == page)) std::abort();
  try {
    if (!(authoring::ParsePageText(authoring::PageToText(page)) == page)) std::abort();
  } catch (const QuboError&) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::vector<uint8_t> bytes(data + 1, data + size);
  try {
    if (data[0] % 2 == 0) {
      Bytes(bytes);
    } else {
      Text(std::string(bytes.begin(), bytes.end()));
    }
  } catch (const QuboError&) {
    // A damaged page or a bad text is reported, never more.
  }
  return 0;
}
