#include "authoring/projecttext.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <vector>

#include "authoring/textform.h"
#include "script/projectmessages.h"
#include "support/encoding.h"
#include "support/errors.h"
#include "support/sjis.h"

namespace qubo::authoring {
namespace {

// ---------------------------------------------------------------------------------------
// Writing

const char* TypeWord(uint8_t type) {
  switch (type) {
    case PT_INT: return "int";
    case PT_FLOAT: return "real";
    case PT_BOOL: return "flag";
    case PT_STR: return "str";
    default: return nullptr;
  }
}

std::string RealText(const Extended80& raw) {
  const long double v = ExtendedToLongDouble(raw);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.21Lg", v);
  if (LongDoubleToExtended(std::strtold(buf, nullptr)) == raw) return buf;
  std::string out = "raw:";
  for (uint8_t b : raw) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    out += buf;
  }
  return out;
}

class Lines {
 public:
  void Add(const std::string& key, const std::string& value) { out_ += key + " " + value + "\n"; }
  void Int(const std::string& key, int64_t v) { Add(key, std::to_string(v)); }
  void Str(const std::string& key, const std::string& v) { Add(key, QuoteCp932(v)); }
  void Comment(const std::string& text) { out_ += "# " + text + "\n"; }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

std::string QuotedList(const std::vector<std::string>& list) {
  std::string out;
  for (const std::string& s : list) out += (out.empty() ? "" : " ") + QuoteCp932(s);
  return out;
}

std::string Numbers(const std::array<int64_t, 4>& n) {
  return std::to_string(n[0]) + " " + std::to_string(n[1]) + " " + std::to_string(n[2]) + " " + std::to_string(n[3]);
}

// ---------------------------------------------------------------------------------------
// Reading

struct Token {
  bool quoted = false;
  std::string text;  // quoted: code page 932 bytes; else the word as written
};

using textform::LineError;

using textform::HexValue;

std::vector<Token> Tokenize(std::string_view line, int lineNo) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') break;
    Token t;
    if (c == '"') {
      t.quoted = true;
      std::string error;
      if (!textform::ReadQuoted(line, i, t.text, error)) LineError(lineNo, error);
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#') t.text += line[i++];
    }
    tokens.push_back(std::move(t));
  }
  return tokens;
}

class LineReader {
 public:
  LineReader(std::vector<Token> tokens, int line) : t_(std::move(tokens)), line_(line) {}
  const std::string& Key() const { return t_[0].text; }
  size_t Args() const { return t_.size() - 1; }
  void Expect(size_t n) const {
    if (Args() != n) LineError(line_, Key() + " takes " + std::to_string(n) + " value(s)");
  }
  int64_t Int(size_t k, int64_t lo, int64_t hi) const {
    const Token& t = Arg(k);
    if (t.quoted) Fail("a number, not a string");
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(t.text.c_str(), &end, 0);
    if (errno != 0 || end == t.text.c_str() || *end != '\0' || v < lo || v > hi) Fail("bad number \"" + t.text + "\"");
    return v;
  }
  int32_t I32(size_t k) const { return static_cast<int32_t>(Int(k, INT32_MIN, INT32_MAX)); }
  uint8_t U8(size_t k) const { return static_cast<uint8_t>(Int(k, 0, 255)); }
  const std::string& Str(size_t k) const {
    const Token& t = Arg(k);
    if (!t.quoted) Fail("a quoted string, not " + t.text);
    return t.text;
  }
  const std::string& Word(size_t k) const { return Arg(k).text; }
  std::vector<std::string> StrList() const {
    std::vector<std::string> out;
    for (size_t k = 1; k <= Args(); ++k) out.push_back(Str(k));
    return out;
  }
  Extended80 Real(size_t k) const {
    Extended80 v{};
    std::string error;
    if (!textform::ParseReal(Arg(k).text, v, error)) Fail(error);
    return v;
  }
  [[noreturn]] void Fail(const std::string& what) const { LineError(line_, what); }
  void Since(int32_t version, int32_t since) const {
    if (version < since) Fail(Key() + " needs version " + std::to_string(since) + " or later");
  }

 private:
  const Token& Arg(size_t k) const {
    if (k >= t_.size()) Fail(Key() + ": missing value");
    return t_[k];
  }
  std::vector<Token> t_;
  int line_;
};

