// XmlDocument: the element index (offsets counted by hand), the cursor walk the reference loaders
// make, child texts with references and CDATA, and every parse error that a document can reach.
#include "foundation/xml_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace fw {
namespace {

void ExpectRecord(const XmlDocument& doc, int32_t index, std::vector<int32_t> expected) {
  const ElementRecord& r = doc.Record(index);
  const std::vector<int32_t> got = {r.tagStart, r.tagEnd, r.closeStart, r.closeEnd,
                                    r.reserved, r.parent, r.firstChild, r.nextSibling};
  EXPECT_EQ(got, expected) << "record " << index;
}

// The text of the first element `name` directly under a wrapping root.
std::string TextOf(const std::string& content, const char* name = "a") {
  XmlDocument doc;
  const std::string text = "<r><" + std::string(name) + ">" + content + "</" + name + "></r>";
  EXPECT_TRUE(doc.SetText(text)) << doc.ErrorText();
  EXPECT_TRUE(doc.FindChild(name));
  return doc.ChildText();
}

TEST(XmlIndex, NestedAndEmptyElementsGetTheirOffsets) {
  XmlDocument doc;
  //            0123456789A
  ASSERT_TRUE(doc.SetText("<a><b/></a>"));
  EXPECT_TRUE(doc.ErrorText().empty());
  ASSERT_EQ(doc.ElementCount(), 2);
  EXPECT_TRUE(doc.HasRoot());
  EXPECT_EQ(doc.Record(0).firstChild, 1);
  ExpectRecord(doc, 1, {0, 2, 7, 10, 0, 0, 2, 0});
  ExpectRecord(doc, 2, {3, 6, 5, 6, 0, 1, 0, 0});
}

TEST(XmlIndex, DeclarationAndCommentBeforeTheRootAreSkipped) {
  const std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- made by hand "
      "-->\n<root><x>1</x><y/></root>";
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText(text)) << doc.ErrorText();
  ASSERT_EQ(doc.ElementCount(), 3);
  const auto at = [&](const char* s) { return static_cast<int32_t>(text.find(s)); };
  ExpectRecord(doc, 1,
               {at("<root>"), at("<root>") + 5, at("</root>"), at("</root>") + 6, 0, 0, 2, 0});
  ExpectRecord(doc, 2, {at("<x>"), at("<x>") + 2, at("</x>"), at("</x>") + 3, 0, 1, 0, 3});
  ExpectRecord(doc, 3, {at("<y/>"), at("<y/>") + 3, at("<y/>") + 2, at("<y/>") + 3, 0, 1, 0, 0});
}

TEST(XmlIndex, NodesBetweenElementsAreNotIndexed) {
  const std::string text =
      "<!DOCTYPE r [ <!ENTITY x \"y>\"> ]><r>text<!-- <b> --><?pi <c>?><![CDATA[<d>]]><e "
      "f='/'/>tail</r>";
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText(text)) << doc.ErrorText();
  ASSERT_EQ(doc.ElementCount(), 2);
  ASSERT_TRUE(doc.FindChild());
  EXPECT_EQ(doc.ChildPos(), 2);
  EXPECT_EQ(doc.Record(2).tagStart, static_cast<int32_t>(text.find("<e ")));
  EXPECT_FALSE(doc.FindChild());
}

TEST(XmlIndex, AStrayClosingBracketInADeclarationDoesNotHideItsEnd) {
  XmlDocument doc;
  EXPECT_TRUE(doc.SetText("<!DOCTYPE a ]><r/>")) << doc.ErrorText();
  EXPECT_EQ(doc.Record(1).tagStart, 14);
}

TEST(XmlIndex, AnythingAfterTheRootIsNotLookedAt) {
  XmlDocument doc;
  EXPECT_TRUE(doc.SetText("<a/> <b></c> <<<'"));
  EXPECT_EQ(doc.ElementCount(), 1);
}

TEST(XmlIndex, AGreaterThanInsideAnAttributeEndsTheTag) {
  // Quotes are not looked at when the end of a start tag is sought.
  EXPECT_EQ(TextOf("t", "a x=\">\""), "\">t");
}

TEST(XmlIndex, TheTextEndsAtItsFirstNul) {
  XmlDocument doc;
  EXPECT_TRUE(doc.SetText(std::string_view("<a/>\0<b", 7)));
  EXPECT_EQ(doc.Text(), "<a/>");
  EXPECT_FALSE(doc.SetText(std::string_view("<a>\0</a>", 8)));
  EXPECT_EQ(doc.ErrorText(), "Element tag not found");
  EXPECT_FALSE(doc.SetText(std::string("<a>\0</a>", 8)));
  EXPECT_EQ(doc.ErrorText(), "Element tag not found");
}

