#include "storage/archive.h"

#include <gtest/gtest.h>

#include "storage/scrambles.h"
#include "storage/zlibs.h"
#include "support/errors.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

using testkit::Bytes;

// Hand-built indexes, written field by field the way the format describes them (not with
// the writer under test).
struct HandIndex {
  int32_t version;
  std::vector<std::string> names;
  std::vector<int64_t> offsets;  // N + 1, relative
  std::vector<uint8_t> types;    // version >= 101
  std::vector<int32_t> times, sums;
  std::vector<uint8_t> plain;    // version >= 102

  std::vector<uint8_t> Build() const {
    Bytes b;
    if (version != 0) b.raw("vf").i32(version);
    b.i32(static_cast<int32_t>(names.size()));
    TKoRandom key(kArchiveMaskIncrement);
    for (const auto& n : names) {
      b.i32(static_cast<int32_t>(n.size()));
      for (char c : n) b.u8(static_cast<uint8_t>(version >= 100 ? c ^ static_cast<uint8_t>(key.Next()) : c));
    }
    TKoRandom okey(kArchiveMaskIncrement);
    for (int64_t o : offsets) {
      if (version >= 101) {
        const int64_t v = o ^ static_cast<int64_t>(okey.Next());
        b.i32(static_cast<int32_t>(v)).i32(static_cast<int32_t>(v >> 32));
      } else {
        b.i32(static_cast<int32_t>(version >= 100 ? static_cast<int32_t>(o) ^ okey.Next() : o));
      }
    }
    if (version >= 101) {
      for (auto t : types) b.u8(t);
      for (auto t : times) b.i32(t);
      for (auto s : sums) b.i32(s);
    }
    if (version >= 102) {
      for (auto p : plain) b.u8(p);
    }
    return b.b;
  }
};

ArchiveIndex ReadAll(std::vector<uint8_t> bytes, int64_t base = 0) {
  TKoMemoryStream s(std::move(bytes));
  const int64_t size = s.GetSize();
  return ReadArchiveIndex(s, base, size);
}

// "表" (0x95 0x5C): a trail byte that is a backslash.
const std::string kHyoName = "dir\\\x95\x5C.txt";

TEST(ArchiveIndex, ReadsEveryVersion) {
  struct Case {
    int32_t version;
  } cases[] = {{0}, {100}, {101}, {102}};
  for (const auto& c : cases) {
    HandIndex h{c.version, {"a.txt", kHyoName, ""}, {0, 3, 3, 10}, {1, 2, 3}, {7, 8, 9}, {-1, 2, 3}, {1, 0, 1}};
    std::vector<uint8_t> bytes = h.Build();
    const int64_t indexSize = static_cast<int64_t>(bytes.size());
    bytes.resize(bytes.size() + 10, 'x');
    TKoMemoryStream s(bytes);
    const ArchiveIndex idx = ReadArchiveIndex(s, 0, s.GetSize());
    SCOPED_TRACE(c.version);
    EXPECT_EQ(idx.version, c.version);
    EXPECT_EQ(s.GetPosition(), indexSize);  // the stream ends right after the index
    ASSERT_EQ(idx.entries.size(), 3u);
    EXPECT_EQ(idx.entries[0].name, "a.txt");
    EXPECT_EQ(idx.entries[1].name, kHyoName);
    EXPECT_EQ(idx.entries[2].name, "");
    EXPECT_EQ(idx.entries[0].size, 3);
    EXPECT_EQ(idx.entries[1].size, 0);
    EXPECT_EQ(idx.entries[2].offset, 3);
    EXPECT_EQ(idx.entries[2].size, 7);
    if (c.version >= 101) {
      EXPECT_EQ(idx.entries[1].type, 2);
      EXPECT_EQ(idx.entries[2].time, 9);
      EXPECT_EQ(idx.entries[0].checksum, -1);
    } else {
      // Older archives: every member compressed, no dates or checksums.
      EXPECT_EQ(idx.entries[1].type, kStoreCompressed);
      EXPECT_EQ(idx.entries[2].time, 0);
    }
    EXPECT_EQ(idx.entries[2].plainChecksum, c.version >= 102 ? 1 : 0);
  }
}

