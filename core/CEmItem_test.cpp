#include "core/CEmItem.h"

#include <gtest/gtest.h>

#include <list>

#include "core/CNorvCommFun.h"
#include "core/CNorvXmlDocument.h"

namespace {

using ReceiverList = std::list<CNorvBasePtr<CEmItem>>;

bool ParseList(const wchar_t* xml, ReceiverList& items) {
  CNorvXmlDocument document;
  EXPECT_TRUE(CNorvCommFun::ParseXML(xml, document));
  return CEmItem::ParseEmXML(document.GetRootElement(), items);
}

TEST(CEmItemTest, ReadsReceiversAndSkipsOtherNodes) {
  ReceiverList items;
  ASSERT_TRUE(ParseList(L"<ReceiverList>text<!-- c --><Other ID='x'/>"
                        L"<Receiver Type='3' ID='u1' Name='\x5F20\x4E09'/>"
                        L"<receiver ID='u2'/><RECEIVER Type='70000' ID='u3' Name=''/>"
                        L"</ReceiverList>",
                        items));
  ASSERT_EQ(items.size(), 3u);
  auto it = items.begin();
  EXPECT_EQ((*it)->m_nReceiveType, 3);
  EXPECT_EQ((*it)->m_strReceiveID, L"u1");
  EXPECT_EQ((*it)->m_strReceiveName, L"\x5F20\x4E09");
  ++it;
  EXPECT_EQ((*it)->m_nReceiveType, 0);
  EXPECT_EQ((*it)->m_strReceiveName, L"");
  ++it;
  EXPECT_EQ((*it)->m_nReceiveType, static_cast<short>(70000));
  EXPECT_EQ((*it)->m_strReceiveID, L"u3");
}

TEST(CEmItemTest, AppendsToWhatTheListHolds) {
  ReceiverList items;
  ASSERT_TRUE(ParseList(L"<ReceiverList><Receiver ID='a'/></ReceiverList>", items));
  ASSERT_TRUE(ParseList(L"<ReceiverList><Receiver ID='b'/></ReceiverList>", items));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items.back()->m_strReceiveID, L"b");
}

TEST(CEmItemTest, MissingOrEmptyIdFailsKeepingEarlierReceivers) {
  for (const wchar_t* bad : {L"<Receiver Type='1' Name='n'/>", L"<Receiver ID=''/>"}) {
    ReceiverList items;
    CString xml = CString(L"<ReceiverList><Receiver ID='ok'/>") + bad +
                  L"<Receiver ID='after'/></ReceiverList>";
    EXPECT_FALSE(ParseList(xml.GetString(), items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items.front()->m_strReceiveID, L"ok");
  }
}

TEST(CEmItemTest, WritesEscapedXmlThatParsesBack) {
  CEmItem item;
  item.m_nReceiveType = -2;
  item.m_strReceiveID = L"a'b&c";
  item.m_strReceiveName = L"<\x674E>\"";
  const CString xml = item.GenEmInfo_XML();
  EXPECT_EQ(xml, L"<Receiver Type='-2' ID='a&apos;b&amp;c' Name='&lt;\x674E&gt;&quot;' />");

  ReceiverList items;
  ASSERT_TRUE(ParseList((L"<ReceiverList>" + xml + L"</ReceiverList>").GetString(), items));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items.front()->m_nReceiveType, -2);
  EXPECT_EQ(items.front()->m_strReceiveID, item.m_strReceiveID);
  EXPECT_EQ(items.front()->m_strReceiveName, item.m_strReceiveName);
}

TEST(CEmItemTest, WritesEscapedJson) {
  CEmItem item;
  item.m_nReceiveType = 1;
  item.m_strReceiveID = L"id\"1\\";
  item.m_strReceiveName = L"line\n\x738B";
  EXPECT_EQ(item.GenEmInfo_Json(),
            L"{ \"Type\": \"1\", \"ID\": \"id\\\"1\\\\\", \"Name\": \"line\\n\x738B\" }");
}

}  // namespace
