#include <gtest/gtest.h>

#include <string>

#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"
#include "core/base/CNorvXmlNode.h"

namespace {

CNorvXmlNode ParseRoot(const CString& text) {
  CNorvXmlDocument document;
  EXPECT_TRUE(CNorvCommFun::ParseXML(text, document)) << text.ToUtf8();
  return document.GetRootElement();
}

TEST(CNorvXmlTest, AttributesTellAbsentFromEmpty) {
  CNorvXmlNode root = ParseRoot(L"<Remind Empty='' Name=\"&lt;\x4E2D&amp;\"/>");
  CString value = L"untouched";
  EXPECT_FALSE(root.GetAttribute(L"Missing", value));
  EXPECT_FALSE(root.GetAttribute(L"name", value));
  EXPECT_EQ(value, L"untouched");
  EXPECT_TRUE(root.GetAttribute(L"Empty", value));
  EXPECT_EQ(value, L"");
  EXPECT_TRUE(root.GetAttribute(L"Name", value));
  EXPECT_EQ(value, L"<\x4E2D&");
}

TEST(CNorvXmlTest, NodeOutlivesItsDocumentAndNullNodeAnswersEmpty) {
  CNorvXmlNode child;
  {
    CNorvXmlDocument document;
    ASSERT_TRUE(CNorvCommFun::ParseXML(L"<r><c k='v'>text</c></r>", document));
    child = document.GetRootElement().GetFirstChild();
  }
  CString value;
  EXPECT_TRUE(child.GetAttribute(L"k", value));
  EXPECT_EQ(child.GetText(), L"text");

  CNorvXmlNode none = child.GetFirstChild().GetFirstChild();
  EXPECT_TRUE(none.IsNull());
  EXPECT_FALSE(none.IsElement() || none.GetAttribute(L"k", value));
  EXPECT_EQ(none.GetName() + none.GetText(), L"");
  EXPECT_TRUE(none.GetNextSibling().IsNull());
}

}  // namespace
