// The project file and install record writers against their readers, and the text form:
// dump then build gives back the same bytes at every version.

#include <gtest/gtest.h>

#include "authoring/projecttext.h"
#include "authoring/projectwriter.h"
#include "support/errors.h"

namespace qubo::authoring {
namespace {

// Text that is hard to carry: a trail byte '\\', a quote, control characters, bytes outside
// code page 932, a lone lead byte at the end.
const std::string kAwkward = std::string("\x95\x5C\"q\\\n\t\x01 \x80\xFD\xA0 \x82\xA0", 16) + "\x81";

TProjectFile FullProject(int32_t version) {
  TProjectFile p;
  p.version = version;
  p.title = "\x83Q\x81[\x83\x80: " + kAwkward;
  p.screenWidth = 800;
  p.screenHeight = 600;
  p.fullScreenWidth = -1;
  p.fullScreenHeight = 2147483647;
  p.startPage = "start";
  p.registryKey = "Soft\\Maker\\Game";
  p.identification = -123456;
  p.diskMessage = "disk %d";
  p.quitMessage = "";
  // Fields the version lacks keep the values its reader gives them.
  if (version >= kProjectExitPageSince) p.exitPage = "bye";
  p.writeStatus = version >= kProjectWriteStatusSince ? 2 : 0;
  p.idleSleep = version >= kProjectIdleSleepSince ? 1 : 0;
  if (version >= kProjectMediaExtSince) p.mediaExtensions = ".ogg";
  if (version >= kProjectPauseSince) p.pauseWhenInactive = 1;
  if (version >= kProjectMultiDiscSince) p.multiDisc = 1;
  if (version >= kProjectToolbarSince) p.toolbarVisible = 0;
  TInitialVar a;
  a.type = PT_INT;
  a.name = "n";
  a.intValue = -5;
  TInitialVar b;
  b.type = PT_FLOAT;
  b.name = "r";
  b.realValue = LongDoubleToExtended(0.1L);
  TInitialVar c;
  c.type = PT_FLOAT;
  c.name = "odd";
  c.realValue = {1, 2, 3, 4, 5, 6, 7, 0, 0xFF, 0x7F};  // an unnormal: only the raw form keeps it
  TInitialVar d;
  d.type = PT_BOOL;
  d.name = "f";
  d.flagValue = 7;
  TInitialVar e;
  e.type = PT_STR;
  e.name = "s";
  e.strValue = kAwkward;
  TInitialVar f;
  f.type = 0;
  f.name = "ref";
  p.initialVars = {a, b, c, d, e, f};
  p.folderDisks.Add("bgm", 2);
  p.folderDisks.Add("\x95\x5C", 3);
  return p;
}

TEST(ProjectText, EveryVersionRoundTripsThroughBytesAndText) {
  for (int32_t v = 100; v <= kProjectVersionMax; ++v) {
    SCOPED_TRACE(v);
    const TProjectFile p = FullProject(v);
    const std::vector<uint8_t> bytes = ProjectFileBytes(p);
    EXPECT_EQ(ReadProjectFile(bytes), p);
    const std::string text = ProjectToText(p);
    const RecordText back = ParseRecordText(text);
    ASSERT_EQ(back.kind, RecordText::Kind::Project);
    EXPECT_EQ(ProjectFileBytes(back.project), bytes) << text;
  }
}

TQuboInstallSet FullInstall(int32_t version) {
  TQuboInstallSet s;
  s.version = version;
  s.discIndex = 1;
  s.projectName = "Game " + kAwkward;
  s.text1 = "a";
  s.text7 = "g";
  s.byte1 = 9;
  s.number1 = -7;
  const int64_t big = version >= kInstallWideNumbersSince ? (int64_t{1} << 40) : -3;
  s.groups = {{1, 2, 3, big}, {5, 6, 7, 8}};
  s.numbers = {big, 0, -1, 4};
  if (version >= kInstallByte6Since) s.byte6 = 1;
  if (version >= kInstallList1Since) s.list1 = {"x", "", "y"};
  if (version >= kInstallFullSince) s.fullInstall = 1;
  if (version >= kInstallByte8Since) s.byte8 = 3;
  if (version >= kInstallList2Since) s.list2 = {"z"};
  if (version >= kInstallText8Since) s.text8 = "h";
  if (version >= kInstallText9Since) s.text10 = "j";
  return s;
}

TEST(ProjectText, InstallRecordsRoundTripAtEveryVersion) {
  for (int32_t v : {0, 1, 99, 100, 101, 102, 103, 104, 105, 106, 107, 108, 250}) {
    SCOPED_TRACE(v);
    const TQuboInstallSet s = FullInstall(v);
    const std::vector<uint8_t> bytes = InstallSetBytes(s);
    EXPECT_EQ(ReadInstallSet(bytes), s);
    const RecordText back = ParseRecordText(InstallToText(s));
    ASSERT_EQ(back.kind, RecordText::Kind::Install);
    EXPECT_EQ(InstallSetBytes(back.install), bytes);
  }
}

TEST(ProjectText, OmittedFieldsTakeDefaults) {
  const RecordText r = ParseRecordText("project 117\n# a comment\ntitle \"T\"  # trailing\nvar int \"x\" 0x10\n");
  EXPECT_EQ(r.project.title, "T");
  EXPECT_EQ(r.project.mediaExtensions, kDefaultMediaExtensions);
  EXPECT_EQ(r.project.writeStatus, 1);
  EXPECT_EQ(r.project.toolbarVisible, 1);
  EXPECT_FALSE(r.project.diskMessage.empty());
  ASSERT_EQ(r.project.initialVars.size(), 1u);
  EXPECT_EQ(r.project.initialVars[0].intValue, 16);
}

TEST(ProjectText, BadLinesNameTheirLine) {
  struct Case {
    const char* text;
    const char* fragment;
  };
  const Case cases[] = {
      {"", "first line"},
      {"title \"x\"\n", "first line"},
      {"project 118\n", "line 1"},
      {"project 117\ncolour 3\n", "line 2: unknown key colour"},
      {"project 108\nmedia \".ogg\"\n", "needs version 109"},
      {"project 117\ntitle x\n", "quoted string"},
      {"project 117\ntitle \"x\n", "unterminated"},
      {"project 117\ntitle \"\\q\"\n", "unknown escape"},
      {"project 117\ntitle \"\\x4\"\n", "two hexadecimal"},
      {"project 117\nscreen 1\n", "takes 2"},
      {"project 117\nscreen 1 99999999999\n", "bad number"},
      {"project 117\nwrite-status 256\n", "bad number"},
      {"project 117\nvar real \"r\" abc\n", "bad real"},
      {"project 117\nvar real \"r\" raw:00\n", "20 hexadecimal"},
      {"project 117\ntitle \"\xF0\x9F\x98\x80\"\n", "code-page-932"},
      {"install 99\ngroup 1 2 3 4294967296\n", "bad number"},
      {"install 101\nfull 1\n", "needs version 103"},
      {"install 1000\n", "bad number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseRecordText(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const QuboError& e) {
      EXPECT_NE(std::string(e.what()).find(c.fragment), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace qubo::authoring
