#include "support/encoding.h"

#include <cerrno>
#include <mutex>

#include <iconv.h>

#include "support/sjis.h"

namespace qubo {
namespace {

// One converter per direction and thread would be cheaper; conversions happen at the edges
// only, so a lock around shared descriptors is enough.
struct Converter {
  iconv_t cd;
  std::mutex lock;
  Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
};

Converter& ToUtf8() {
  static Converter c("UTF-8", "CP932");
  return c;
}
Converter& FromUtf8() {
  static Converter c("CP932", "UTF-8");
  return c;
}

// Converts in; on an invalid sequence calls onBad(in, left, out) which must advance the input.
template <typename OnBad>
bool Run(Converter& conv, std::string_view in, std::string& out, OnBad onBad) {
  std::lock_guard<std::mutex> guard(conv.lock);
  if (conv.cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  char buf[4096];
  while (left > 0) {
    char* dst = buf;
    size_t room = sizeof buf;
    const size_t r = iconv(conv.cd, &src, &left, &dst, &room);
    out.append(buf, static_cast<size_t>(dst - buf));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      if (!onBad(src, left, out)) return false;
      iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return true;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
  std::string out;
  Run(ToUtf8(), cp932, out, [](char*& src, size_t& left, std::string& o) {
    const size_t n = sjis::IsLeadByte(*src) && left >= 2 ? 2 : 1;
    src += n;
    left -= n;
    o += "\xEF\xBF\xBD";
    return true;
  });
  return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  std::string out;
  if (!Run(FromUtf8(), utf8, out, [](char*&, size_t&, std::string&) { return false; })) return std::nullopt;
  return out;
}

std::string Utf8ToCp932Lossy(std::string_view utf8) {
  std::string out;
  Run(FromUtf8(), utf8, out, [](char*& src, size_t& left, std::string& o) {
    // Skip one UTF-8 character.
    size_t n = 1;
    while (n < left && (static_cast<uint8_t>(src[n]) & 0xC0) == 0x80) ++n;
    src += n;
    left -= n;
    o += '?';
    return true;
  });
  return out;
}

}  // namespace qubo
