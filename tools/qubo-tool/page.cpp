// qubo-tool page: a compiled script page (.qsb) as text, and back.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "authoring/pagetext.h"
#include "command.h"
#include "script/pageformat.h"
#include "support/encoding.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo::tool {
namespace {

namespace fs = std::filesystem;

const char* const kName = "page";

int Usage() {
  std::fprintf(stderr,
               "usage: qubo-tool page dump PAGE.qsb [--no-name]\n"
               "       qubo-tool page build TEXT OUT.qsb\n"
               "dump prints the page as text: header lines (page VERSION, result, masks), then one\n"
               "command per line with its fields as name=value; expressions as {source} or as raw\n"
               "[operations]. build writes the page a text describes; building a dump gives back\n"
               "the same bytes. --no-name leaves out the page's own name (which lets jumps into\n"
               "the same page show their targets as labels). The format is described at the top\n"
               "of src/authoring/pagetext.h.\n");
  return 2;
}

int Dump(const std::string& path, bool withName) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, bytes)) return Fail(kName, path + ": cannot read");
  TKoMemoryStream s(bytes);
  const std::string utf8Name = fs::path(path).filename().string();
  const std::string name = Utf8ToCp932Lossy(utf8Name);
  TPageImage page;
  std::string text;
  try {
    const TPageReadResult result = ReadPageImage(s, name, page);
    if (result != TPageReadResult::Loaded) {
      std::fprintf(stderr, "qubo-tool page: %s: version %d is outside %d..%d; the player reads it as an empty page\n",
                   path.c_str(), page.version, kOldestPageVersion, kNewestPageVersion);
    }
    text = authoring::PageToText(page, withName ? name : std::string());
  } catch (const QuboError& e) {
    return Fail(kName, path + ": " + Cp932ToUtf8(e.what()));
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (s.Remaining() > 0) {
    std::fprintf(stderr, "qubo-tool page: %s: %lld bytes after the page are not part of the text\n", path.c_str(),
                 static_cast<long long>(s.Remaining()));
  }
  return 0;
}

int Build(const std::string& textPath, const std::string& out) {
  std::vector<uint8_t> raw;
  if (!ReadFileBytes(textPath, raw)) return Fail(kName, textPath + ": cannot read");
  std::vector<uint8_t> bytes;
  try {
    bytes = PageImageBytes(authoring::ParsePageText(std::string(raw.begin(), raw.end())));
  } catch (const QuboError& e) {
    return Fail(kName, textPath + ": " + Cp932ToUtf8(e.what()));
  }
  if (!WriteFileBytes(out, bytes)) return Fail(kName, out + ": cannot write");
  return 0;
}

int PageMain(const Args& args) {
  if (args.empty()) return Usage();
  const std::string& sub = args[0];
  if (sub == "--help" || sub == "-h") {
    Usage();
    return 0;
  }
  if (sub == "dump" && args.size() == 2) return Dump(args[1], true);
  if (sub == "dump" && args.size() == 3 && args[2] == "--no-name") return Dump(args[1], false);
  if (sub == "build" && args.size() == 3) return Build(args[1], args[2]);
  return Usage();
}

const Registration reg{kName, "dump and build compiled script pages (.qsb) as text", &PageMain};

}  // namespace
}  // namespace qubo::tool