TEST(XmlIndex, GrowsPastItsFirstSizeAndKeepsEveryLink) {
  // 1,000 four-byte elements in a 4,007-byte text: far more than 4007 / 64 + 8 records.
  std::string text = "<r>";
  for (int i = 0; i < 1000; ++i) text += "<a/>";
  text += "</r>";
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText(text));
  ASSERT_EQ(doc.ElementCount(), 1001);
  int count = 0;
  while (doc.FindChild("a")) {
    EXPECT_EQ(doc.Record(doc.ChildPos()).tagStart, 3 + 4 * count);
    ++count;
  }
  EXPECT_EQ(count, 1000);
  ExpectRecord(doc, 1, {0, 2, 4003, 4006, 0, 0, 2, 0});
}

TEST(XmlIndex, DeepNestingCostsNoStack) {
  const int depth = 300000;
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<d>";
  text += "x";
  for (int i = 0; i < depth; ++i) text += "</d>";
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText(text)) << doc.ErrorText();
  ASSERT_EQ(doc.ElementCount(), depth);
  EXPECT_EQ(doc.Record(depth).parent, depth - 1);
  EXPECT_EQ(doc.Record(depth).tagStart, 3 * (depth - 1));
  EXPECT_EQ(doc.Record(1).closeEnd, static_cast<int32_t>(text.size()) - 1);

  // The same depth left open fails cleanly.
  text.resize(static_cast<size_t>(3 * depth));
  EXPECT_FALSE(doc.SetText(text));
  EXPECT_EQ(doc.ErrorText(), "Element tag not found");
  EXPECT_FALSE(doc.HasRoot());
}

TEST(XmlIndex, ANewTextReplacesIndexAndCursor) {
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText("<a><b/><c/></a>"));
  ASSERT_TRUE(doc.FindChild("c"));
  ASSERT_TRUE(doc.EnterChild());
  ASSERT_TRUE(doc.SetText("<z/>"));
  EXPECT_EQ(doc.ParentPos(), 0);
  EXPECT_EQ(doc.CurrentPos(), 0);
  EXPECT_EQ(doc.ChildPos(), 0);
  EXPECT_EQ(doc.ElementCount(), 1);
  EXPECT_FALSE(doc.SetText(nullptr));
  EXPECT_FALSE(doc.HasRoot());
  EXPECT_EQ(doc.ElementCount(), 0);
}

struct ParseErrorCase {
  const char* text;
  const char* message;
};

TEST(XmlParseErrors, EachMessageComesWithItsElementName) {
  const ParseErrorCase cases[] = {
      {"", "Element tag not found"},
      {"no tags at all", "Element tag not found"},
      {"<a>text without end", "Element tag not found"},
      {"<a><", "Abrupt end within tag"},
      {"<a><b/>< \r\n\t", "Abrupt end within tag"},
      {"<'a'>", "Tag starts with quote"},
      {"<a>< \"b\"></a>", "Tag starts with quote"},
      {"<!-- never closed <a/>", "Invalid node"},
      {"<!--><a/>", "Invalid node"},
      {"<?xml version='1.0'", "Invalid node"},
      {"<a><![CDATA[ x </a>", "Invalid node"},
      {"<!DOCTYPE a [ <!ENTITY b 'c'> <a/>", "Invalid node"},
      {"<!DOCTYPE a 'unclosed> <a/>", "Invalid node"},
      {"<a", "End of tag not found"},
      {"<a><b x='1'", "End of tag not found"},
      {"<a></b>", "End tag does not correspond to a"},
      {"<a></A>", "End tag does not correspond to a"},
      {"<a></>", "End tag does not correspond to a"},
      {"<a><b></a></b>", "End tag does not correspond to b"},
      {"<a></a", "End tag not completed for element a"},
      {"<a></", "End tag not completed for element a"},
      {"<long><x></x x='>", "End tag not completed for element x"},
  };
  for (const ParseErrorCase& c : cases) {
    XmlDocument doc;
    EXPECT_FALSE(doc.SetText(c.text)) << c.text;
    EXPECT_EQ(doc.ErrorText(), c.message) << c.text;
    // A failed parse leaves no index behind.
    EXPECT_FALSE(doc.HasRoot()) << c.text;
    EXPECT_EQ(doc.ElementCount(), 0) << c.text;
    EXPECT_FALSE(doc.FindChild()) << c.text;
  }
}