void ProjectLine(const LineReader& r, TProjectFile& p) {
  const std::string& k = r.Key();
  const int32_t v = p.version;
  if (k == "title") { r.Expect(1); p.title = r.Str(1); }
  else if (k == "screen") { r.Expect(2); p.screenWidth = r.I32(1); p.screenHeight = r.I32(2); }
  else if (k == "fullscreen") { r.Expect(2); p.fullScreenWidth = r.I32(1); p.fullScreenHeight = r.I32(2); }
  else if (k == "start") { r.Expect(1); p.startPage = r.Str(1); }
  else if (k == "exit") { r.Expect(1); r.Since(v, kProjectExitPageSince); p.exitPage = r.Str(1); }
  else if (k == "registry") { r.Expect(1); p.registryKey = r.Str(1); }
  else if (k == "id") { r.Expect(1); p.identification = r.I32(1); }
  else if (k == "write-status") { r.Expect(1); r.Since(v, kProjectWriteStatusSince); p.writeStatus = r.U8(1); }
  else if (k == "idle-sleep") { r.Expect(1); r.Since(v, kProjectIdleSleepSince); p.idleSleep = r.U8(1); }
  else if (k == "media") { r.Expect(1); r.Since(v, kProjectMediaExtSince); p.mediaExtensions = r.Str(1); }
  else if (k == "pause-inactive") { r.Expect(1); r.Since(v, kProjectPauseSince); p.pauseWhenInactive = r.U8(1); }
  else if (k == "multi-disc") { r.Expect(1); r.Since(v, kProjectMultiDiscSince); p.multiDisc = r.U8(1); }
  else if (k == "toolbar") { r.Expect(1); r.Since(v, kProjectToolbarSince); p.toolbarVisible = r.U8(1); }
  else if (k == "disk-message") { r.Expect(1); p.diskMessage = r.Str(1); }
  else if (k == "quit-message") { r.Expect(1); p.quitMessage = r.Str(1); }
  else if (k == "disk") { r.Expect(2); p.folderDisks.Add(r.Str(1), r.I32(2)); }
  else if (k == "var") {
    TInitialVar var;
    const std::string& type = r.Word(1);
    if (type == "int") var.type = PT_INT;
    else if (type == "real") var.type = PT_FLOAT;
    else if (type == "flag") var.type = PT_BOOL;
    else if (type == "str") var.type = PT_STR;
    else var.type = static_cast<uint8_t>(r.Int(1, 0, 255));
    var.name = r.Str(2);
    switch (var.type) {
      case PT_INT: r.Expect(3); var.intValue = r.I32(3); break;
      case PT_FLOAT: r.Expect(3); var.realValue = r.Real(3); break;
      case PT_BOOL: r.Expect(3); var.flagValue = r.U8(3); break;
      case PT_STR: r.Expect(3); var.strValue = r.Str(3); break;
      default: r.Expect(2); break;
    }
    p.initialVars.push_back(std::move(var));
  } else {
    r.Fail("unknown key " + k);
  }
}

