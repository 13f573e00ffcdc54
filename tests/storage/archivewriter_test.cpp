#include "storage/archivewriter.h"

#include <filesystem>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "storage/crc32.h"
#include "storage/zlibs.h"
#include "support/encoding.h"
#include "support/errors.h"
#include "support/koxmls.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

namespace fs = std::filesystem;

std::string Compressible(size_t n) {
  std::string s;
  while (s.size() < n) s += "the quick brown fox jumps over the lazy dog ";
  s.resize(n);
  return s;
}

std::string Noise(size_t n, uint32_t seed = 1) {
  std::string s(n, '\0');
  for (auto& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 23);
  }
  return s;
}

// A layered image header of the record form (version 103) with its compression type.
std::string RecordBrx(uint8_t compType) {
  testkit::Bytes b;
  b.raw("Brix103").i32(40);
  std::string record(40, '\0');
  record[22] = static_cast<char>(compType);
  b.raw(record).raw(Compressible(4000));
  return std::string(b.b.begin(), b.b.end());
}

// The structured form: the header is a compressed XML document.
std::string StructuredBrx(int compType) {
  TKoXml doc;
  doc.SetName("Frames");
  doc.AddAttrInt("CompType", compType);
  TKoMemoryStream xml;
  doc.SaveToStream(xml);
  Compress(xml, 2);
  testkit::Bytes b;
  b.raw("BrixX200").i32(static_cast<int32_t>(xml.GetSize()));
  b.b.insert(b.b.end(), xml.Bytes().begin(), xml.Bytes().end());
  b.raw(Compressible(4000));
  return std::string(b.b.begin(), b.b.end());
}

void WriteFile(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  testkit::WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string ReadMember(TVrFileCollection& c, const std::string& name) {
  TKoMemoryStream s;
  c.ReadMember(s, name);
  return std::string(s.Bytes().begin(), s.Bytes().end());
}

class ArchiveWriter : public ::testing::Test {
 protected:
  testkit::TempDir dir;
  std::string Path(const std::string& name) { return dir / name; }

  // Writes c to a file and opens it again.
  std::unique_ptr<TVrFileCollection> WriteAndOpen(TVrFileCollection& c, ArchiveWriteOptions options = {},
                                                  const std::string& name = "out.dat") {
    if (!options.seed) options.seed = [] { return 99; };
    TKoMemoryStream out;
    EXPECT_TRUE(WriteArchive(c, out, options));
    out.SaveToFile(Path(name));
    auto back = std::make_unique<TVrFileCollection>();
    back->OpenFile(Path(name));
    return back;
  }
};

TEST_F(ArchiveWriter, PacksFolderFilesByTheTable) {
  struct Case {
    std::string name, content;
    uint8_t type, scrambledType;
  } cases[] = {
      {"movie\\op.MPEG", Compressible(1000), kStorePlain, kStoreScrambled},  // never compressed
      {"bgm.ogg", Compressible(1000), kStorePlain, kStoreScrambled},
      {"data.Dat", Compressible(1000), kStorePlain, kStoreScrambled},
      {"big.txt", Compressible(5242880), kStorePlain, kStoreScrambled},  // too large to compress
      {"limit.txt", Compressible(5242879), kStoreCompressed, kStoreCompressedScrambled},
      {"noise.txt", Noise(100), kStorePlain, kStoreScrambled},  // compresses to more than 9/10
      {"text.txt", Compressible(1000), kStoreCompressed, kStoreCompressedScrambled},
      {"noext", Compressible(1000), kStoreCompressed, kStoreCompressedScrambled},
      {"raw.brx", RecordBrx(1), kStoreCompressed, kStoreCompressedScrambled},  // planes stored raw
      {"zip.brx", RecordBrx(0), kStorePlain, kStoreScrambled},                 // planes compressed
      {"xml.BRX", StructuredBrx(1), kStoreCompressed, kStoreCompressedScrambled},
      {"xml0.brx", StructuredBrx(0), kStorePlain, kStoreScrambled},
      {"old.brx", "Brix102" + Compressible(1000), kStorePlain, kStoreScrambled},
      {"empty.txt", "", kStorePlain, kStoreScrambled},  // 0 * 9 / 10 is below any compressed size
  };
  const std::string folder = Path("game");
  for (const auto& c : cases) {
    std::string host = c.name;
    std::replace(host.begin(), host.end(), '\\', '/');
    WriteFile(folder + "/" + host, c.content);
  }
  for (bool scramble : {false, true}) {
    TVrFileCollection source;
    source.OpenFile(folder);
    for (const auto& c : cases) source.AddMember(c.name);
    ArchiveWriteOptions options;
    options.scrambleAll = scramble;
    auto back = WriteAndOpen(source, options);
    ASSERT_EQ(back->FileCount(), static_cast<int>(std::size(cases)));
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name + (scramble ? " scrambled" : ""));
      const TVrFile* f = back->FindFile(c.name);
      ASSERT_TRUE(f);
      EXPECT_EQ(f->type, scramble ? c.scrambledType : c.type);
      EXPECT_EQ(ReadMember(*back, c.name), c.content);
      std::string host = c.name;
      std::replace(host.begin(), host.end(), '\\', '/');
      struct stat st;
      ASSERT_EQ(::stat((folder + "/" + host).c_str(), &st), 0);
      EXPECT_EQ(f->time, DosDateTime(st.st_mtime));
    }
  }
}

