#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "remind/CNorvRemind.h"

namespace {

constexpr int kRounds = 400;

CNorvBasePtr<CNorvRemind> MakeDefinition(int k) {
  CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
  remind->m_nType = static_cast<short>(k % 3);
  remind->m_nSendFlag = static_cast<short>(k + 1);
  remind->m_strContent.Format(L"content-%d", k);
  remind->m_strContentType.Format(L"type-%d", k);
  remind->m_dtRemind = COleDateTime(2024, 5, 8 + k, 9, 30, 0);
  remind->m_dtInvalid = COleDateTime(2024, 5, 10 + k, 0, 0, 0);
  remind->m_Repeat.m_nRegularType = 0;
  remind->m_Repeat.m_nInterval = static_cast<short>(k + 1);
  remind->m_Repeat.m_nRegularRange = 1;
  remind->m_Repeat.m_nNum = k;
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
  return {remind.GenInfo_XML().str(), remind.GenInfo_Json().str(),
          remind.GenListInfo_XML().str(), remind.GenListInfo_Json().str()};
}

// Several threads render, copy out and time the same reminds while two others
// replace their definitions. Every reading must be one whole definition (no
// mix of two), and the run must be clean under ThreadSanitizer.
TEST(RemindThreadTest, ReadersSeeWholeDefinitionsWhileWritersReplaceThem) {
  constexpr int kDefinitions = 6;
  std::vector<CNorvBasePtr<CNorvRemind>> definitions;
  for (int k = 0; k < kDefinitions; ++k) definitions.push_back(MakeDefinition(k));

  constexpr int kShared = 3;
  std::vector<CNorvBasePtr<CNorvRemind>> shared;
  std::vector<std::set<std::wstring>> renderings(kShared);
  for (int i = 0; i < kShared; ++i) {
    shared.push_back(new CNorvRemind);
    shared[i]->m_ID.NewID();
    shared[i]->m_strFrom.Format(L"from-%d", i);
    for (int k = 0; k < kDefinitions; ++k) {
      CNorvRemind twin;
      twin.m_ID = shared[i]->m_ID;
      twin.m_strFrom = shared[i]->m_strFrom;
      twin.SetInfo(definitions[k]);
      for (const std::wstring& text : RenderEach(twin)) renderings[i].insert(text);
    }
    shared[i]->SetInfo(definitions[i]);
  }

  std::atomic<int> torn{0};
  std::atomic<int> firings{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < 2; ++w) {
    threads.emplace_back([&, w] {
      for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < kShared; ++i) {
          shared[i]->SetInfo(definitions[(round * (w + 1) + i) % kDefinitions]);
        }
      }
    });
  }
  for (int r = 0; r < 2; ++r) {
    threads.emplace_back([&] {
      for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < kShared; ++i) {
          for (const std::wstring& text : RenderEach(*shared[i])) {
            if (renderings[i].count(text) == 0) ++torn;
          }
          if (shared[i]->GenReceiverInfo_XML().IsEmpty()) ++torn;
        }
      }
    });
  }
  threads.emplace_back([&] {
    for (int round = 0; round < kRounds; ++round) {
      for (int i = 0; i < kShared; ++i) {
        CNorvRemind copy;
        shared[i]->GetInfo(&copy);
        int k = std::stoi(copy.m_strContent.Mid(8).str());
        if (copy.m_strContentType != definitions[k]->m_strContentType ||
            copy.m_nType != definitions[k]->m_nType ||
            copy.m_lstReceiver.size() != definitions[k]->m_lstReceiver.size() ||
            !(copy.m_dtInvalid == definitions[k]->m_dtInvalid)) {
          ++torn;
        }
      }
    }
  });
  threads.emplace_back([&] {
    for (int round = 0; round < kRounds; ++round) {
      for (int i = 0; i < kShared; ++i) {
        CNorvRemind& remind = *shared[i];
        COleDateTime day(2024, 5, 8 + round % 8, 0, 0, 0);
        CString dayText = day.Format(L"%Y-%m-%d");
        firings += remind.NeedRemind(day) ? 1 : 0;
        firings += remind.IsInvalid(day) ? 1 : 0;
        COleDateTime time;
        remind.GetRemindTime(dayText, time);
        std::list<COleDateTime> times;
        remind.GetRemindTime(dayText, times);
        std::list<CNorvBasePtr<CNorvRemindStyleItem>> items;
        remind.GetDayStyleList(round % 4, items);
        firings += remind.ExistDayStyle(round % 4) ? 1 : 0;
        std::list<CNorvBasePtr<CEmItem>> receivers;
        remind.GetReceiverList(receivers);
        if (receivers.empty()) ++torn;
        CString content, contentType;
        remind.GetContent(content, contentType);
        if (content.Mid(8) != contentType.Mid(5)) ++torn;
        firings += remind.HasRepeat() + remind.HasAMFlag() + remind.GetState();
      }
    }
  });
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(torn, 0);
  EXPECT_GT(firings, 0);
}

}  // namespace