void InstallLine(const LineReader& r, TQuboInstallSet& s) {
  const std::string& k = r.Key();
  const int32_t v = s.version;
  struct StrField {
    std::string TQuboInstallSet::*field;
    int32_t since;
  };
  static const std::map<std::string, StrField> strings = {
      {"name", {&TQuboInstallSet::projectName, 0}}, {"text1", {&TQuboInstallSet::text1, 0}},
      {"text2", {&TQuboInstallSet::text2, 0}},      {"text3", {&TQuboInstallSet::text3, 0}},
      {"text4", {&TQuboInstallSet::text4, 0}},      {"text5", {&TQuboInstallSet::text5, 0}},
      {"text6", {&TQuboInstallSet::text6, 0}},      {"text7", {&TQuboInstallSet::text7, 0}},
      {"text8", {&TQuboInstallSet::text8, kInstallText8Since}},
      {"text9", {&TQuboInstallSet::text9, kInstallText9Since}},
      {"text10", {&TQuboInstallSet::text10, kInstallText9Since}},
  };
  struct ByteField {
    uint8_t TQuboInstallSet::*field;
    int32_t since;
  };
  static const std::map<std::string, ByteField> bytes = {
      {"byte1", {&TQuboInstallSet::byte1, 0}}, {"byte2", {&TQuboInstallSet::byte2, 0}},
      {"byte3", {&TQuboInstallSet::byte3, 0}}, {"byte4", {&TQuboInstallSet::byte4, 0}},
      {"byte5", {&TQuboInstallSet::byte5, 0}}, {"byte6", {&TQuboInstallSet::byte6, kInstallByte6Since}},
      {"full", {&TQuboInstallSet::fullInstall, kInstallFullSince}},
      {"byte7", {&TQuboInstallSet::byte7, kInstallByte7Since}},
      {"byte8", {&TQuboInstallSet::byte8, kInstallByte8Since}},
  };
  const int64_t lo = v >= kInstallWideNumbersSince ? INT64_MIN : INT32_MIN;
  const int64_t hi = v >= kInstallWideNumbersSince ? INT64_MAX : INT32_MAX;
  if (auto it = strings.find(k); it != strings.end()) {
    r.Expect(1);
    r.Since(v, it->second.since);
    s.*(it->second.field) = r.Str(1);
  } else if (auto b = bytes.find(k); b != bytes.end()) {
    r.Expect(1);
    r.Since(v, b->second.since);
    s.*(b->second.field) = r.U8(1);
  } else if (k == "disc") {
    r.Expect(1);
    s.discIndex = r.I32(1);
  } else if (k == "number1") {
    r.Expect(1);
    s.number1 = r.I32(1);
  } else if (k == "group" || k == "numbers") {
    r.Expect(4);
    std::array<int64_t, 4> n{};
    for (size_t i = 0; i < 4; ++i) n[i] = r.Int(i + 1, lo, hi);
    if (k == "group") {
      s.groups.push_back(n);
    } else {
      s.numbers = n;
    }
  } else if (k == "list1") {
    r.Since(v, kInstallList1Since);
    s.list1 = r.StrList();
  } else if (k == "list2") {
    r.Since(v, kInstallList2Since);
    s.list2 = r.StrList();
  } else {
    r.Fail("unknown key " + k);
  }
}

}  // namespace

std::string QuoteCp932(std::string_view s) {
  std::string out = "\"";
  char buf[8];
  for (size_t i = 0; i < s.size();) {
    const size_t n = sjis::CharLen(s, i);
    const std::string_view ch = s.substr(i, n);
    i += n;
    const unsigned char c = static_cast<unsigned char>(ch[0]);
    if (ch.size() == 1 && c < 0x80) {
      switch (c) {
        case '"': out += "\\\""; continue;
        case '\\': out += "\\\\"; continue;
        case '\n': out += "\\n"; continue;
        case '\r': out += "\\r"; continue;
        case '\t': out += "\\t"; continue;
        default: break;
      }
      if (c >= 0x20 && c < 0x7F) {
        out += ch[0];
        continue;
      }
    } else {
      const std::string utf8 = Cp932ToUtf8(ch);
      const auto back = Utf8ToCp932(utf8);
      if (back && *back == ch) {
        out += utf8;
        continue;
      }
    }
    for (char b : ch) {
      std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(b));
      out += buf;
    }
  }
  return out + "\"";
}

