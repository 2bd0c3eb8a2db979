#include "remind/CEmItem.h"

#include <gtest/gtest.h>

#include <list>

#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"

namespace {

using ReceiverList = std::list<CNorvBasePtr<CEmItem>>;

bool ParseList(const CString& receivers, ReceiverList& items) {
  CNorvXmlDocument document;
  EXPECT_TRUE(CNorvCommFun::ParseXML(L"<ReceiverList>" + receivers + L"</ReceiverList>", document));
  return CEmItem::ParseEmXML(document.GetRootElement(), items);
}

TEST(CEmItemTest, AppendsReceiversAndSkipsOtherNodes) {
  ReceiverList items;
  ASSERT_TRUE(ParseList(L"<Receiver ID='u0'/>", items));
  ASSERT_TRUE(ParseList(L"text<!-- c --><Other ID='x'/><Receiver Type='3' ID='u1' Name='\x5F20\x4E09'/>"
                        L"<RECEIVER Type='-2' ID='u2' Name=''/>",
                        items));
  CString seen;
  for (const auto& item : items) {
    seen.AppendFormat(L"%d|%s|%s;", item->m_nReceiveType, item->m_strReceiveID, item->m_strReceiveName);
  }
  EXPECT_EQ(seen, L"0|u0|;3|u1|\x5F20\x4E09;-2|u2|;");
}

TEST(CEmItemTest, ReceiverWithoutIdFailsKeepingTheEarlierOnes) {
  for (const wchar_t* bad : {L"<Receiver Type='1' Name='n'/>", L"<Receiver ID=''/>"}) {
    ReceiverList items;
    EXPECT_FALSE(ParseList(CString(L"<Receiver ID='ok'/>") + bad + L"<Receiver ID='after'/>", items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items.front()->m_strReceiveID, L"ok");
  }
}

}  // namespace
