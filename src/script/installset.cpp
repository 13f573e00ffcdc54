#include "script/installset.h"

#include "script/projectmessages.h"
#include "support/errors.h"
#include "support/record.h"

namespace qubo {
namespace {

constexpr int64_t kMinString = 4;

std::vector<std::string> ReadStringList(RecordReader& r) {
  const int32_t n = r.Count(kMinString);
  std::vector<std::string> list;
  list.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) list.push_back(r.String());
  return list;
}

}  // namespace

std::vector<std::string> TQuboInstallSet::NonEmptyList1() const {
  std::vector<std::string> out;
  for (const std::string& s : list1) {
    if (!s.empty()) out.push_back(s);
  }
  return out;
}

TQuboInstallSet ReadInstallSet(TStream& stream) {
  RecordReader r(stream, RecordReader::Truncation::Raise, msg::kMsgDamagedInstall);
  TQuboInstallSet s;
  s.version = 0;
  const int64_t start = r.Position();
  if (r.Remaining() >= 2 && r.Text(2) == "is") {
    const std::string digits = r.Text(3);
    int32_t v = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') r.Fail();
      v = v * 10 + (c - '0');
    }
    s.version = v;
  } else {
    r.Stream().SetPosition(start);
  }
  const int32_t v = s.version;
  const int64_t width = v >= kInstallWideNumbersSince ? 8 : 4;
  auto number = [&]() -> int64_t { return width == 8 ? r.I64() : r.I32(); };

  s.discIndex = r.I32();
  s.projectName = r.String();
  s.text1 = r.String();
  s.text2 = r.String();
  s.text3 = r.String();
  s.byte1 = r.U8();
  s.text4 = r.String();
  s.byte2 = r.U8();
  const int32_t k = r.I32();
  s.text5 = r.String();
  s.number1 = r.I32();
  s.byte3 = r.U8();
  s.byte4 = r.U8();
  s.text6 = r.String();
  s.text7 = r.String();
  r.CheckCount(k, 4 * width);
  s.groups.resize(static_cast<size_t>(k));
  for (auto& g : s.groups) {
    for (int64_t& x : g) x = number();
  }
  for (int64_t& x : s.numbers) x = number();
  s.byte5 = r.U8();
  if (v >= kInstallByte6Since) s.byte6 = r.U8();
  if (v >= kInstallList1Since) s.list1 = ReadStringList(r);
  if (v >= kInstallFullSince) s.fullInstall = r.U8();
  if (v >= kInstallByte7Since) s.byte7 = r.U8();
  if (v >= kInstallByte8Since) s.byte8 = r.U8();
  if (v >= kInstallList2Since) s.list2 = ReadStringList(r);
  if (v >= kInstallText8Since) s.text8 = r.String();
  if (v >= kInstallText9Since) {
    s.text9 = r.String();
    s.text10 = r.String();
  }
  return s;
}

TQuboInstallSet ReadInstallSet(const std::vector<uint8_t>& bytes) {
  TKoMemoryStream s(bytes);
  return ReadInstallSet(s);
}

}  // namespace qubo