TEST(ArchiveIndex, WriterAgreesWithTheHandBuiltForm) {
  std::vector<ArchiveEntry> entries(2);
  entries[0] = {"a.txt", 1000, 0, 1, 7, -1, 1};
  entries[1] = {kHyoName, 1003, 0, 2, 8, 2, 0};
  for (int32_t version : {0, 100, 101, 102}) {
    TKoMemoryStream out;
    WriteArchiveIndex(out, version, entries, 1000, 1010);
    HandIndex h{version, {"a.txt", kHyoName}, {0, 3, 10}, {1, 2}, {7, 8}, {-1, 2}, {1, 0}};
    EXPECT_EQ(out.Bytes(), h.Build()) << version;
    EXPECT_EQ(out.GetSize(), ArchiveIndexSize(version, entries));
  }
  TKoMemoryStream out;
  WriteArchiveIndex(out, kArchiveVersion, entries, 1000, 1010);
  // An archive of this system begins 'v' 'f' 'f' 0 0 0.
  EXPECT_EQ(std::vector<uint8_t>(out.Bytes().begin(), out.Bytes().begin() + 6),
            (std::vector<uint8_t>{'v', 'f', 'f', 0, 0, 0}));
  // A 32-bit index cannot hold an offset above 2 GiB.
  entries[1].offset = 1000 + (int64_t{1} << 32);
  EXPECT_THROW(WriteArchiveIndex(out, 100, entries, 1000, entries[1].offset), FormatError);
}

TEST(ArchiveIndex, BaseIsAddedAndOffsetsAreBoundedByTheData) {
  HandIndex h{102, {"a", "b"}, {0, 4, 9}, {1, 1}, {0, 0}, {0, 0}, {0, 0}};
  const std::vector<uint8_t> index = h.Build();
  TKoMemoryStream s(index);
  const ArchiveIndex idx = ReadArchiveIndex(s, 500, 509);
  EXPECT_EQ(idx.entries[0].offset, 500);
  EXPECT_EQ(idx.entries[1].offset, 504);
  EXPECT_EQ(idx.entries[1].size, 5);
  s.SetPosition(0);
  EXPECT_THROW(ReadArchiveIndex(s, 500, 508), FormatError);  // one byte short of the end offset
}

TEST(ArchiveIndex, MalformedIndexesAreFormatErrors) {
  // Offsets as a real archive has them: the data follows the index.
  HandIndex good{102, {"a.txt", "bb"}, {0, 5, 9}, {0, 1}, {0, 0}, {0, 0}, {0, 0}};
  const int64_t indexSize = static_cast<int64_t>(good.Build().size());
  for (auto& o : good.offsets) o += indexSize;
  std::vector<uint8_t> full = good.Build();
  full.resize(full.size() + 9, 0);
  EXPECT_NO_THROW(ReadAll(full));
  // Truncated anywhere: in the index, or so that the data is shorter than the offsets say.
  for (size_t n = 0; n < full.size(); ++n) {
    EXPECT_THROW(ReadAll(std::vector<uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n))), FormatError)
        << "truncated at " << n;
  }

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"huge count", Bytes().raw("vf").i32(102).i32(0x7FFFFFFF).i32(0).b},
      {"negative count", Bytes().raw("vf").i32(102).i32(-1).i32(0).i32(0).b},
      {"huge name", Bytes().i32(1).i32(0x7FFFFFF0).i32(0).i32(0).b},
      {"offsets out of order", HandIndex{0, {"a", "b"}, {4, 2, 6}, {}, {}, {}, {}}.Build()},
      {"negative offset", HandIndex{0, {"a"}, {-4, 0}, {}, {}, {}, {}}.Build()},
      {"end past the data", HandIndex{0, {"a"}, {0, 1000000}, {}, {}, {}, {}}.Build()},
      {"wide offset past the data", HandIndex{101, {"a"}, {0, int64_t{1} << 40}, {0}, {0}, {0}, {}}.Build()},
  };
  for (auto& c : cases) {
    c.bytes.resize(c.bytes.size() + 64, 0);
    EXPECT_THROW(ReadAll(c.bytes), FormatError) << c.what;
  }
}

