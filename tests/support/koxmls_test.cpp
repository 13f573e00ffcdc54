#include "support/koxmls.h"

#include <gtest/gtest.h>

#include "support/encoding.h"
#include "support/errors.h"

namespace qubo {
namespace {

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\r\n";
// "表" is 0x95 0x5C: its trail byte is a backslash.
const std::string kHyo = "\x95\x5C";

std::string Save(const TKoXmlElement& e) {
  TKoMemoryStream s;
  e.SaveToStream(s);
  return std::string(s.Bytes().begin(), s.Bytes().end());
}

void Load(TKoXmlElement& e, const std::string& text) {
  TKoMemoryStream s(std::vector<uint8_t>(text.begin(), text.end()));
  e.LoadFromStream(s);
}

std::string LoadError(const std::string& text) {
  TKoXml doc;
  try {
    Load(doc, text);
  } catch (const FormatError& e) {
    return Cp932ToUtf8(e.what());
  }
  return "(loaded)";
}

TEST(Xml, WritesTheDocumentFormLineByLine) {
  TKoXml doc;
  doc.SetName("Frames");
  doc.AddAttrInt("Count", -1);
  TKoXmlElement* frame = doc.AddChild("Frame");
  frame->AddAttr("Name", "a");
  frame->AddChildText("Layer", "x");
  doc.AddChild("Nothing");  // no attributes, text or children: not written
  doc.AddChildText("Tab", "\t");
  EXPECT_EQ(Save(doc), kDecl +
                           "<Frames Count=\"-1\">\r\n"
                           "  <Frame Name=\"a\">\r\n"
                           "    <Layer>x</Layer>\r\n"
                           "  </Frame>\r\n"
                           "  <Tab>&#9;</Tab>\r\n"
                           "</Frames>\r\n");
  TKoXmlElement empty;
  empty.SetName("E");
  EXPECT_EQ(Save(empty), "");
  empty.AddAttrByte("B", 200);
  EXPECT_EQ(Save(empty), "<E B=\"200\" />\r\n");
}

TEST(Xml, TextAndValuesRoundTrip) {
  const std::string nasty = "a&b<c>d\"e\tf\r\ng" + kHyo + "<";
  TKoXml doc;
  doc.SetName("Root");
  doc.AddAttr("v", nasty);
  doc.AddChildText("T", nasty)->AddAttr("w", kHyo + "\"");
  const std::string saved = Save(doc);
  // The trail byte of 表 is copied, not escaped, and CR LF inside text never breaks a line.
  EXPECT_NE(saved.find(kHyo + "&lt;"), std::string::npos);

  TKoXml back;
  Load(back, saved);
  EXPECT_TRUE(back.NameIs("root"));
  EXPECT_EQ(back.AttrStr("V", ""), nasty);
  ASSERT_EQ(back.ChildCount(), 1);
  EXPECT_EQ(back.Child(0)->Text(), nasty);
  EXPECT_EQ(back.Child(0)->AttrStr("w", ""), kHyo + "\"");
  EXPECT_EQ(back.Child(0)->Parent(), &back);
  EXPECT_EQ(back.Child(0)->Document(), &back);
  EXPECT_EQ(back.Child(0)->Depth(), 1);
}

TEST(Xml, UnescapesReferencesWithinRange) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"&#9;", "\t"},
      {"&#65;&#33088;", "A\x81\x40"},   // 256 and above: two bytes, high then low
      {"&#0;", "&#0;"},                 // out of range: kept as written
      {"&#65536;", "&#65536;"},
      {"&#99999999999999999999;", "&#99999999999999999999;"},
      {"&#12", "&#12"},                 // no ';'
      {"&#;", "&#;"},
      {"&amp;lt;", "&lt;"},             // entities in the order gt, lt, quot, amp
      {"&#38;lt;", "<"},                // numeric references come first
      {"&quot;&gt;&lt;", "\"><"},
  };
  for (const auto& c : cases) EXPECT_EQ(XmlUnescape(c.in), c.out) << c.in;
}

TEST(Xml, TokenizerHonoursQuotesTrailBytesAndLineRules) {
  TKoXmlTags tags;
  // '>' inside quotes does not end the tag; text before the first tag of a line is dropped,
  // and so is a tag left open at the end of a line.
  tags.Tokenize("junk<a x=\"1>2\">t1<b/>t2\r\n<c y=\"3\"\n</a>");
  ASSERT_EQ(tags.Count(), 5);
  EXPECT_EQ(tags[0].Text(), "<a x=\"1>2\">");
  EXPECT_EQ(tags[0].Name(), "a");
  ASSERT_EQ(tags[0].Attrs().size(), 1u);
  EXPECT_EQ(tags[0].Attrs()[0].value, "1>2");
  EXPECT_EQ(tags[1].Text(), "t1");
  EXPECT_TRUE(tags[2].IsClosing());
  EXPECT_EQ(tags[3].Text(), "t2");
  EXPECT_EQ(tags[4].Name(), "a");
  EXPECT_TRUE(tags[4].IsClosing());

  // A '<' or '>' that is a trail byte is not markup (0x81 0x3E does not exist in the code
  // page, but a lead byte swallows the next byte whatever it is).
  tags.Tokenize("<a>\x81<\x81></a>");
  ASSERT_EQ(tags.Count(), 3);
  EXPECT_EQ(tags[1].Text(), "\x81<\x81>");
}