TEST(XmlParseErrors, ACleanParseClearsTheLastMessage) {
  XmlDocument doc;
  ASSERT_FALSE(doc.SetText("<a></b>"));
  ASSERT_FALSE(doc.ErrorText().empty());
  EXPECT_TRUE(doc.SetText("<a></a>"));
  EXPECT_TRUE(doc.ErrorText().empty());
}

TEST(XmlParseErrors, AHugeElementNameIsCutToFitTheMessage) {
  const std::string name(5000, 'n');
  XmlDocument doc;
  ASSERT_FALSE(doc.SetText("<" + name + "></b>"));
  const std::string prefix = "End tag does not correspond to ";
  ASSERT_EQ(doc.ErrorText().size(), 299u);
  EXPECT_EQ(doc.ErrorText(), prefix + std::string(299 - prefix.size(), 'n'));
}

TEST(XmlParseErrors, EndTagsMayCarryBlanksAndAttributes) {
  XmlDocument doc;
  EXPECT_TRUE(doc.SetText("<a>< /a >"));
  EXPECT_TRUE(doc.SetText("<a></a\n x='>' >"));
  EXPECT_EQ(doc.Record(1).closeEnd, 14);
}

TEST(XmlParseErrors, ADocumentWithOnlyAnEndTagHasNoRootButNoError) {
  XmlDocument doc;
  EXPECT_FALSE(doc.SetText("<?xml version='1.0'?></x>"));
  EXPECT_TRUE(doc.ErrorText().empty());
  EXPECT_FALSE(doc.HasRoot());
}

struct TextCase {
  const char* content;
  std::string expected;
};