TEST(ArchiveTrailer, OnlyAValidTrailerInsideTheFileCounts) {
  auto program = [](int32_t offset, const char* tag) {
    Bytes b;
    b.raw(std::string(100, 'P'));
    b.i32(offset).raw(tag);
    return TKoMemoryStream(b.b);
  };
  TKoMemoryStream good = program(60, "qb");
  EXPECT_EQ(ReadExecutableTrailer(good), 60);
  TKoMemoryStream atEnd = program(100, "qb");
  EXPECT_EQ(ReadExecutableTrailer(atEnd), 100);  // an empty archive right before the trailer
  TKoMemoryStream past = program(101, "qb");
  EXPECT_FALSE(ReadExecutableTrailer(past));
  TKoMemoryStream negative = program(-1, "qb");
  EXPECT_FALSE(ReadExecutableTrailer(negative));
  TKoMemoryStream wrongTag = program(60, "QB");
  EXPECT_FALSE(ReadExecutableTrailer(wrongTag));
  TKoMemoryStream tiny(std::vector<uint8_t>{'q', 'b'});
  EXPECT_FALSE(ReadExecutableTrailer(tiny));

  TKoMemoryStream out;
  WriteExecutableTrailer(out, 0x1234);
  EXPECT_EQ(out.Bytes(), (std::vector<uint8_t>{0x34, 0x12, 0, 0, 'q', 'b'}));

  EXPECT_TRUE(HasExecutableExtension("C:/x/GAME.EXE"));
  EXPECT_TRUE(HasExecutableExtension("a.Scr"));
  EXPECT_FALSE(HasExecutableExtension("quboplayer"));
  EXPECT_FALSE(HasExecutableExtension("game.dat"));
}

TKoMemoryStream Stored(const std::vector<uint8_t>& plain, uint8_t type) {
  TKoMemoryStream m(plain);
  if (IsCompressedType(type)) Compress(m, 2);
  if (IsScrambledType(type)) Scramble(m, 64, 12345);
  m.SetPosition(0);
  return m;
}

TEST(ArchiveMember, DecodesEveryStorageType) {
  std::vector<uint8_t> plain(5000);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7 % 13);
  for (uint8_t type = 0; type <= 3; ++type) {
    TKoMemoryStream m = Stored(plain, type);
    DecodeMember(m, type);
    EXPECT_EQ(m.Bytes(), plain) << int(type);
    EXPECT_EQ(m.GetPosition(), 0);
  }
  // A member of size 0 is empty whatever its type.
  for (uint8_t type = 0; type <= 3; ++type) {
    TKoMemoryStream empty;
    DecodeMember(empty, type);
    EXPECT_EQ(empty.GetSize(), 0);
  }
  TKoMemoryStream unknown(plain);
  EXPECT_THROW(DecodeMember(unknown, 4), FormatError);
  TKoMemoryStream damaged(std::vector<uint8_t>{0x78, 0x9C, 1, 2, 3});
  EXPECT_THROW(DecodeMember(damaged, kStoreCompressed), FormatError);
}

TEST(ArchiveMember, InflationGrowsToTheBoundAndNoFurther) {
  // 8 MiB of zeros compress to a few KiB: far more than the first guess of the buffer.
  std::vector<uint8_t> zeros(8 << 20, 0);
  TKoMemoryStream packed = Stored(zeros, kStoreCompressed);
  std::vector<uint8_t> out;
  InflateWhole(packed.Memory(), packed.Bytes().size(), out, InflateBound(packed.GetSize()));
  EXPECT_EQ(out.size(), zeros.size());
  EXPECT_THROW(InflateWhole(packed.Memory(), packed.Bytes().size(), out, (8 << 20) - 1), FormatError);
  EXPECT_EQ(InflateBound(0), 0);
  EXPECT_EQ(InflateBound(int64_t{1} << 40), 0x7FFFFFFF);
}

TEST(ArchiveMember, ReadsStoredBytesAtTheirOffset) {
  const std::vector<uint8_t> plain = {'h', 'e', 'l', 'l', 'o'};
  TKoMemoryStream stored = Stored(plain, kStoreCompressedScrambled);
  Bytes archive;
  archive.raw("junk");
  archive.b.insert(archive.b.end(), stored.Bytes().begin(), stored.Bytes().end());
  archive.raw("tail");
  TKoMemoryStream s(archive.b);
  ArchiveEntry e{"x", 4, stored.GetSize(), kStoreCompressedScrambled, 0, 0, 0};
  TKoMemoryStream dest(std::vector<uint8_t>{9, 9});
  ReadMemberData(s, e, dest);
  EXPECT_EQ(dest.Bytes(), plain);
  e.size = 1000;  // an entry reaching past the stream
  EXPECT_THROW(ReadMemberData(s, e, dest), FormatError);
}

}  // namespace
}  // namespace qubo
