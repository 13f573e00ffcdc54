// The project file and install record readers: version gates, the folder-to-disc rule and
// damaged input.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "script/installset.h"
#include "script/projectfile.h"
#include "script/projectmessages.h"
#include "support/errors.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

using testkit::Bytes;

// A project file of the given version with every field the version carries.
Bytes Project(int32_t version, const std::string& mediaExt = ".ogg") {
  Bytes b;
  b.i32(version).str("Title").i32(640).i32(480).i32(800).i32(600).str("start");
  if (version >= 110) b.str("exit");
  b.str("Soft\\Key").i32(77);
  if (version >= 104) b.u8(1);
  if (version >= 106) b.u8(1);
  if (version >= 109) b.str(mediaExt);
  if (version >= 113) b.u8(1);
  if (version >= 114) b.u8(1);
  if (version >= 116) b.u8(0);
  b.str("disk %d").str("quit");
  b.i32(2).u8(1).str("count").i32(5).u8(4).str("name").str("abc");
  b.i32(1).str("BGM").i32(2);
  return b;
}

TEST(ProjectFile, VersionGatesGiveOldFilesTheirDefaults) {
  struct Case {
    int32_t version;
    const char* exitPage;
    uint8_t writeStatus, idleSleep, pause, multiDisc, toolbar;
    const char* media;
  };
  const Case cases[] = {
      {103, "", 0, 0, 0, 0, 1, ".wav.wma.ogg.mid"},  {104, "", 1, 0, 0, 0, 1, ".wav.wma.ogg.mid"},
      {108, "", 1, 1, 0, 0, 1, ".wav.wma.ogg.mid"},  {109, "", 1, 1, 0, 0, 1, ".ogg"},
      {110, "exit", 1, 1, 0, 0, 1, ".ogg"},          {113, "exit", 1, 1, 1, 0, 1, ".ogg"},
      {114, "exit", 1, 1, 1, 1, 1, ".ogg"},          {116, "exit", 1, 1, 1, 1, 0, ".ogg"},
      {117, "exit", 1, 1, 1, 1, 0, ".ogg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    const TProjectFile p = ReadProjectFile(Project(c.version).b);
    EXPECT_EQ(p.exitPage, c.exitPage);
    EXPECT_EQ(p.writeStatus, c.writeStatus);
    EXPECT_EQ(p.idleSleep, c.idleSleep);
    EXPECT_EQ(p.pauseWhenInactive, c.pause);
    EXPECT_EQ(p.multiDisc, c.multiDisc);
    EXPECT_EQ(p.toolbarVisible, c.toolbar);
    EXPECT_EQ(p.mediaExtensions, c.media);
    EXPECT_EQ(p.title, "Title");
    EXPECT_EQ(p.registryKey, "Soft\\Key");
    EXPECT_EQ(p.identification, 77);
    EXPECT_EQ(p.diskMessage, "disk %d");
    ASSERT_EQ(p.initialVars.size(), 2u);
    EXPECT_EQ(p.initialVars[0].intValue, 5);
    EXPECT_EQ(p.initialVars[1].strValue, "abc");
    EXPECT_EQ(p.folderDisks.DiskOf("BGM\\a.ogg"), 2);
  }
}

TEST(ProjectFile, NewerVersionIsRefusedWithTheMessage) {
  try {
    ReadProjectFile(Project(118).b);
    FAIL();
  } catch (const FormatError& e) {
    EXPECT_STREQ(e.what(), msg::kMsgUnsupportedVersion);
  }
}

TEST(ProjectFile, TruncatedAtEveryOffsetRaisesTheDamagedMessage) {
  const std::vector<uint8_t> full = Project(117).b;
  ASSERT_NO_THROW(ReadProjectFile(full));
  for (size_t n = 0; n < full.size(); ++n) {
    SCOPED_TRACE(n);
    std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(n));
    try {
      ReadProjectFile(cut);
      FAIL();
    } catch (const FormatError& e) {
      EXPECT_STREQ(e.what(), msg::kMsgDamagedProject);
    }
  }
}

TEST(ProjectFile, HugeOrNegativeCountsAreRefusedBeforeAllocating) {
  for (int32_t count : {0x7FFFFFFF, 0x10000000, -1}) {
    SCOPED_TRACE(count);
    Bytes vars;  // initial variable count
    vars.i32(117).str("T").i32(0).i32(0).i32(0).i32(0).str("s").str("").str("").i32(0);
    vars.u8(1).u8(1).str("").u8(0).u8(0).u8(1).str("").str("").i32(count);
    EXPECT_THROW(ReadProjectFile(vars.b), FormatError);
    Bytes disks = vars;
    disks.b.resize(disks.b.size() - 4);
    disks.i32(0).i32(count);
    EXPECT_THROW(ReadProjectFile(disks.b), FormatError);
  }
}