TEST(XmlChildText, ReferencesAreDecodedAndUnknownOnesKept) {
  const TextCase cases[] = {
      {"x &lt;y&gt; &#x4E2D;", "x <y> \xE4\xB8\xAD"},
      {"&amp;&apos;&quot;", "&'\""},
      {"&amp;lt;", "&lt;"},
      {"&#65;&#x42;&#x6a;", "ABj"},
      {"&#233;", "\xC3\xA9"},
      {"&#x7FF;&#x800;", "\xDF\xBF\xE0\xA0\x80"},
      {"&#xFFFF;", "\xEF\xBF\xBF"},
      {"&#x1F600;", "\xF0\x9F\x98\x80"},
      {"&#0000065;", "A"},             // ";" seven characters after the first digit
      {"&#00000065;", "&#00000065;"},  // eight: out of reach
      {"&foo; &lt &#; &#x; &#X41; &#12a;", "&foo; &lt &#; &#x; &#X41; &#12a;"},
      {"&#0; &#xD800; &#x110000;", "&#0; &#xD800; &#x110000;"},
      {"a & b &", "a & b &"},
      {"  blanks\tkept \n", "  blanks\tkept \n"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(TextOf(c.content), c.expected) << c.content;
}

TEST(XmlChildText, CdataIsTakenRaw) {
  const TextCase cases[] = {
      {"<![CDATA[1<2]]>", "1<2"},
      {" \r\n <![CDATA[&lt;]]> ", "&lt;"},
      {"<![CDATA[]]>", ""},
      {"<![CDATA[a]]>b", "a"},
      {"<![CDATA[x]]]>", "x]"},
      // Not the first thing in the content: the whole content, CDATA markup and all.
      {"t<![CDATA[x]]>", "t<![CDATA[x]]>"},
      {"<!--c-->&amp;", "<!--c-->&"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(TextOf(c.content), c.expected) << c.content;
}

TEST(XmlChildText, ElementsWithChildrenOrNoContentHaveNoText) {
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText("<r><a>t<b/>u</a><e/><f></f><g x='1' /></r>"));
  for (const char* name : {"a", "e", "f", "g"}) {
    ASSERT_TRUE(doc.FindChild(name)) << name;
    EXPECT_EQ(doc.ChildText(), "") << name;
  }
  XmlDocument fresh;
  ASSERT_TRUE(fresh.SetText("<r><a>t</a></r>"));
  EXPECT_EQ(fresh.ChildText(), "");  // no child position yet
}

TEST(XmlChildText, AppendAddsToTheCallersBuffer) {
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText("<r><a>1&amp;2</a><b>3</b></r>"));
  std::string buffer = ">";
  ASSERT_TRUE(doc.FindChild("a"));
  doc.AppendChildText(&buffer);
  ASSERT_TRUE(doc.FindChild("b"));
  doc.AppendChildText(&buffer);
  EXPECT_EQ(buffer, ">1&23");
}

TEST(XmlCursor, NamesMatchExactlyAndWholeTokens) {
  XmlDocument doc;
  ASSERT_TRUE(
      doc.SetText("<r><Sec/><SecurityID/><security/><Security\tkind='x'>s</Security><Last/></r>"));
  ASSERT_TRUE(doc.FindChild("Security"));
  EXPECT_EQ(doc.ChildText(), "s");
  EXPECT_EQ(doc.ChildPos(), 5);

  XmlDocument again;
  // The wanted name ends at a space, "=", "/" or "[".
  for (const char* wanted : {"Security kind", "Security=x", "Security/y", "Security[1]"}) {
    again.SetText(std::string(doc.Text()));
    ASSERT_TRUE(again.FindChild(wanted)) << wanted;
    EXPECT_EQ(again.ChildPos(), 5) << wanted;
  }
  again.SetText(std::string(doc.Text()));
  EXPECT_FALSE(again.FindChild("Securit"));
  EXPECT_FALSE(again.FindChild("SecurityIDs"));
  EXPECT_FALSE(again.FindChild(""));
  ASSERT_TRUE(again.FindChild(nullptr));
  EXPECT_EQ(again.ChildPos(), 2);
}

TEST(XmlCursor, SearchesOnlyGoForward) {
  XmlDocument doc;
  ASSERT_TRUE(
      doc.SetText("<Securities><Security><SecurityID>000001  </SecurityID><Symbol>S</Symbol>"
                  "<SecurityType>1</SecurityType></Security></Securities>"));
  ASSERT_TRUE(doc.FindChild("Security"));
  ASSERT_TRUE(doc.EnterChild());
  ASSERT_TRUE(doc.FindChild("SecurityType"));
  const int32_t at = doc.ChildPos();
  EXPECT_FALSE(doc.FindChild("Symbol"));
  EXPECT_FALSE(doc.FindChild("SecurityID"));
  // A failed search leaves the position where it was.
  EXPECT_EQ(doc.ChildPos(), at);
  EXPECT_EQ(doc.ChildText(), "1");
}

TEST(XmlCursor, FindSiblingWalksTheCurrentLevel) {
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText("<r><a/><b/><a/></r>"));
  ASSERT_TRUE(doc.FindSibling());
  EXPECT_EQ(doc.CurrentPos(), 1);
  EXPECT_FALSE(doc.FindSibling());  // the root has no siblings
  ASSERT_TRUE(doc.FindChild("b"));
  ASSERT_TRUE(doc.EnterChild());
  EXPECT_EQ(doc.CurrentPos(), 3);
  ASSERT_TRUE(doc.FindSibling("a"));
  EXPECT_EQ(doc.CurrentPos(), 4);
  EXPECT_EQ(doc.ChildPos(), 0);
  EXPECT_FALSE(doc.FindSibling("a"));
  EXPECT_EQ(doc.CurrentPos(), 4);
}

TEST(XmlCursor, EnterAndLeaveNeedSomewhereToGo) {
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText("<r><a><b>t</b></a></r>"));
  EXPECT_FALSE(doc.EnterChild());
  EXPECT_FALSE(doc.LeaveToParent());
  ASSERT_TRUE(doc.FindChild("a"));
  EXPECT_EQ(doc.ParentPos(), 0);
  EXPECT_EQ(doc.CurrentPos(), 1);
  EXPECT_EQ(doc.ChildPos(), 2);
  EXPECT_FALSE(doc.LeaveToParent());  // already at the root's level
  ASSERT_TRUE(doc.EnterChild());
  ASSERT_TRUE(doc.FindChild("b"));
  EXPECT_EQ(doc.ChildText(), "t");
  EXPECT_EQ(doc.ParentPos(), 1);
  EXPECT_EQ(doc.CurrentPos(), 2);
  ASSERT_TRUE(doc.LeaveToParent());
  EXPECT_EQ(doc.ParentPos(), 0);
  EXPECT_EQ(doc.CurrentPos(), 1);
  EXPECT_EQ(doc.ChildPos(), 2);
}