TEST(Xml, AttributeScanStopsAtTheFirstBrokenAttribute) {
  struct Case {
    std::string tag;
    size_t count;
  } cases[] = {
      {"<a x=\"1\" y=\"2\">", 2},
      {"<a x=\"1\" y>", 1},          // no '='
      {"<a x=\"1\" y=\"2>", 1},      // no closing quote
      {"<a x=\"1\" y=>", 1},         // no value
      {"<a x=\"1\"/>", 1},
      {"<a>", 0},
  };
  for (const auto& c : cases) {
    TKoXmlTag t(c.tag);
    EXPECT_EQ(t.Attrs().size(), c.count) << c.tag;
    EXPECT_EQ(t.Name(), "a") << c.tag;
  }
}

TEST(Xml, EmptyTagNamedLikeItsParentEndsTheParent) {
  TKoXml doc;
  Load(doc, kDecl + "<r>\r\n<a>one\r\n<a/>\r\n<b>two</b>\r\n</a>\r\n</r>\r\n");
  // <a/> ends the outer <a>; <b> becomes a child of <r>, and the stray </a> an empty child.
  ASSERT_EQ(doc.ChildCount(), 3);
  EXPECT_EQ(doc.Child(0)->Text(), "one");
  EXPECT_EQ(doc.Child(0)->ChildCount(), 0);
  EXPECT_EQ(doc.ChildStr("B", "?"), "two");
  EXPECT_EQ(doc.Child(2)->Name(), "a");
}

TEST(Xml, ReadsTypedValuesWithDefaults) {
  TKoXml doc;
  Load(doc, kDecl + "<r n=\"42\" h=\"$FF\" m=\"-7\" bad=\"12x\" big=\"99999999999\" t=\"1\" f=\"true\">"
                    "<c>5</c><d>1</d></r>");
  EXPECT_EQ(doc.AttrInt("N", 0), 42);
  EXPECT_EQ(doc.AttrInt("h", 0), 255);
  EXPECT_EQ(doc.AttrInt("m", 0), -7);
  EXPECT_EQ(doc.AttrInt("bad", 3), 3);
  EXPECT_EQ(doc.AttrInt("big", 3), 3);
  EXPECT_EQ(doc.AttrInt("missing", 9), 9);
  EXPECT_TRUE(doc.AttrBool("t", false));
  EXPECT_FALSE(doc.AttrBool("f", true));  // only "1" is true
  EXPECT_EQ(doc.ChildInt("C", 0), 5);
  EXPECT_TRUE(doc.ChildBool("d", false));
  EXPECT_EQ(doc.ChildStr("none", "def"), "def");
  EXPECT_EQ(doc.FindChild("none"), nullptr);
  EXPECT_EQ(doc.Child(5), nullptr);
  EXPECT_EQ(doc.Attr(-1), nullptr);

  doc.strict = true;
  try {
    doc.ChildInt("none", 0);
    FAIL();
  } catch (const FormatError& e) {
    EXPECT_EQ(Cp932ToUtf8(e.what()), "<none>がありません");
  }
  EXPECT_THROW(doc.FindChild("none"), FormatError);
}

TEST(Xml, DeclarationIsChecked) {
  EXPECT_EQ(LoadError(""), "未対応のファイル形式です");
  EXPECT_EQ(LoadError("<r/>"), "未対応のファイル形式です");
  EXPECT_EQ(LoadError("<?xml version=\"1.0\"?><r/>"), "未対応のファイル形式です");
  EXPECT_EQ(LoadError("<?xml version=\"1.1\" encoding=\"Shift_JIS\"?><r/>"), "未対応のXML形式です");
  EXPECT_EQ(LoadError("<?xml version=\"1.0\" encoding=\"utf-8\"?><r/>"), "未対応の文字セットです");
  EXPECT_EQ(LoadError("<?xml VERSION=\"1.0\" Encoding=\"SHIFT-JIS\"?>"), "(loaded)");
}

TEST(Xml, ElementWithoutDeclarationAndReloadClears) {
  TKoXmlElement e;
  Load(e, "text only\r\n  <x a=\"1\">hi</x>");
  EXPECT_EQ(e.Name(), "x");
  EXPECT_EQ(e.Text(), "hi");
  Load(e, "no tags at all");
  EXPECT_EQ(e.Name(), "");
  EXPECT_EQ(e.AttrCount(), 0);
}

TEST(Xml, DeepNestingIsRefusedNotOverflowed) {
  std::string deep = kDecl;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  EXPECT_EQ(LoadError(deep), "XMLの階層が深すぎます");

  std::string ok = kDecl;
  for (int i = 0; i < kXmlMaxDepth; ++i) ok += "<a" + std::to_string(i) + ">";
  EXPECT_EQ(LoadError(ok), "(loaded)");
}

TEST(Xml, ProgressIsReported) {
  TKoXml doc;
  int calls = 0;
  doc.progress = [&](const TKoXmlTags&, int index, int last) {
    EXPECT_LE(index, last);
    ++calls;
  };
  Load(doc, kDecl + "<r>\r\n<c>1</c>\r\n</r>\r\n");
  // Four lines while tokenizing, then the tokens after the root tag.
  EXPECT_EQ(calls, 4 + 4);
}

}  // namespace
}  // namespace qubo