TEST_F(ArchiveWriter, PacksMemoryMembersAndTheirChecksums) {
  const std::string big = Noise(5242880);
  const std::string small = Compressible(3000);
  struct Case {
    std::string name;
    const std::string* content;
    uint8_t plainFlag;
    bool scramble;
    uint8_t type;
  } cases[] = {
      {"big", &big, 0, false, kStorePlain},
      {"bigS", &big, 0, true, kStoreScrambled},
      {"small", &small, 0, false, kStoreCompressed},
      {"smallS", &small, 0, true, kStoreCompressedScrambled},
      {"smallP", &small, 1, true, kStoreCompressedScrambled},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TVrFileCollection source;
    TVrFile* f = source.AddMemoryMember(c.name);
    f->data->Write(c.content->data(), static_cast<int64_t>(c.content->size()));
    f->plainChecksum = c.plainFlag;
    ArchiveWriteOptions options;
    options.scrambleAll = c.scramble;
    auto back = WriteAndOpen(source, options);
    const TVrFile* g = back->FindFile(c.name);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->type, c.type);
    EXPECT_EQ(g->plainChecksum, c.plainFlag);
    EXPECT_EQ(ReadMember(*back, c.name), *c.content);
    // The checksum covers the plain data when flagged, else the bytes as stored.
    TKoMemoryStream stored;
    stored.SetSize(g->size);
    back->Archive()->SetPosition(g->offset);
    back->Archive()->ReadBuffer(stored.Memory(), g->size);
    const uint32_t expected = c.plainFlag ? Crc32(c.content->data(), static_cast<int64_t>(c.content->size()))
                                          : Crc32(stored.Memory(), g->size);
    EXPECT_EQ(static_cast<uint32_t>(g->checksum), expected);
    // The member in memory is left as it was.
    EXPECT_EQ(f->data->GetSize(), static_cast<int64_t>(c.content->size()));
  }
}

