// The parts of the interface that every back end shares.

#include "platform/platform.h"

#include "support/sjis.h"

namespace qubo::platform {

uint32_t MillisecondsOfDay(const LocalDateTime& t) {
  auto clamp = [](int32_t v, int32_t hi) { return static_cast<uint32_t>(v < 0 ? 0 : v > hi ? hi : v); };
  return ((clamp(t.hour, 23) * 60 + clamp(t.minute, 59)) * 60 + clamp(t.second, 59)) * 1000 + clamp(t.millisecond, 999);
}

uint32_t Clock::RandomSeed() { return MillisecondsOfDay(Now()); }

std::vector<MsgButton> ButtonsOf(MsgButtons set) {
  switch (set) {
    case MsgButtons::Ok:
      return {MsgButton::Ok};
    case MsgButtons::OkCancel:
      return {MsgButton::Ok, MsgButton::Cancel};
    case MsgButtons::YesNo:
      return {MsgButton::Yes, MsgButton::No};
    case MsgButtons::YesNoCancel:
      return {MsgButton::Yes, MsgButton::No, MsgButton::Cancel};
    case MsgButtons::YesNoAllCancel:
      return {MsgButton::Yes, MsgButton::No, MsgButton::YesToAll, MsgButton::NoToAll, MsgButton::Cancel};
  }
  return {MsgButton::Ok};
}

MsgButton EscapeAnswer(MsgButtons set) {
  const auto buttons = ButtonsOf(set);
  for (MsgButton want : {MsgButton::Cancel, MsgButton::No}) {
    for (MsgButton b : buttons) {
      if (b == want) return b;
    }
  }
  return MsgButton::Ok;
}

const char* ButtonName(MsgButton b) {
  switch (b) {
    case MsgButton::Ok:
      return "Ok";
    case MsgButton::Cancel:
      return "Cancel";
    case MsgButton::Yes:
      return "Yes";
    case MsgButton::No:
      return "No";
    case MsgButton::YesToAll:
      return "YesToAll";
    case MsgButton::NoToAll:
      return "NoToAll";
  }
  return "?";
}

const char* IconName(MsgIcon i) {
  switch (i) {
    case MsgIcon::None:
      return "None";
    case MsgIcon::Information:
      return "Information";
    case MsgIcon::Warning:
      return "Warning";
    case MsgIcon::Error:
      return "Error";
    case MsgIcon::Question:
      return "Question";
  }
  return "?";
}

namespace {

// Splits at single-byte sep on character boundaries (a trail byte may equal '|' or ';').
std::vector<std::string> SplitCp932(const std::string& s, char sep) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < s.size();) {
    const size_t n = sjis::CharLen(s, i);
    if (n == 1 && s[i] == sep) {
      parts.emplace_back();
    } else {
      parts.back().append(s, i, n);
    }
    i += n;
  }
  return parts;
}

std::string TrimBlanks(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && static_cast<unsigned char>(s[a]) <= 0x20) ++a;
  while (b > a && static_cast<unsigned char>(s[b - 1]) <= 0x20) --b;
  return s.substr(a, b - a);
}

}  // namespace

std::vector<FilterEntry> ParseDialogFilter(const std::string& filter) {
  std::vector<FilterEntry> out;
  if (filter.empty()) return out;
  const auto fields = SplitCp932(filter, '|');
  for (size_t i = 0; i + 1 < fields.size(); i += 2) {
    FilterEntry e;
    e.description = fields[i];
    for (const auto& p : SplitCp932(fields[i + 1], ';')) {
      std::string t = TrimBlanks(p);
      if (!t.empty()) e.patterns.push_back(std::move(t));
    }
    if (!e.patterns.empty()) out.push_back(std::move(e));
  }
  return out;
}

}  // namespace qubo::platform
