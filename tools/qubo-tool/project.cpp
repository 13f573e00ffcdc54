// qubo-tool project: the project file qubo.qpb and the install record install.dat as text,
// and back.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "authoring/projecttext.h"
#include "authoring/projectwriter.h"
#include "command.h"
#include "script/installset.h"
#include "script/projectfile.h"
#include "support/encoding.h"
#include "support/errors.h"
#include "support/sjis.h"
#include "support/stream.h"

namespace qubo::tool {
namespace {

namespace fs = std::filesystem;

const char* const kName = "project";

int Usage() {
  std::fprintf(stderr,
               "usage: qubo-tool project dump FILE [--install]\n"
               "       qubo-tool project build TEXT OUT\n"
               "FILE is a qubo.qpb project file or an install.dat install record (by its name or\n"
               "its \"is\" header; --install for an old record without one). dump prints the text\n"
               "form; build writes the record a text form describes (its first line says which).\n");
  return 2;
}

bool LooksLikeInstall(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (sjis::EqualsNoCase(fs::path(path).filename().string(), "install.dat")) return true;
  return bytes.size() >= 5 && bytes[0] == 'i' && bytes[1] == 's' && bytes[2] >= '0' && bytes[2] <= '9' &&
         bytes[3] >= '0' && bytes[3] <= '9' && bytes[4] >= '0' && bytes[4] <= '9';
}

int Dump(const std::string& path, bool install) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, bytes)) return Fail(kName, path + ": cannot read");
  TKoMemoryStream s(bytes);
  std::string text;
  try {
    if (install || LooksLikeInstall(path, bytes)) {
      text = authoring::InstallToText(ReadInstallSet(s));
    } else {
      text = authoring::ProjectToText(ReadProjectFile(s));
    }
  } catch (const QuboError& e) {
    return Fail(kName, path + ": " + Cp932ToUtf8(e.what()));
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (s.Remaining() > 0) {
    std::fprintf(stderr, "qubo-tool project: %s: %lld bytes after the record are not part of the text\n", path.c_str(),
                 static_cast<long long>(s.Remaining()));
  }
  return 0;
}

int Build(const std::string& textPath, const std::string& out) {
  std::vector<uint8_t> raw;
  if (!ReadFileBytes(textPath, raw)) return Fail(kName, textPath + ": cannot read");
  std::vector<uint8_t> bytes;
  try {
    const authoring::RecordText rec = authoring::ParseRecordText(std::string(raw.begin(), raw.end()));
    bytes = rec.kind == authoring::RecordText::Kind::Project ? authoring::ProjectFileBytes(rec.project)
                                                             : authoring::InstallSetBytes(rec.install);
  } catch (const QuboError& e) {
    return Fail(kName, textPath + ": " + Cp932ToUtf8(e.what()));
  }
  if (!WriteFileBytes(out, bytes)) return Fail(kName, out + ": cannot write");
  return 0;
}

int ProjectMain(const Args& args) {
  if (args.empty()) return Usage();
  const std::string& sub = args[0];
  if (sub == "--help" || sub == "-h") {
    Usage();
    return 0;
  }
  if (sub == "dump" && args.size() == 2) return Dump(args[1], false);
  if (sub == "dump" && args.size() == 3 && args[2] == "--install") return Dump(args[1], true);
  if (sub == "build" && args.size() == 3) return Build(args[1], args[2]);
  return Usage();
}

const Registration reg{"project", "dump and build project files and install records as text", &ProjectMain};

}  // namespace
}  // namespace qubo::tool