std::string ProjectToText(const TProjectFile& p) {
  Lines l;
  const int32_t v = p.version;
  l.Int("project", v);
  l.Str("title", p.title);
  l.Add("screen", std::to_string(p.screenWidth) + " " + std::to_string(p.screenHeight));
  l.Add("fullscreen", std::to_string(p.fullScreenWidth) + " " + std::to_string(p.fullScreenHeight));
  l.Str("start", p.startPage);
  if (v >= kProjectExitPageSince) l.Str("exit", p.exitPage);
  l.Str("registry", p.registryKey);
  l.Int("id", p.identification);
  if (v >= kProjectWriteStatusSince) l.Int("write-status", p.writeStatus);
  if (v >= kProjectIdleSleepSince) l.Int("idle-sleep", p.idleSleep);
  if (v >= kProjectMediaExtSince) l.Str("media", p.mediaExtensions);
  if (v >= kProjectPauseSince) l.Int("pause-inactive", p.pauseWhenInactive);
  if (v >= kProjectMultiDiscSince) l.Int("multi-disc", p.multiDisc);
  if (v >= kProjectToolbarSince) l.Int("toolbar", p.toolbarVisible);
  l.Str("disk-message", p.diskMessage);
  l.Str("quit-message", p.quitMessage);
  if (!p.initialVars.empty()) l.Comment("initial variables: var TYPE \"name\" VALUE");
  for (const TInitialVar& var : p.initialVars) {
    const char* word = TypeWord(var.type);
    std::string line = (word != nullptr ? std::string(word) : std::to_string(var.type)) + " " + QuoteCp932(var.name);
    switch (var.type) {
      case PT_INT: line += " " + std::to_string(var.intValue); break;
      case PT_FLOAT: line += " " + RealText(var.realValue); break;
      case PT_BOOL: line += " " + std::to_string(var.flagValue); break;
      case PT_STR: line += " " + QuoteCp932(var.strValue); break;
      default: break;
    }
    l.Add("var", line);
  }
  if (p.folderDisks.Count() > 0) l.Comment("folders on other discs: disk \"folder\" DISC");
  for (const auto& e : p.folderDisks.Entries()) l.Add("disk", QuoteCp932(e.folder) + " " + std::to_string(e.disk));
  return l.Take();
}

std::string InstallToText(const TQuboInstallSet& s) {
  Lines l;
  const int32_t v = s.version;
  l.Int("install", v);
  l.Int("disc", s.discIndex);
  l.Str("name", s.projectName);
  l.Comment("fields kept for the installer");
  l.Str("text1", s.text1);
  l.Str("text2", s.text2);
  l.Str("text3", s.text3);
  l.Int("byte1", s.byte1);
  l.Str("text4", s.text4);
  l.Int("byte2", s.byte2);
  l.Str("text5", s.text5);
  l.Int("number1", s.number1);
  l.Int("byte3", s.byte3);
  l.Int("byte4", s.byte4);
  l.Str("text6", s.text6);
  l.Str("text7", s.text7);
  for (const auto& g : s.groups) l.Add("group", Numbers(g));
  l.Add("numbers", Numbers(s.numbers));
  l.Int("byte5", s.byte5);
  if (v >= kInstallByte6Since) l.Int("byte6", s.byte6);
  if (v >= kInstallList1Since) l.Add("list1", QuotedList(s.list1));
  if (v >= kInstallFullSince) l.Int("full", s.fullInstall);
  if (v >= kInstallByte7Since) l.Int("byte7", s.byte7);
  if (v >= kInstallByte8Since) l.Int("byte8", s.byte8);
  if (v >= kInstallList2Since) l.Add("list2", QuotedList(s.list2));
  if (v >= kInstallText8Since) l.Str("text8", s.text8);
  if (v >= kInstallText9Since) {
    l.Str("text9", s.text9);
    l.Str("text10", s.text10);
  }
  return l.Take();
}

RecordText ParseRecordText(std::string_view text) {
  RecordText out;
  bool started = false;
  textform::ForEachLine(text, [&](std::string_view line, int lineNo) {
    std::vector<Token> tokens = Tokenize(line, lineNo);
    if (tokens.empty()) return;
    if (tokens[0].quoted) LineError(lineNo, "a line starts with a key");
    LineReader r(std::move(tokens), lineNo);
    if (!started) {
      r.Expect(1);
      if (r.Key() == "project") {
        out.kind = RecordText::Kind::Project;
        out.project = TProjectFile{};
        out.project.version = static_cast<int32_t>(r.Int(1, INT32_MIN, kProjectVersionMax));
        out.project.diskMessage = msg::kDefaultDiskMessage;
        out.project.quitMessage = msg::kDefaultQuitMessage;
      } else if (r.Key() == "install") {
        out.kind = RecordText::Kind::Install;
        out.install = TQuboInstallSet{};
        out.install.version = static_cast<int32_t>(r.Int(1, 0, 999));
      } else {
        r.Fail("the first line is \"project VERSION\" or \"install VERSION\"");
      }
      started = true;
      return;
    }
    if (out.kind == RecordText::Kind::Project) {
      ProjectLine(r, out.project);
    } else {
      InstallLine(r, out.install);
    }
  });
  if (!started) throw QuboError("empty text: the first line is \"project VERSION\" or \"install VERSION\"");
  return out;
}

}  // namespace qubo::authoring
