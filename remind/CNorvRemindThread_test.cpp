#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "remind/CNorvRemind.h"

namespace {

constexpr int kRounds = 400;
constexpr int kDefinitions = 6;

// Definition k of every type in turn; its texts and list sizes all carry k.
CNorvBasePtr<CNorvRemind> MakeDefinition(int k) {
  CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
  remind->m_nType = static_cast<short>(k % 3);
  remind->m_strContent.Format(L"content-%d", k);
  remind->m_strContentType.Format(L"type-%d", k);
  remind->m_dtRemind = COleDateTime(2024, 5, 8 + k, 9, 30, 0);
  remind->m_dtInvalid = COleDateTime(2024, 5, 10 + k, 0, 0, 0);
  remind->m_Repeat.m_nInterval = static_cast<short>(k + 1);
  remind->m_Repeat.m_dtStart = COleDateTime(2024, 5, 1, 0, 0, 0);
  remind->m_Repeat.m_strRemindTime.Format(L"0%d:15", k);
  remind->m_strRemindStyleDef.Format(L"<S k='%d'/>", k);
  for (int i = 0; i <= k; ++i) {
    CNorvBasePtr<CNorvRemindStyleItem> item(new CNorvRemindStyleItem);
    item->m_nDay = i;
    item->m_strTime = L"09:00";
    remind->m_lstStyleItem.push_back(item);
    CNorvBasePtr<CEmItem> receiver(new CEmItem);
    receiver->m_strReceiveID.Format(L"u%d-%d", k, i);
    remind->m_lstReceiver.push_back(receiver);
  }
  return remind;
}

// Each form is rendered under the remind's lock, so each must come from one
// definition; two forms in a row may come from two.
std::vector<std::wstring> RenderEach(CNorvRemind& remind) {
  return {remind.GenInfo_XML().str(), remind.GenInfo_Json().str(), remind.GenListInfo_XML().str(),
          remind.GenListInfo_Json().str()};
}

// Two threads replace the definitions of a shared remind while three render,
// copy out and time it and add and remove its messages. Every reading must be
// one whole definition, no message may be lost, and the run must be clean
// under ThreadSanitizer.
TEST(RemindThreads, ReadersSeeWholeDefinitionsWhileWritersReplaceThem) {
  std::vector<CNorvBasePtr<CNorvRemind>> definitions;
  std::set<std::wstring> renderings;
  CNorvRemind shared;
  shared.m_ID.NewID();
  for (int k = 0; k < kDefinitions; ++k) {
    definitions.push_back(MakeDefinition(k));
    shared.SetInfo(definitions[k]);
    for (const std::wstring& text : RenderEach(shared)) renderings.insert(text);
  }

  std::atomic<int> torn{0};
  std::atomic<int> firings{0};
  std::vector<std::thread> threads;
  for (int w = 1; w <= 2; ++w) {
    threads.emplace_back([&, w] {
      for (int round = 0; round < kRounds; ++round)
        shared.SetInfo(definitions[(round * w) % kDefinitions]);
    });
  }
  for (int r = 0; r < 3; ++r) {
    threads.emplace_back([&] {
      for (int round = 0; round < kRounds; ++round) {
        for (const std::wstring& text : RenderEach(shared)) torn += renderings.count(text) == 0;
        CNorvRemind copy;
        shared.GetInfo(&copy);
        const int k = std::stoi(copy.m_strContent.Mid(8).str());
        torn += copy.m_strContentType != definitions[k]->m_strContentType ||
                copy.m_lstReceiver.size() != definitions[k]->m_lstReceiver.size();
        CString content, contentType;
        shared.GetContent(content, contentType);
        torn += content.Mid(8) != contentType.Mid(5);

        const COleDateTime day(2024, 5, 8 + round % 8, 0, 0, 0);
        COleDateTime time;
        std::list<COleDateTime> times;
        std::list<CNorvBasePtr<CNorvRemindStyleItem>> items;
        shared.GetRemindTime(day.Format(L"%Y-%m-%d"), time);
        shared.GetRemindTime(day.Format(L"%Y-%m-%d"), times);
        shared.GetDayStyleList(round % 4, items);
        firings += shared.NeedRemind(day) + shared.IsInvalid(day) + shared.HasRepeat();

        CNorvBasePtr<CNorvRemindAMMsg> msg = new CNorvRemindAMMsg;
        msg->m_ID.NewID();
        shared.AddAMMsg(msg);
        if (round % 2 == 1) shared.RemoveAMMsg(msg->m_ID);
        std::list<CNorvBasePtr<CNorvRemindAMMsg>> msgs;
        shared.GetAMMsgList(msgs);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(torn, 0);
  EXPECT_GT(firings, 0);
  std::list<CNorvBasePtr<CNorvRemindAMMsg>> msgs;
  shared.GetAMMsgList(msgs);
  EXPECT_EQ(msgs.size(), 3u * kRounds / 2);
}

}  // namespace
