#include "message/CNorvRemindAMMsg.h"

#include <gtest/gtest.h>

#include "core/CNorvBasePtr.h"

namespace {

TEST(RemindMessageTest, ANewInstantMessageIsEmptyAndDueAtTheEpoch) {
  CNorvBasePtr<CNorvRemindAMMsg> message(new CNorvRemindAMMsg);
  EXPECT_FALSE(message->m_ID.IsValid());
  EXPECT_FALSE(message->m_RemindID.IsValid());
  EXPECT_TRUE(message->m_strContent.IsEmpty());
  EXPECT_TRUE(message->m_strContentType.IsEmpty());
  EXPECT_TRUE(message->m_strReceiver.IsEmpty());
  EXPECT_TRUE(message->m_strReceiverName.IsEmpty());
  COleDateTime time = message->GetRemindTime();
  EXPECT_EQ(time.GetStatus(), COleDateTime::valid);
  EXPECT_EQ(time.m_dt, 0.0);
  EXPECT_EQ(time.Format(L"%Y-%m-%d %H:%M:%S"), L"1899-12-30 00:00:00");
}

}  // namespace