TEST_F(ArchiveWriter, RewrittenArchiveTakesMembersFromItsOwnBytes) {
  TVrFileCollection first;
  first.AddMemoryMember("GAMESAVEDATA1")->data->Write("saved game", 10);
  first.AddMemoryMember("scr")->data->Write("keep scrambled", 14);
  first.FindFile("scr")->plainChecksum = 1;
  ArchiveWriteOptions scrambled;
  scrambled.scrambleAll = true;
  auto save = WriteAndOpen(first, scrambled, "save.dat");
  // A file of the same name beside the save file must not be picked up.
  WriteFile(Path("GAMESAVEDATA1"), "a stranger's file");
  save->AddMemoryMember("STATUSSAVEDATA")->data->Write("status", 6);
  auto again = WriteAndOpen(*save, {}, "save2.dat");
  EXPECT_EQ(ReadMember(*again, "GAMESAVEDATA1"), "saved game");
  EXPECT_EQ(ReadMember(*again, "STATUSSAVEDATA"), "status");
  // A member stored scrambled stays scrambled without being asked to.
  EXPECT_EQ(again->FindFile("scr")->type, kStoreCompressedScrambled);
  EXPECT_EQ(again->FindFile("STATUSSAVEDATA")->type, kStoreCompressed);
  // Writing leaves the collection that was read untouched.
  EXPECT_EQ(ReadMember(*save, "scr"), "keep scrambled");
}

TEST_F(ArchiveWriter, PackingNeverLeavesTheFolder) {
  WriteFile(Path("secret.txt"), "outside");
  WriteFile(Path("game/in.txt"), "inside");
  for (const std::string name : {"..\\secret.txt", "/etc/passwd", "C:\\secret.txt", "missing.txt"}) {
    TVrFileCollection c;
    c.OpenFile(Path("game"));
    c.AddMember("in.txt");
    c.AddMember(name);
    std::string reported;
    ArchiveWriteOptions options;
    options.onError = [&](const std::string& m) { reported = Cp932ToUtf8(m); };
    TKoMemoryStream out;
    try {
      WriteArchive(c, out, options);
      ADD_FAILURE() << name;
    } catch (const QuboError& e) {
      EXPECT_EQ(Cp932ToUtf8(e.what()), name + ":ファイルがありません");
    }
    EXPECT_EQ(reported, "エラー:" + name);
  }
}

TEST_F(ArchiveWriter, OlderVersionsRoundTripAndCancelStops) {
  WriteFile(Path("game/a.ogg"), Compressible(500));
  for (int32_t version : {0, 100, 101, 102}) {
    SCOPED_TRACE(version);
    TVrFileCollection c;
    c.OpenFile(Path("game"));
    c.AddMember("a.ogg");
    c.AddMemoryMember("m")->data->Write("memory", 6);
    ArchiveWriteOptions options;
    options.version = version;
    auto back = WriteAndOpen(c, options);
    EXPECT_EQ(back->Version(), version);
    EXPECT_EQ(ReadMember(*back, "a.ogg"), Compressible(500));
    EXPECT_EQ(ReadMember(*back, "m"), "memory");
    // Before 101 there is no type table: everything is compressed.
    EXPECT_EQ(back->FindFile("a.ogg")->type, version < 101 ? kStoreCompressed : kStorePlain);
  }
  TVrFileCollection c;
  c.AddMemoryMember("m");
  ArchiveWriteOptions legacy;
  legacy.version = 100;
  legacy.scrambleAll = true;
  TKoMemoryStream out;
  EXPECT_THROW(WriteArchive(c, out, legacy), FormatError);

  c.AddMemoryMember("n");
  int calls = 0;
  c.progress = [&](int index, int count) {
    EXPECT_EQ(count, 2);
    ++calls;
    return index < 1;
  };
  EXPECT_FALSE(c.Write(out, false));
  EXPECT_EQ(calls, 2);
}

TEST(ArchivePacking, ScrambleBlockSizesAndDates) {
  EXPECT_EQ(ScrambleBlockSizeFor(0), 256);
  EXPECT_EQ(ScrambleBlockSizeFor(25600), 256);
  EXPECT_EQ(ScrambleBlockSizeFor(100000), 1000);
  EXPECT_EQ(ScrambleBlockSizeFor(10000000), 4096);
  EXPECT_EQ(DosDateTime(0), 0);  // before 1980
}

}  // namespace
}  // namespace qubo