// The loaders' pattern over a small securities file: each Security entered, its fields asked for
// in file order, groups entered and left, then on to the next Security.
TEST(XmlCursor, TheLoaderWalkReadsEveryRecord) {
  const std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<Securities>\r\n"
      " <Security>\r\n"
      "  <SecurityID>000001  </SecurityID>\r\n"
      "  <Symbol>\xE5\xB9\xB3\xE5\xAE\x89\xE9\x93\xB6\xE8\xA1\x8C</Symbol>\r\n"
      "  <SecurityType>1</SecurityType>\r\n"
      "  <SecurityStatus><Status>1</Status><Status>8</Status></SecurityStatus>\r\n"
      "  <StockParams><IndustryClassification>J66</IndustryClassification></StockParams>\r\n"
      "  <PriceCheckMode>0</PriceCheckMode>\r\n"
      " </Security>\r\n"
      " <Security>\r\n"
      "  <Symbol>NoID</Symbol>\r\n"
      " </Security>\r\n"
      " <Security>\r\n"
      "  <SecurityID>000002  </SecurityID>\r\n"
      "  <SecurityType>2</SecurityType>\r\n"
      "  <Symbol>Late</Symbol>\r\n"
      "  <BondParams><CouponRate>3.5</CouponRate></BondParams>\r\n"
      " </Security>\r\n"
      "</Securities>\r\n";
  test::TempDir dir;
  const std::string path = dir.File("securities_20240305.xml");
  test::WriteFileBytes(path, text);

  XmlDocument doc;
  ASSERT_EQ(doc.OpenFile(path), 0) << doc.ErrorText();
  std::vector<std::string> rows;
  while (doc.FindChild("Security")) {
    ASSERT_TRUE(doc.EnterChild());
    std::string row;
    if (doc.FindChild("SecurityID")) {
      row += doc.ChildText() + "|";
      if (doc.FindChild("Symbol")) row += doc.ChildText();
      row += "|";
      if (doc.FindChild("SecurityType")) row += doc.ChildText();
      row += "|";
      if (doc.FindChild("SecurityStatus")) {
        ASSERT_TRUE(doc.EnterChild());
        while (doc.FindChild("Status")) row += doc.ChildText() + ",";
        ASSERT_TRUE(doc.LeaveToParent());
      }
      row += "|";
      if (doc.FindChild("StockParams")) {
        ASSERT_TRUE(doc.EnterChild());
        if (doc.FindChild("IndustryClassification")) row += doc.ChildText();
        ASSERT_TRUE(doc.LeaveToParent());
      }
      row += "|";
      if (doc.FindChild("BondParams")) {
        ASSERT_TRUE(doc.EnterChild());
        if (doc.FindChild("CouponRate")) row += doc.ChildText();
        ASSERT_TRUE(doc.LeaveToParent());
      }
      row += "|";
      if (doc.FindChild("PriceCheckMode")) row += doc.ChildText();
    }
    rows.push_back(row);
    ASSERT_TRUE(doc.LeaveToParent());
  }
  const std::vector<std::string> expected = {
      "000001  |\xE5\xB9\xB3\xE5\xAE\x89\xE9\x93\xB6\xE8\xA1\x8C|1|1,8,|J66||0", "",
      "000002  |Late||||3.5|",  // SecurityType stands before Symbol: never seen
  };
  EXPECT_EQ(rows, expected);
}

TEST(XmlOpenFile, ResultsForEachKindOfFailure) {
  test::TempDir dir;
  XmlDocument doc;
  EXPECT_EQ(doc.OpenFile(nullptr), -1);
  EXPECT_EQ(doc.OpenFile(""), -1);
  EXPECT_EQ(doc.OpenFile(dir.File("missing.xml")), -2);
  EXPECT_EQ(doc.OpenFile(dir.Prefix()), -2);  // a folder

  test::WriteFileBytes(dir.File("empty.xml"), "");
  EXPECT_EQ(doc.OpenFile(dir.File("empty.xml")), -2);

  test::WriteFileBytes(dir.File("bad.xml"), "<a></b>");
  EXPECT_EQ(doc.OpenFile(dir.File("bad.xml")), -2);
  EXPECT_EQ(doc.ErrorText(), "End tag does not correspond to a");

  test::WriteFileBytes(dir.File("noroot.xml"), "<?xml version='1.0'?>\n</Securities>\n");
  EXPECT_EQ(doc.OpenFile(dir.File("noroot.xml")), -3);

  test::WriteFileBytes(dir.File("good.xml"), "<r><a>\r\n</a></r>");
  ASSERT_TRUE(doc.SetText("<x><y/></x>"));
  ASSERT_TRUE(doc.FindChild("y"));
  EXPECT_EQ(doc.OpenFile(dir.File("good.xml")), 0);
  EXPECT_EQ(doc.CurrentPos(), 0);
  EXPECT_EQ(doc.ChildPos(), 0);
  ASSERT_TRUE(doc.FindChild("a"));
  EXPECT_EQ(doc.ChildText(), "\r\n");  // read byte for byte, no line-end translation
}

}  // namespace
}  // namespace fw
