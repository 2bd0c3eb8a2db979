#include "core/base/CNorvCommFun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/base/CNorvXmlDocument.h"
#include "core/base/CNorvXmlNode.h"

namespace {

TEST(CNorvCommFunTest, XmlNodeAndJsonMemberEscapeWhatTheirFormatsRequire) {
  EXPECT_EQ(CNorvCommFun::GenXMLNodeStr(L"Content", L"a&b<c>d'e\"f %s"),
            L"<Content>a&amp;b&lt;c&gt;d&apos;e&quot;f %s</Content>");
  EXPECT_EQ(CNorvCommFun::GenXMLNodeStr(L"Content", L""), L"<Content />");
  CNorvXmlDocument document;
  ASSERT_TRUE(
      CNorvCommFun::ParseXML(CNorvCommFun::GenXMLNodeStr(L"v", L"<&>'\" \x4E2D"), document));
  EXPECT_EQ(document.GetRootElement().GetText(), L"<&>'\" \x4E2D");
}

// A NUL cannot be stored, and a declared encoding is honoured or refused.
TEST(CNorvCommFunTest, ParseRefusesMalformedTextNulAndUnknownEncodings) {
  const std::pair<CString, bool> cases[] = {
      {L"<a>a&#0;b</a>", false},
      {L"<a v='&#x000;'/>", false},
      {CString(L"<a>a\0b</a>", 10), false},
      {L"<?xml version='1.0' encoding='EBCDIC-US'?><a/>", false},
      {L"<?xml version='1.0' encoding=\"ISO-8859-1\"?><a>\x00E9</a>", true},
      {L"<?xml version='1.0' encoding='utf-8'?><a>&#10;&#x20;&#100;</a>", true},
      {L"<a>&#0</a>", false},  // the parser would read it without its ";"
      {L"<a>&#00x;&#x0g;</a>", false},
      {L"", false},
      {L"<a></b>", false},
      {L"<a/><b/>", false},
  };
  // A failed parse leaves no root from an earlier one.
  CNorvXmlDocument document;
  for (const auto& [text, parses] : cases) {
    EXPECT_EQ(CNorvCommFun::ParseXML(text, document), parses) << text.ToUtf8();
    EXPECT_EQ(document.GetRootElement().IsNull(), !parses);
  }

  // JSON escapes as RFC 8259 requires.
  EXPECT_EQ(CNorvCommFun::GenJsonNodeStr(L"Content", CString(L"q\"\\/\n\t\r\b\f\x01\0<\x4E2D", 13)),
            L"\"Content\": \"q\\\"\\\\/\\n\\t\\r\\b\\f\\u0001\\u0000<\x4E2D\"");
  EXPECT_EQ(CNorvCommFun::GenJsonNodeStr(L"Name", L""), L"\"Name\": \"\"");
}

TEST(CNorvCommFunTest, AppPathIsTheFolderOfTheRunningProgram) {
  const std::string folder = CNorvCommFun::GetCurAppPath().ToUtf8();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(folder + "/base_tests")) << folder;
}

// A node keeps its document alive; a null node answers empty to everything.
TEST(CNorvXmlTest, AttributesTellAbsentFromEmptyAndNodesOutliveTheirDocument) {
  CNorvXmlNode root, child;
  {
    CNorvXmlDocument document;
    ASSERT_TRUE(CNorvCommFun::ParseXML(
        L"<Remind Empty='' Name=\"&lt;\x4E2D&amp;\"><c>text</c></Remind>", document));
    root = document.GetRootElement();
    child = root.GetFirstChild();
  }
  CString value = L"untouched";
  EXPECT_FALSE(root.GetAttribute(L"Missing", value) || root.GetAttribute(L"name", value));
  EXPECT_EQ(value, L"untouched");
  EXPECT_TRUE(root.GetAttribute(L"Empty", value) && value.IsEmpty());
  EXPECT_TRUE(root.GetAttribute(L"Name", value));
  EXPECT_EQ(value + child.GetText(), L"<\x4E2D&text");
  CNorvXmlNode none = child.GetFirstChild().GetFirstChild();
  EXPECT_TRUE(none.IsNull() && none.GetNextSibling().IsNull());
  EXPECT_FALSE(none.IsElement() || none.GetAttribute(L"k", value));
  EXPECT_EQ(none.GetName() + none.GetText(), L"");
}

}  // namespace
