// qubo-tool archive: list, extract, pack and append archives.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "command.h"
#include "storage/archive.h"
#include "storage/archivewriter.h"
#include "storage/bigstreams.h"
#include "storage/folderresolve.h"
#include "storage/vrfiles.h"
#include "support/encoding.h"
#include "support/errors.h"
#include "support/sjis.h"

namespace qubo::tool {
namespace {

namespace fs = std::filesystem;

const char* const kName = "archive";

int Usage() {
  std::fprintf(stderr,
               "usage: qubo-tool archive list ARCHIVE\n"
               "       qubo-tool archive extract ARCHIVE DIR\n"
               "       qubo-tool archive pack DIR ARCHIVE [--scramble] [--version N]\n"
               "       qubo-tool archive append PROGRAM ARCHIVE\n"
               "ARCHIVE may be a game.dat-style file or a program with an appended archive.\n");
  return 2;
}

const char* TypeName(uint8_t type) {
  switch (type) {
    case kStoreCompressed: return "compressed";
    case kStorePlain: return "stored";
    case kStoreScrambled: return "scrambled";
    case kStoreCompressedScrambled: return "compressed+scrambled";
    default: return "unknown";
  }
}

// Opens an existing archive file or fails.
bool OpenArchive(const std::string& path, TVrFileCollection& c) {
  if (!fs::is_regular_file(path)) {
    Fail(kName, path + ": no such file");
    return false;
  }
  c.OpenFile(path);
  return true;
}

int List(const std::string& path) {
  TVrFileCollection c;
  if (!OpenArchive(path, c)) return 1;
  for (int i = 0; i < c.FileCount(); ++i) {
    const TVrFile* f = c.File(i);
    std::printf("%s\t%lld\t%s\n", Cp932ToUtf8(f->Name()).c_str(), static_cast<long long>(f->size), TypeName(f->type));
  }
  return 0;
}

// The host path of a member under dir, or "" (with a message) when the name would leave dir
// or would pass through a symbolic link.
std::string ExtractPath(const fs::path& dir, const std::string& name) {
  std::vector<std::string> parts;
  if (!SplitGameName(name, parts)) {
    Fail(kName, "refused \"" + Cp932ToUtf8(name) + "\": the name leaves the folder");
    return std::string();
  }
  fs::path p = dir;
  for (size_t i = 0; i < parts.size(); ++i) {
    p /= Cp932ToHostName(parts[i]);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(p, ec))) {
      Fail(kName, "refused \"" + Cp932ToUtf8(name) + "\": " + p.string() + " is a symbolic link");
      return std::string();
    }
  }
  return p.string();
}

int Extract(const std::string& path, const std::string& dir) {
  TVrFileCollection c;
  if (!OpenArchive(path, c)) return 1;
  fs::create_directories(dir);
  int failures = 0;
  for (int i = 0; i < c.FileCount(); ++i) {
    const TVrFile* f = c.File(i);
    const std::string out = ExtractPath(dir, f->Name());
    if (out.empty()) {
      ++failures;
      continue;
    }
    try {
      fs::create_directories(fs::path(out).parent_path());
      TFileStream file(out, TFileStream::Mode::Create);
      c.CopyFileTo(*f, file);
    } catch (const std::exception& e) {
      Fail(kName, Cp932ToUtf8(f->Name()) + ": " + Cp932ToUtf8(e.what()));
      ++failures;
    }
  }
  return failures ? 1 : 0;
}

int Pack(const std::string& dir, const std::string& archive, bool scramble, int32_t version) {
  if (!fs::is_directory(dir)) return Fail(kName, dir + ": not a folder");
  std::error_code ec;
  const fs::path self = fs::weakly_canonical(archive, ec);
  std::vector<std::string> names;
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
    if (it->is_symlink() || !it->is_regular_file()) continue;
    if (fs::weakly_canonical(it->path(), ec) == self) continue;
    std::string name;
    bool ok = true;
    for (const auto& part : fs::relative(it->path(), dir)) {
      const std::string cp = HostNameToCp932(part.string());
      // A backslash inside a host name would read back as a folder separator.
      if (sjis::FindChar(cp, '\\') != std::string::npos) ok = false;
      name += (name.empty() ? "" : "\\") + cp;
    }
    if (!ok) {
      Fail(kName, "skipped \"" + it->path().string() + "\": a backslash in its name");
      continue;
    }
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  TVrFileCollection c;
  c.OpenFile(dir);
  for (const auto& n : names) c.AddMember(n);
  ArchiveWriteOptions options;
  options.version = version;
  options.scrambleAll = scramble;
  options.onError = [](const std::string& message) { Fail(kName, Cp932ToUtf8(message)); };
  TKoBigFileStream out(archive, TKoBigFileStream::Mode::Create);
  WriteArchive(c, out, options);
  std::printf("packed %zu files into %s\n", names.size(), archive.c_str());
  return 0;
}

int Append(const std::string& program, const std::string& archive) {
  if (!fs::is_regular_file(program)) return Fail(kName, program + ": no such file");
  if (!fs::is_regular_file(archive)) return Fail(kName, archive + ": no such file");
  TFileStream in(archive, TFileStream::Mode::OpenRead);
  // Only a whole archive with its index at the start can be appended.
  ReadArchiveIndex(in, 0, in.GetSize());
  TFileStream out(program, TFileStream::Mode::OpenReadWrite);
  if (ReadExecutableTrailer(out)) return Fail(kName, program + ": already carries an archive");
  const int64_t offset = out.GetSize();
  out.Seek(0, SeekOrigin::End);
  in.SetPosition(0);
  out.CopyFrom(in, in.GetSize());
  WriteExecutableTrailer(out, offset);
  std::printf("appended %s to %s at offset %lld\n", archive.c_str(), program.c_str(), static_cast<long long>(offset));
  return 0;
}

int ArchiveMain(const Args& args) {
  if (args.empty()) return Usage();
  const std::string& sub = args[0];
  if (sub == "--help" || sub == "-h") {
    Usage();
    return 0;
  }
  if (sub == "list" && args.size() == 2) return List(args[1]);
  if (sub == "extract" && args.size() == 3) return Extract(args[1], args[2]);
  if (sub == "append" && args.size() == 3) return Append(args[1], args[2]);
  if (sub == "pack" && args.size() >= 3) {
    bool scramble = false;
    int32_t version = kArchiveVersion;
    for (size_t i = 3; i < args.size(); ++i) {
      if (args[i] == "--scramble") {
        scramble = true;
      } else if (args[i] == "--version" && i + 1 < args.size()) {
        const std::string& v = args[++i];
        if (v != "0" && v != "100" && v != "101" && v != "102") return Fail(kName, "--version takes 0, 100, 101 or 102", 2);
        version = std::stoi(v);
      } else {
        return Usage();
      }
    }
    if (scramble && version < 101) return Fail(kName, "--scramble needs --version 101 or later", 2);
    return Pack(args[1], args[2], scramble, version);
  }
  return Usage();
}

const Registration reg{"archive", "list, extract, pack and append game archives", &ArchiveMain};

}  // namespace
}  // namespace qubo::tool
