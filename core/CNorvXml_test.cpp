#include <gtest/gtest.h>

#include <string>

#include "core/CNorvCommFun.h"
#include "core/CNorvXmlDocument.h"
#include "core/CNorvXmlNode.h"

namespace {

CNorvXmlNode ParseRoot(const wchar_t* text) {
  CNorvXmlDocument document;
  EXPECT_TRUE(CNorvCommFun::ParseXML(text, document)) << CString(text).ToUtf8();
  return document.GetRootElement();
}

TEST(CNorvXmlTest, MalformedTextIsRejectedAndLeavesNoRoot) {
  for (const wchar_t* text : {L"", L"   ", L"<a>", L"<a></b>",
                              L"<a/><b/>", L"not xml"}) {
    CNorvXmlDocument document;
    EXPECT_FALSE(CNorvCommFun::ParseXML(text, document)) << CString(text).ToUtf8();
    EXPECT_TRUE(document.GetRootElement().IsNull());
  }
}

TEST(CNorvXmlTest, FailedParseClearsAnEarlierDocument) {
  CNorvXmlDocument document;
  ASSERT_TRUE(CNorvCommFun::ParseXML(L"<a/>", document));
  EXPECT_FALSE(CNorvCommFun::ParseXML(L"<a>", document));
  EXPECT_TRUE(document.GetRootElement().IsNull());
}

TEST(CNorvXmlTest, AttributesTellAbsentFromEmpty) {
  CNorvXmlNode root = ParseRoot(L"<Remind Empty='' Name=\"&lt;\x4E2D&amp;\"/>");
  CString value = L"untouched";
  EXPECT_FALSE(root.GetAttribute(L"Missing", value));
  EXPECT_EQ(value, L"untouched");
  EXPECT_TRUE(root.GetAttribute(L"Empty", value));
  EXPECT_EQ(value, L"");
  EXPECT_TRUE(root.GetAttribute(L"Name", value));
  EXPECT_EQ(value, L"<\x4E2D&");
  EXPECT_FALSE(root.GetAttribute(L"name", value));  // names are case-sensitive
}

TEST(CNorvXmlTest, WalksEveryNodeKindInOrder) {
  CNorvXmlNode root = ParseRoot(L"<r>lead<!-- note --><a>1</a><![CDATA[<raw>]]><b/></r>");
  EXPECT_TRUE(root.IsElement());
  EXPECT_EQ(root.GetName(), L"r");
  std::wstring seen;
  for (CNorvXmlNode n = root.GetFirstChild(); !n.IsNull(); n = n.GetNextSibling()) {
    seen += n.IsElement() ? L"E:" + n.GetName().str() : L"N:" + n.GetText().str();
    seen += L";";
  }
  EXPECT_EQ(seen, L"N:lead;N:;E:a;N:<raw>;E:b;");
  EXPECT_TRUE(root.GetFirstChild().GetFirstChild().IsNull());
}

TEST(CNorvXmlTest, TextConcatenatesAllDescendantTextAndCdata) {
  CNorvXmlNode root = ParseRoot(L"<r>a<x>b<y>c</y><!--skip--></x><![CDATA[d&]]>e&amp;</r>");
  EXPECT_EQ(root.GetText(), L"abcd&e&");
  EXPECT_EQ(root.GetFirstChild().GetNextSibling().GetText(), L"bc");
  EXPECT_EQ(ParseRoot(L"<r/>").GetText(), L"");
}

TEST(CNorvXmlTest, NodeKeepsItsDocumentAlive) {
  CNorvXmlNode child;
  {
    CNorvXmlDocument document;
    ASSERT_TRUE(CNorvCommFun::ParseXML(L"<r><c k='v'>text</c></r>", document));
    child = document.GetRootElement().GetFirstChild();
  }
  CString value;
  EXPECT_TRUE(child.GetAttribute(L"k", value));
  EXPECT_EQ(value, L"v");
  EXPECT_EQ(child.GetText(), L"text");
}

TEST(CNorvXmlTest, NullNodeAnswersEmpty) {
  CNorvXmlNode node;
  CString value;
  EXPECT_TRUE(node.IsNull());
  EXPECT_FALSE(node.IsElement());
  EXPECT_EQ(node.GetName(), L"");
  EXPECT_EQ(node.GetText(), L"");
  EXPECT_FALSE(node.GetAttribute(L"a", value));
  EXPECT_TRUE(node.GetFirstChild().IsNull());
  EXPECT_TRUE(node.GetNextSibling().IsNull());
}

TEST(CNorvXmlTest, DeepNestingParsesAndReadsWithoutExhaustingTheStack) {
  const int depth = 100000;
  std::wstring text;
  for (int i = 0; i < depth; ++i) text += L"<n>";
  text += L"deep";
  for (int i = 0; i < depth; ++i) text += L"</n>";
  CNorvXmlNode root = ParseRoot(text.c_str());
  EXPECT_EQ(root.GetText(), L"deep");
}

TEST(CNorvXmlTest, HugeTextIsReadWhole) {
  std::wstring body(10 * 1024 * 1024, L'x');
  body[0] = L'\x4E2D';
  CNorvXmlNode root = ParseRoot((L"<r>" + body + L"</r>").c_str());
  EXPECT_EQ(root.GetText().str(), body);
}

TEST(CNorvCommFunTest, XmlNodeEscapesMarkupAndCollapsesWhenEmpty) {
  EXPECT_EQ(CNorvCommFun::GenXMLNodeStr(L"Content", L"a&b<c>d'e\"f"),
            L"<Content>a&amp;b&lt;c&gt;d&apos;e&quot;f</Content>");
  EXPECT_EQ(CNorvCommFun::GenXMLNodeStr(L"Content", L""), L"<Content />");
  EXPECT_EQ(CNorvCommFun::GenXMLNodeStr(L"Name", L"\x4E2D\x6587 %s"), L"<Name>\x4E2D\x6587 %s</Name>");
}

TEST(CNorvCommFunTest, EscapedXmlReadsBackAsTheOriginal) {
  const CString original = L"<&>'\" x";
  CNorvXmlNode root = ParseRoot(CNorvCommFun::GenXMLNodeStr(L"v", original).GetString());
  EXPECT_EQ(root.GetText(), original);
}

TEST(CNorvCommFunTest, JsonMemberEscapesAsRfc8259Requires) {
  EXPECT_EQ(CNorvCommFun::GenJsonNodeStr(L"Content", L"q\"b\\s/"), L"\"Content\": \"q\\\"b\\\\s/\"");
  EXPECT_EQ(CNorvCommFun::EscapeJson(L"\n\t\r\b\f"), L"\\n\\t\\r\\b\\f");
  EXPECT_EQ(CNorvCommFun::EscapeJson(CString(L"\x01\x1f", 2)), L"\\u0001\\u001F");
  EXPECT_EQ(CNorvCommFun::EscapeJson(CString(L"a\0b", 3)), L"a\\u0000b");
  EXPECT_EQ(CNorvCommFun::EscapeJson(L"\x4E2D\x7F<>&'"), L"\x4E2D\x7F<>&'");
  EXPECT_EQ(CNorvCommFun::GenJsonNodeStr(L"Name", L""), L"\"Name\": \"\"");
}

}  // namespace