TEST(ProjectFile, UnknownVariableTypesCarryNoValue) {
  Bytes b;
  b.i32(100).str("T").i32(0).i32(0).i32(0).i32(0).str("s").str("").i32(0).str("").str("");
  b.i32(2).u8(0).str("ref").u8(9).str("odd");
  b.i32(0);
  const TProjectFile p = ReadProjectFile(b.b);
  ASSERT_EQ(p.initialVars.size(), 2u);
  EXPECT_EQ(p.initialVars[1].name, "odd");
}

TEST(FolderDiskList, DiskOfFindsTheClosestRegisteredFolder) {
  TFolderDiskList d;
  d.Add("bgm", 2);
  d.Add("cg\\ev\\", 3);
  d.Add("cg", 1);
  struct Case {
    const char* name;
    int32_t disk;
  };
  const Case cases[] = {
      {"bgm\\title.ogg", 2}, {"BGM\\Sub\\x.wav", 2}, {"cg\\ev\\a.brx", 3}, {"cg\\b.brx", 1},
      {"cgx\\b.brx", 0},     {"start.qsb", 0},        {"", 0},               {"bgm", 2},
      // A trail byte 0x5C is no folder separator: "\x95\x5C" is one character.
      {"\x95\x5C\\a.qsb", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(d.DiskOf(c.name), c.disk);
  }
  TFolderDiskList sjisFolder;
  sjisFolder.Add("\x95\x5C", 4);
  EXPECT_EQ(sjisFolder.DiskOf("\x95\x5C\\a.qsb"), 4);
}

// An install record of a version with recognisable values in the fields the player uses.
Bytes Install(int32_t version, bool full, int32_t k = 1) {
  Bytes b;
  if (version > 0) {
    char head[16];
    std::snprintf(head, sizeof head, "is%03d", version);
    b.raw(std::string(head, 5));
  }
  const int width = version >= 100 ? 8 : 4;
  b.i32(1).str("Game").str("a").str("b").str("c").u8(0).str("d").u8(0).i32(k).str("e");
  b.i32(0).u8(0).u8(0).str("f").str("g");
  // A huge count is written with only a few entries behind it.
  const int64_t entries = std::min<int64_t>(4 * (int64_t{k} + 1), 64);
  for (int i = 0; i < entries; ++i) {
    b.i32(i);
    if (width == 8) b.i32(0);
  }
  b.u8(0);
  if (version >= 101) b.u8(0);
  if (version >= 102) b.i32(3).str("x").str("").str("y");
  if (version >= 103) b.u8(full ? 1 : 0);
  if (version >= 104) b.u8(0);
  if (version >= 105) b.u8(0);
  if (version >= 106) b.i32(1).str("z");
  if (version >= 107) b.str("h");
  if (version >= 108) b.str("i").str("j");
  return b;
}

TEST(InstallSet, EveryVersionReadsToItsEnd) {
  for (int32_t v : {0, 99, 100, 101, 102, 103, 104, 105, 106, 107, 108}) {
    SCOPED_TRACE(v);
    const Bytes b = Install(v, true);
    TKoMemoryStream s(b.b);
    const TQuboInstallSet set = ReadInstallSet(s);
    EXPECT_EQ(set.version, v);
    EXPECT_EQ(set.discIndex, 1);
    EXPECT_EQ(set.projectName, "Game");
    EXPECT_EQ(set.IsFullInstall(), v >= 103);
    EXPECT_EQ(s.GetPosition(), s.GetSize());
    if (v >= 102) {
      EXPECT_EQ(set.NonEmptyList1(), (std::vector<std::string>{"x", "y"}));
    }
    ASSERT_EQ(set.groups.size(), 1u);
    EXPECT_EQ(set.groups[0][3], 3);
  }
}

TEST(InstallSet, DamagedRecordsAreRefused) {
  const std::vector<uint8_t> full = Install(108, true).b;
  for (size_t n = 0; n < full.size(); n += 3) {
    SCOPED_TRACE(n);
    std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(n));
    EXPECT_THROW(ReadInstallSet(cut), FormatError);
  }
  EXPECT_THROW(ReadInstallSet(Install(108, true, 0x7FFFFFFF).b), FormatError);
  EXPECT_THROW(ReadInstallSet(Install(108, true, -5).b), FormatError);
  Bytes badDigits;
  badDigits.raw("is1x8");
  badDigits.b.insert(badDigits.b.end(), full.begin() + 5, full.end());
  EXPECT_THROW(ReadInstallSet(badDigits.b), FormatError);
}

}  // namespace
}  // namespace qubo
