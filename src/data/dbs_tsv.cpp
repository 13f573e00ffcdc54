// Loading a table from TAB separated lines: a header line of field declarations
// ("name [type [length]]"), then one record per line.

#include "data/dbs.h"
#include "support/sjis.h"
#include "support/tabstrings.h"
#include "support/textutils.h"

namespace qubo {

namespace {

// Removes leading and trailing bytes up to the blank. No byte of that range can be the trail
// byte of a double-byte character, so this never cuts one.
void TrimBlanks(std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<uint8_t>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<uint8_t>(s[e - 1]) <= 0x20) --e;
  s = s.substr(b, e - b);
}

uint8_t TypeOfWord(std::string_view word) {
  if (word == "int") return DB_INT;
  if (word == "float") return DB_FLOAT;
  if (word == "bool") return DB_BOOL;
  return DB_STR;
}

}  // namespace

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string UnescapeTableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t len = sjis::CharLen(text, i);
    if (len == 1 && text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[i + 1];
      if (next == '"' || next == '\\') {
        out += next;
        i += 2;
        continue;
      }
      if (next == 'n') {
        out += "\r\n";
        i += 2;
        continue;
      }
    }
    out.append(text.substr(i, len));
    i += len;
  }
  return out;
}

bool TDBCustomTable::LoadTsv(const std::vector<std::string>& lines) {
  Reset();
  if (lines.empty()) return false;

  // Header column k fills field columns[k]; -1 for a column whose field could not be added
  // (a name already taken, a length beyond the record's bounds), so that its data is skipped
  // instead of shifting the later columns onto the wrong fields.
  std::vector<int> columns;
  TTabStrings parts;
  parts.SetText(lines[0]);
  for (const std::string& part : parts.Items()) {
    std::string rest = part;
    std::string name = CutToken(rest, " ");
    TrimBlanks(name);
    TrimBlanks(rest);
    std::string word = CutToken(rest, " ");
    TrimBlanks(word);
    TrimBlanks(rest);
    if (name.empty()) {
      Reset();
      return false;
    }
    const uint8_t type = TypeOfWord(word);
    const int32_t length = numtext::ParseInt(rest).value_or(kDBDefaultStrLength);
    columns.push_back(AddField(name, type, length));
  }

  TTabStrings cells;
  for (size_t li = 1; li < lines.size(); ++li) {
    if (lines[li].empty()) continue;
    cells.SetText(UnescapeTableText(lines[li]));
    if (!Append()) break;
    const size_t n = std::min(columns.size(), static_cast<size_t>(cells.Count()));
    uint8_t* rec = Record(count_ - 1);
    for (size_t k = 0; k < n; ++k) {
      if (columns[k] >= 0) dbconv::WriteStr(fields_.Field(columns[k]), rec, cells.Get(static_cast<int>(k)));
    }
  }
  return true;
}

}  // namespace qubo
