#include "remind/CNorvRemind.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"

namespace {

COleDateTime At(int year, int month, int day, int hour = 0, int minute = 0) {
  return COleDateTime(year, month, day, hour, minute, 0);
}

// 30 February does not exist: the value is invalid.
const COleDateTime kInvalid = At(2024, 2, 30);

CNorvBasePtr<CNorvRemindStyleItem> MakeItem(int day, const wchar_t* time) {
  CNorvBasePtr<CNorvRemindStyleItem> item(new CNorvRemindStyleItem);
  item->m_nDay = day;
  item->m_strTime = time;
  return item;
}

void AddReceiver(CNorvRemind& remind, short type, const wchar_t* id, const wchar_t* name = L"") {
  CNorvBasePtr<CEmItem> receiver(new CEmItem);
  receiver->m_nReceiveType = type;
  receiver->m_strReceiveID = id;
  receiver->m_strReceiveName = name;
  remind.m_lstReceiver.push_back(receiver);
}

// What the copies carry, in one line; the repeat by its own text.
std::wstring Definition(CNorvRemind& remind) {
  CString text;
  text.Format(
      L"state=%d type=%d flag=%d remind=%s invalid=%s content=%s/%s style=%s items=%d "
      L"receivers=%d %s",
      remind.m_nState, remind.m_nType, remind.m_nSendFlag,
      remind.m_dtRemind.Format(L"%Y-%m-%d %H:%M:%S"), remind.m_dtInvalid.Format(L"%Y-%m-%d"),
      remind.m_strContent, remind.m_strContentType, remind.m_strRemindStyleDef,
      static_cast<int>(remind.m_lstStyleItem.size()), static_cast<int>(remind.m_lstReceiver.size()),
      remind.m_Repeat.GenInfo_XML());
  return text.str();
}

// A weekly remind with every copied field set, and an identity of its own.
void MakeSource(CNorvRemind& remind) {
  remind.m_nState = 1;
  remind.m_nType = CNorvRemind::kPeriodic;
  remind.m_Repeat.m_nRegularType = 1;
  remind.m_Repeat.m_nRegularValue = 124;
  remind.m_Repeat.m_strRemindTime = L"08:30";
  remind.m_Repeat.m_dtStart = At(2024, 1, 1);
  remind.m_dtInvalid = At(2024, 6, 1);
  remind.m_dtRemind = At(2024, 5, 1, 9);
  remind.m_nSendFlag = 4;
  remind.m_strContent = L"a<b";
  remind.m_strContentType = L"Text/Html";
  remind.m_strRemindStyleDef = L"<S/>";
  remind.m_lstStyleItem = {MakeItem(1, L"09:00"), MakeItem(0, L"08:00")};
  AddReceiver(remind, 0, L"u1", L"N'1");
  AddReceiver(remind, 2, L"u2");
  remind.m_ID.NewID();
  remind.m_strFrom = L"source from";
  remind.m_strCreatorID = L"source creator";
}

const wchar_t kSourceDefinition[] =
    L"state=1 type=1 flag=4 remind=2024-05-01 09:00:00 invalid=2024-06-01 content=a<b/Text/Html "
    L"style=<S/> items=2 receivers=2 <Repeat RemindTime='08:30' RegularType='1' Interval='1' "
    L"RagularValue='124' RegularRange='0' DTStart='2024-01-01' />";

// The copies share the lists' objects; the identity and the people stay.
TEST(RemindRecord, ANewRemindTheAccessorsAndTheCopies) {
  const COleDateTime before = COleDateTime::GetCurrentTime();
  CNorvBasePtr<CNorvRemind> source(new CNorvRemind);
  COleDateTime created;
  ASSERT_TRUE(created.ParseDateTime(source->m_strCreateTime)) << source->m_strCreateTime.ToUtf8();
  EXPECT_TRUE(before <= created && created <= COleDateTime::GetCurrentTime());
  EXPECT_EQ(Definition(*source),
            L"state=0 type=0 flag=1 remind= invalid= content=/Text/Text style= items=0 receivers=0 "
            L"<Repeat RemindTime='' RegularType='0' Interval='1' RagularValue='0' "
            L"RegularRange='0' DTStart='' />");
  EXPECT_FALSE(source->m_ID.IsValid() || source->HasRemindMsg());

  MakeSource(*source);
  EXPECT_EQ(source->GetState() * 100 + source->GetType() * 10 + source->GetSendFlag(), 114);
  EXPECT_EQ(source->GetInvalidDate(), At(2024, 6, 1));
  std::list<CNorvBasePtr<CEmItem>> out{new CEmItem};  // replaced by the same objects
  source->GetReceiverList(out);
  CString content, contentType;
  source->GetContent(content, contentType);
  EXPECT_TRUE(out == source->m_lstReceiver && content + L"|" + contentType == L"a<b|Text/Html");

  CNorvRemind target;
  target.m_ID.NewID();
  const CGuid targetID = target.m_ID;
  target.m_strFrom = L"mine";
  target.m_strCreateTime = L"2000-01-01 00:00:00";
  AddReceiver(target, 0, L"old");
  target.SetInfo(source);
  EXPECT_EQ(Definition(target), kSourceDefinition);
  EXPECT_TRUE(target.m_lstReceiver == source->m_lstReceiver &&
              target.m_lstStyleItem == source->m_lstStyleItem && target.m_ID == targetID);
  EXPECT_EQ(target.m_strFrom + target.m_strCreatorID + target.m_strCreateTime,
            L"mine2000-01-01 00:00:00");
  CNorvRemind copy;
  copy.m_strRemindStyleDef = L"<mine/>";
  copy.m_lstStyleItem = {MakeItem(1, L"01:00")};
  source->GetInfo(&copy);
  std::wstring expected = kSourceDefinition;
  expected.replace(expected.find(L"style=<S/> items=2"), 18, L"style=<mine/> items=1");
  EXPECT_EQ(Definition(copy), expected);
  EXPECT_TRUE(copy.m_lstReceiver == source->m_lstReceiver && copy.m_strFrom.IsEmpty());
  // Only a periodic source hands its repeat over.
  CNorvRemind oneOff;
  oneOff.m_Repeat.m_strRemindTime = L"23:00";
  target.SetInfo(&oneOff);
  oneOff.GetInfo(&copy);
  EXPECT_EQ(target.m_Repeat.GenInfo_XML() + copy.m_Repeat.GenInfo_XML(),
            source->m_Repeat.GenInfo_XML() + source->m_Repeat.GenInfo_XML());

  // Send flag bits 0, 1 and 2: instant message, SMS, e-mail (1, 2, 4); type 1 repeats (8).
  const std::pair<short, int> values[] = {
      {0, 0}, {1, 9}, {2, 2}, {4, 4}, {5, 5}, {static_cast<short>(0xFFF8), 0}, {-1, 7}};
  for (const auto& [value, shown] : values) {
    source->m_nSendFlag = source->m_nType = value;
    EXPECT_EQ(source->HasAMFlag() + source->HasSMSFlag() * 2 + source->HasEmailFlag() * 4 +
                  source->HasRepeat() * 8,
              shown)
        << value;
  }
}

const std::wstring kRepeatXml =
    L"<Repeat RemindTime='08:30' RegularType='1' Interval='1' RagularValue='124' "
    L"RegularRange='0' DTStart='2024-01-01' />";
const std::wstring kRepeatJson =
    L", \"Repeat\": { \"RemindTime\": \"08:30\", \"RegularType\": \"1\", \"Interval\": \"1\", "
    L"\"RagularValue\": \"124\", \"RegularRange\": \"0\", \"DTStart\": \"2024-01-01\" }";
// The first n of the source's receivers in either form.
const std::wstring kReceiversXml[] = {
    L"", L"<ReceiverList><Receiver Type='0' ID='u1' Name='N&apos;1' /></ReceiverList>",
    L"<ReceiverList><Receiver Type='0' ID='u1' Name='N&apos;1' /><Receiver Type='2' ID='u2' "
    L"Name='' /></ReceiverList>"};
const std::wstring kReceiversJson[] = {
    L"", L", \"ReceiverList\": [ { \"Type\": \"0\", \"ID\": \"u1\", \"Name\": \"N'1\" } ]",
    L", \"ReceiverList\": [ { \"Type\": \"0\", \"ID\": \"u1\", \"Name\": \"N'1\" }, { \"Type\": "
    L"\"2\", \"ID\": \"u2\", \"Name\": \"\" } ]"};

// Every remind carries a remind time, a repeat and a style, so the output shows
// which each type writes. JSON members follow the XML attributes in order.
TEST(RemindOutput, EveryTypeWithAndWithoutDeadlineFromAndReceivers) {
  const COleDateTime time = At(2024, 5, 8, 9, 30);
  const struct {
    short type, state, flag;
    COleDateTime remindTime, deadline;
    const wchar_t *from, *style;
    int receivers;
    const wchar_t* attributes;
    bool repeat = false;
    const wchar_t *styleXml = L"", *styleJson = L"";
  } cases[] = {
      // A one-off remind never shows its deadline.
      {0, 0, 1, time, At(2024, 6, 1), L"web", L"", 2,
       L"State='0' Type='0' SendFlag='1' RemindTime='2024-05-08 09:30:00' From='web'"},
      {0, 0, 1, COleDateTime(), COleDateTime(), L"", L"", 0,
       L"State='0' Type='0' SendFlag='1' RemindTime=''"},
      // An unreadable deadline is left out.
      {1, 1, 3, time, kInvalid, L"", L"", 0, L"State='1' Type='1' SendFlag='3'", true},
      {1, 0, 1, time, At(2024, 12, 31), L"", L"", 1,
       L"State='0' Type='1' SendFlag='1' InvalidDate='2024-12-31'", true},
      {2, 0, 1, time, At(2024, 5, 10), L"f", L"<S><Item Day='1' Time='09:00'/></S>", 2,
       L"State='0' Type='2' SendFlag='1' InvalidDate='2024-05-10' From='f'", false,
       L"<RemindStyleDef>&lt;S&gt;&lt;Item Day=&apos;1&apos; Time=&apos;09:00&apos;/&gt;&lt;/S&gt;"
       L"</RemindStyleDef>",
       L", \"RemindStyleDef\": \"<S><Item Day='1' Time='09:00'/></S>\""},
      {2, 0, 1, time, COleDateTime(), L"", L"", 0, L"State='0' Type='2' SendFlag='1'", false,
       L"<RemindStyleDef />", L", \"RemindStyleDef\": \"\""},
      // Neither repeat nor style for other types.
      {4, -2, static_cast<short>(0x8001), time, At(2024, 5, 10), L"", L"<S/>", 0,
       L"State='-2' Type='4' SendFlag='-32767' InvalidDate='2024-05-10'"},
  };
  const std::wstring id = L"{01234567-89AB-CDEF-0123-456789ABCDEF}";
  for (const auto& c : cases) {
    SCOPED_TRACE(CString(c.attributes).ToUtf8());
    CNorvRemind remind;
    MakeSource(remind);
    ASSERT_TRUE(remind.m_ID.FromString(id.c_str()));
    remind.m_nType = c.type, remind.m_nState = c.state, remind.m_nSendFlag = c.flag;
    remind.m_dtRemind = c.remindTime, remind.m_dtInvalid = c.deadline;
    remind.m_strFrom = c.from, remind.m_strRemindStyleDef = c.style;
    remind.m_lstReceiver.resize(c.receivers);
    const std::wstring members =
        std::regex_replace(c.attributes, std::wregex(L"(\\w+)='([^']*)'( ?)"), L"\"$1\": \"$2\"$3");
    const std::wstring xmlHead = L"<Remind ID='" + id + L"' " + c.attributes;
    const std::wstring jsonHead = L"{ \"ID\": \"" + id + L"\", " +
                                  std::regex_replace(members, std::wregex(L"\" \""), L"\", \"");
    EXPECT_EQ(remind.GenInfo_XML(),
              xmlHead + L"><Content>a&lt;b</Content><ContentType>Text/Html</ContentType>" +
                  (c.repeat ? kRepeatXml : L"") + c.styleXml + kReceiversXml[c.receivers] +
                  L"</Remind>");
    EXPECT_EQ(remind.GenInfo_Json(), jsonHead +
                                         L", \"Content\": \"a<b\", \"ContentType\": \"Text/Html\"" +
                                         (c.repeat ? kRepeatJson : L"") + c.styleJson +
                                         kReceiversJson[c.receivers] + L" }");
    EXPECT_EQ(remind.GenListInfo_XML(), xmlHead + L" />");
    EXPECT_EQ(remind.GenListInfo_Json(), jsonHead + L" }");
  }
}

// The times as texts joined by blanks; an invalid time shows as such.
std::wstring Texts(const std::list<COleDateTime>& times) {
  std::wstring out;
  for (const COleDateTime& time : times) {
    out += (out.empty() ? L"" : L" ") + time.Format(L"%Y-%m-%d_%H:%M").str();
  }
  return out;
}

// One remind of each type: a one-off at 2024-05-08 09:30; every second day
// from 2024-05-01 at 07:45; deadline 2024-05-10 with the items (0, 09:00),
// (1, 14:00), (1, 08:00) in this order.
class RemindTiming : public ::testing::Test {
 protected:
  RemindTiming() {
    oneOff.m_dtRemind = At(2024, 5, 8, 9, 30);
    periodic.m_nType = CNorvRemind::kPeriodic;
    periodic.m_Repeat.m_nInterval = 2;
    periodic.m_Repeat.m_dtStart = At(2024, 5, 1);
    periodic.m_Repeat.m_strRemindTime = L"07:45";
    custom.m_nType = CNorvRemind::kCustomStyle;
    custom.m_dtInvalid = At(2024, 5, 10);
    custom.m_lstStyleItem = {MakeItem(0, L"09:00"), MakeItem(1, L"14:00"), MakeItem(1, L"08:00")};
  }

  CNorvRemind oneOff, periodic, custom, unset;
};

TEST_F(RemindTiming, NeedRemindAndIsInvalidAroundTheBoundaries) {
  oneOff.m_dtInvalid = At(2024, 5, 9);  // never consulted for a one-off remind
  const struct {
    const char* what;
    CNorvRemind& remind;
    COleDateTime day;
    bool need, invalid;
  } cases[] = {
      {"one-off the day before", oneOff, At(2024, 5, 7, 23, 59), false, false},
      {"one-off at midnight", oneOff, At(2024, 5, 8), true, false},
      {"one-off late on its day", oneOff, At(2024, 5, 8, 23, 59), true, false},
      {"one-off the day after", oneOff, At(2024, 5, 9), false, false},
      {"one-off on a null day", oneOff, COleDateTime(), false, false},
      {"no remind time", unset, At(2024, 5, 8), false, false},
      {"periodic before its start", periodic, At(2024, 4, 29), false, false},
      {"periodic on its start", periodic, At(2024, 5, 1), true, false},
      {"periodic between", periodic, At(2024, 5, 2), false, false},
      {"periodic late on a day", periodic, At(2024, 5, 3, 23, 59), true, false},
      {"custom two days ahead", custom, At(2024, 5, 8), false, false},
      {"custom the day before", custom, At(2024, 5, 9), true, false},
      {"custom on the deadline", custom, At(2024, 5, 10), true, true},
      {"custom after the deadline", custom, At(2024, 5, 10, 0, 1), false, true},
      // 09:00 two days ahead counts as one day: the item of day 1 fires.
      {"custom with a time of day", custom, At(2024, 5, 8, 9, 0), true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.remind.NeedRemind(c.day), c.need) << c.what;
    EXPECT_EQ(c.remind.IsInvalid(c.day), c.invalid) << c.what;
  }
  unset.m_dtRemind = kInvalid;
  EXPECT_FALSE(unset.NeedRemind(kInvalid));
  // Neither a passed deadline nor a used-up count stops a periodic remind here.
  periodic.m_dtInvalid = At(2024, 5, 2);
  periodic.m_Repeat.m_nRegularRange = 1;
  periodic.m_Repeat.m_nCount = 5;
  EXPECT_TRUE(periodic.NeedRemind(At(2024, 5, 5)));
  custom.m_dtInvalid = kInvalid;
  EXPECT_FALSE(custom.NeedRemind(At(2024, 5, 10)));
  for (short type : {3, 4, 7, -1}) {
    oneOff.m_nType = periodic.m_nType = type;
    EXPECT_FALSE(oneOff.NeedRemind(At(2024, 5, 8)) || periodic.NeedRemind(At(2024, 5, 9))) << type;
  }
}

TEST_F(RemindTiming, TheSingleRemindTime) {
  const struct {
    CNorvRemind& remind;
    const wchar_t* day;
    bool found;
    const wchar_t* time;
  } cases[] = {
      {oneOff, L"1999-01-01", true, L"2024-05-08_09:30"},
      {oneOff, L"", true, L"2024-05-08_09:30"},
      {unset, L"2024-05-08", true, L""},
      {periodic, L"2024-05-03", true, L"2024-05-03_07:45"},
      {periodic, L"", false, L"2000-01-01_00:00"},
      {periodic, L"x", false, L"Invalid DateTime"},
  };
  for (const auto& c : cases) {
    COleDateTime time = At(2000, 1, 1);
    EXPECT_EQ(c.remind.GetRemindTime(c.day, time), c.found) << CString(c.day).ToUtf8();
    EXPECT_EQ(Texts({time}), c.time) << CString(c.day).ToUtf8();
  }
}

TEST_F(RemindTiming, TheRemindTimesAndItemsOfACustomStyleDay) {
  std::list<CNorvBasePtr<CNorvRemindStyleItem>> items{MakeItem(7, L"07:00")};
  custom.GetDayStyleList(1, items);
  EXPECT_EQ(items,
            std::list(std::next(custom.m_lstStyleItem.begin()), custom.m_lstStyleItem.end()));
  custom.GetDayStyleList(2, items);
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(custom.ExistDayStyle(0) + custom.ExistDayStyle(1) * 2 + custom.ExistDayStyle(2) * 4 +
                custom.ExistDayStyle(65537) * 8,
            3);  // 65537 is day 1 in 16 bits

  custom.m_lstStyleItem.push_back(MakeItem(30000, L"10:00"));
  custom.m_lstStyleItem.push_back(MakeItem(2, L"25:00"));
  custom.m_lstStyleItem.push_back(MakeItem(2, L"10:15"));
  const struct {
    const wchar_t *day, *times;
  } cases[] = {
      {L"2024-05-09", L"2024-05-09_14:00 2024-05-09_08:00"},
      {L"2024-05-10", L"2024-05-10_09:00"},
      {L"2024-05-09 23:00:00", L"Invalid DateTime Invalid DateTime"},
      {L"2024-05-08", L"Invalid DateTime 2024-05-08_10:15"},
      {L"2024-05-11", L""},
      {L"2100-01-01", L""},
      {L"not a day", L""},
  };
  for (const auto& c : cases) {
    std::list<COleDateTime> times{At(2000, 1, 1)};
    custom.GetRemindTime(c.day, times);
    EXPECT_EQ(Texts(times), c.times) << CString(c.day).ToUtf8();
  }
}

// Tells when the last reference to it goes.
struct WatchedMsg : CNorvRemindAMMsg {
  explicit WatchedMsg(bool* destroyed) : destroyed(destroyed) { m_ID.NewID(); }
  ~WatchedMsg() override { *destroyed = true; }
  bool* destroyed;
};

// The order by identifier shows in the statement the message test checks.
TEST(RemindMessages, KeepsTheFirstObjectPerIdentifierAndReleasesRemovedOnes) {
  CNorvRemind remind;
  CNorvBasePtr<CNorvRemindAMMsg> noID = new CNorvRemindAMMsg;  // refused: stays the caller's
  remind.AddAMMsg(nullptr);
  remind.AddAMMsg(noID);
  EXPECT_FALSE(remind.HasRemindMsg());
  bool aGone = false, bGone = false;
  CNorvRemindAMMsg* a = new WatchedMsg(&aGone);
  remind.AddAMMsg(a);
  remind.AddAMMsg(new WatchedMsg(&bGone));
  CNorvBasePtr<CNorvRemindAMMsg> twin = new CNorvRemindAMMsg;
  twin->m_ID = a->m_ID;
  remind.AddAMMsg(twin);
  std::list<CNorvBasePtr<CNorvRemindAMMsg>> msgs{twin};
  remind.GetAMMsgList(msgs);
  EXPECT_EQ(msgs.size(), 2u);
  EXPECT_EQ(std::count(msgs.begin(), msgs.end(), a), 1);  // the first, shared, not copied
  msgs.clear();
  for (const CGuid& id : {CGuid(), twin->m_ID, twin->m_ID}) remind.RemoveAMMsg(id);
  EXPECT_TRUE(aGone && !bGone && remind.HasRemindMsg());
  remind.CleanAMMsgList();
  EXPECT_TRUE(bGone && !remind.HasRemindMsg());
}

// Definition k of every type in turn; its texts and list sizes all carry k.
CNorvBasePtr<CNorvRemind> MakeDefinition(int k) {
  CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
  MakeSource(*remind);
  remind->m_nType = static_cast<short>(k % 3);
  remind->m_strContent.Format(L"content-%d", k);
  remind->m_strContentType.Format(L"type-%d", k);
  remind->m_dtRemind = At(2024, 5, 8 + k, 9, 30);
  remind->m_dtInvalid = At(2024, 5, 10 + k);
  remind->m_Repeat.m_nInterval = static_cast<short>(k + 1);
  remind->m_strRemindStyleDef.Format(L"<S k='%d'/>", k);
  remind->m_lstReceiver.resize(k % 2 + 1);
  return remind;
}

// Two threads replace a shared remind's definition while three render, copy,
// time it and add and remove messages: every reading is one whole definition,
// no message is lost, and ThreadSanitizer stays quiet.
TEST(RemindThreads, ReadersSeeWholeDefinitionsWhileWritersReplaceThem) {
  constexpr int kRounds = 400, kDefinitions = 6;
  std::vector<CNorvBasePtr<CNorvRemind>> definitions;
  std::set<std::wstring> renderings;
  CNorvRemind shared;
  const auto render = [&] {
    return std::vector<std::wstring>{shared.GenInfo_XML().str(), shared.GenInfo_Json().str(),
                                     shared.GenListInfo_XML().str(),
                                     shared.GenListInfo_Json().str()};
  };
  shared.m_ID.NewID();
  for (int k = 0; k < kDefinitions; ++k) {
    definitions.push_back(MakeDefinition(k));
    shared.SetInfo(definitions[k]);
    for (const std::wstring& text : render()) renderings.insert(text);
  }
  std::atomic<int> torn{0}, firings{0}, readers{3};
  std::vector<std::thread> threads;
  for (int w = 1; w <= 2; ++w) {
    threads.emplace_back([&, w] {
      // Until the readers are done: rendering takes longer than replacing.
      for (int round = 0; readers > 0; ++round)
        shared.SetInfo(definitions[(round * w) % kDefinitions]);
    });
  }
  for (int r = 0; r < 3; ++r) {
    threads.emplace_back([&] {
      for (int round = 0; round < kRounds; ++round) {
        for (const std::wstring& text : render()) torn += renderings.count(text) == 0;
        CNorvRemind copy;
        shared.GetInfo(&copy);
        const int k = std::stoi(copy.m_strContent.Mid(8).str());
        torn += copy.m_strContentType != definitions[k]->m_strContentType ||
                copy.m_lstReceiver.size() != definitions[k]->m_lstReceiver.size();
        CString content, contentType;
        shared.GetContent(content, contentType);
        torn += content.Mid(8) != contentType.Mid(5);
        const COleDateTime day = At(2024, 5, 8 + round % 8);
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
      --readers;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(torn, 0);
  EXPECT_GT(firings, 0);
  std::list<CNorvBasePtr<CNorvRemindAMMsg>> msgs;
  shared.GetAMMsgList(msgs);
  EXPECT_EQ(msgs.size(), 3u * kRounds / 2);
}

// The parser's error text, or "ok" when it accepts the definition.
std::wstring Parse(CNorvRemind& remind, const std::wstring& xml) {
  CNorvXmlDocument document;
  EXPECT_TRUE(CNorvCommFun::ParseXML(xml, document)) << "test input is not XML";
  CString error = L"untouched";
  if (remind.ParseXML(document.GetRootElement(), error)) {
    EXPECT_EQ(error, L"untouched");
    return L"ok";
  }
  return error.str();
}

// What a parse filled: every field that differs from a new remind's.
std::wstring Fields(CNorvRemind& remind) {
  // Receivers as "id:type/name," with a type of 0 and an empty name left out.
  std::wstring receivers;
  for (const auto& receiver : remind.m_lstReceiver) {
    receivers += receiver->m_strReceiveID.str();
    if (receiver->m_nReceiveType != 0)
      receivers += L":" + std::to_wstring(receiver->m_nReceiveType);
    if (!receiver->m_strReceiveName.IsEmpty()) receivers += L"/" + receiver->m_strReceiveName.str();
    receivers += L",";
  }
  const std::pair<const wchar_t*, CString> fields[] = {
      {L"type", std::to_wstring(remind.m_nType)},
      {L"time", remind.m_dtRemind.Format(L"%Y-%m-%d %H:%M:%S")},
      {L"invalid", remind.m_dtInvalid.Format(L"%Y-%m-%d %H:%M:%S")},
      {L"from", remind.m_strFrom},
      {L"flag", std::to_wstring(remind.m_nSendFlag)},
      {L"content", remind.m_strContent},
      {L"contentType", remind.m_strContentType},
      {L"style", remind.m_strRemindStyleDef},
      {L"items", std::to_wstring(remind.m_lstStyleItem.size())},
      {L"start", remind.m_Repeat.m_dtStart.Format(L"%Y-%m-%d")},
      {L"repeatTime", remind.m_Repeat.m_strRemindTime},
      {L"value", std::to_wstring(remind.m_Repeat.m_nRegularValue)},
      {L"receivers", receivers}};
  static const std::wstring defaults[] = {L"0", L"",  L"", L"", L"1", L"", L"Text/Text",
                                          L"",  L"0", L"", L"", L"0", L""};
  std::wstring text;
  for (size_t i = 0; i < std::size(fields); ++i) {
    if (fields[i].second.str() == defaults[i]) continue;
    text +=
        (text.empty() ? L"" : L" ") + std::wstring(fields[i].first) + L"=" + fields[i].second.str();
  }
  return text;
}

// The error text of a refused definition, what an accepted one filled. Each
// of the first definitions is wrong in one respect only; then the first fault wins.
TEST(RemindParse, EachMessageComesFromItsOwnFaultInStepOrderAndAcceptedOnesFillTheirFields) {
  const struct {
    const wchar_t *xml, *result;
    short type = 0;     // before the parse
    bool left = false;  // show what a refused one left read
  } cases[] = {
      {L"<R><Content>c</Content></R>", L"未指定提醒的时间"},
      {L"<R Type='0' RemindTime='2024-13-01 08:00'><Content>c</Content></R>",
       L"指定提醒的时间无效"},
      {L"<R Type='2'><Content>c</Content><RemindStyleDef>s</RemindStyleDef></R>",
       L"自定义类型的提醒未指定截止日期"},
      {L"<R Type='2' InvalidDate='2024-02-30'><Content>c</Content>"
       L"<RemindStyleDef>s</RemindStyleDef></R>",
       L"自定义类型的提醒指定截止日期无效"},
      {L"<R Type='1'><Content>c</Content><Repeat DTStart='2024-05-01' RemindTime='8:75'/></R>",
       L"周期类型的提醒，重复定义格式不正确，原因：指定提醒时间“8:75”无效"},
      {L"<R Type='3'><Content>c</Content><ReceiverList><Receiver Name='n'/></ReceiverList></R>",
       L"提醒接收者信息定义不正确"},
      {L"<R Type='3'><Content>c</Content><ReceiverList><Receiver ID=''/></ReceiverList></R>",
       L"提醒接收者信息定义不正确"},
      {L"<R Type='1'><Content>c</Content></R>", L"周期提醒中未指定开始提醒的日期"},
      {L"<R Type='2' InvalidDate='2024-05-10'><Content>c</Content></R>",
       L"自定义样式提醒未指定样式信息"},
      {L"<R Type='0' RemindTime='2024-05-08 09:30'/>", L"未指定提醒的内容"},
      // Times come before the children, children in document order, then the
      // start date, the style and the content.
      {L"<R><ReceiverList><Receiver/></ReceiverList></R>", L"未指定提醒的时间"},
      {L"<R Type='1'><Repeat/><ReceiverList><Receiver/></ReceiverList></R>",
       L"周期类型的提醒，重复定义格式不正确，原因：未指定开始日期 DTStart"},
      {L"<R Type='1'><ReceiverList><Receiver/></ReceiverList><Repeat/></R>",
       L"提醒接收者信息定义不正确"},
      {L"<R Type='1'/>", L"周期提醒中未指定开始提醒的日期"},
      {L"<R Type='2' InvalidDate='2024-05-10'/>", L"自定义样式提醒未指定样式信息"},
      // Present but empty attributes are read, not skipped.
      {L"<R Type='' RemindTime=''><Content>c</Content></R>", L"指定提醒的时间无效"},
      {L"<R Type='2' InvalidDate=''><Content>c</Content></R>", L"自定义类型的提醒指定截止日期无效"},
      // Text that is no number is 0.
      {L"<R Type='abc'><Content>c</Content></R>", L"未指定提醒的时间"},
      {L"<R Type='7'/>", L"未指定提醒的内容"},
      // A one-off remind reads no deadline; children's texts include their descendants'.
      {L"<Remind RemindTime='2024-05-08 09:30:00' From='web' SendFlag='6' "
       L"InvalidDate='2024-05-10'><Content>a &amp; <b>b</b></Content>"
       L"<ContentType>Text/Html</ContentType>"
       L"<ReceiverList><Receiver ID='u1'/><Receiver ID='u2'/></ReceiverList></Remind>",
       L"time=2024-05-08 09:30:00 from=web flag=6 content=a & b contentType=Text/Html "
       L"receivers=u1,u2,"},
      // Other types read the deadline as a date and never the remind time.
      {L"<R Type='1' InvalidDate='2024-06-30 17:45:00' RemindTime='x'><Content>c</Content>"
       L"<Repeat DTStart='2024-05-01' RegularValue='124' RemindTime='8:30'/></R>",
       L"type=1 invalid=2024-06-30 00:00:00 content=c start=2024-05-01 repeatTime=8:30 value=124"},
      {L"<R Type='1' InvalidDate='soon'><Content>c</Content>"
       L"<Repeat DTStart='2024-05-01' RemindTime='8:30'/></R>",
       L"type=1 invalid=Invalid DateTime content=c start=2024-05-01 repeatTime=8:30"},
      // The style text is stored as given and not parsed.
      {L"<R Type='2' InvalidDate='2024-05-10'><Content>c</Content>"
       L"<RemindStyleDef>&lt;S&gt;&lt;Item Day='1' Time='9:00'/&gt;&lt;/S&gt;</RemindStyleDef></R>",
       L"type=2 invalid=2024-05-10 00:00:00 content=c style=<S><Item Day='1' Time='9:00'/></S>"},
      // A repeat child counts only for a periodic remind, even when malformed.
      {L"<R RemindTime='2024-05-08'><Content>c</Content><Repeat DTStart='2024-05-01' "
       L"RemindTime='08:30'/></R>",
       L"time=2024-05-08 00:00:00 content=c"},
      {L"<R Type=' 2x' InvalidDate='2024-05-10' SendFlag='5 apples'><Content>c</Content>"
       L"<RemindStyleDef>not <b>xml</b> &lt;</RemindStyleDef><Repeat DTStart='bad'/></R>",
       L"type=2 invalid=2024-05-10 00:00:00 flag=5 content=c style=not xml <"},
      // Names in any case, the last one wins; other nodes are ignored.
      {L"<R RemindTime='2024-05-08'>text<!-- Content --><content>first</content>"
       L"<CONTENT>second</CONTENT><contenttype>T/1</contenttype>"
       L"<Other><Content>no</Content></Other><?Content pi?></R>",
       L"time=2024-05-08 00:00:00 content=second contentType=T/1"},
      // Each receiver list appends to the list that parsing emptied first;
      // receivers in any case, other nodes skipped.
      {L"<R Type='7'><Content>c</Content><ReceiverList><Receiver ID='a'/></ReceiverList>"
       L"<receiverlist>text<!-- c --><Other ID='x'/><RECEIVER Type='-2' ID='b' "
       L"Name='\x5F20\x4E09'/><Receiver ID='c'/></receiverlist></R>",
       L"type=7 content=c receivers=a,b:-2/\x5F20\x4E09,c,"},
      {L"<R Type='7'><Content>c</Content></R>", L"type=7 content=c"},
      // An absent type keeps the current one; a refusal keeps what was read.
      {L"<R RemindTime='2024-05-08'><Content>c</Content></R>", L"自定义类型的提醒未指定截止日期",
       2},
      {L"<R RemindTime='2024-05-08' From='f' SendFlag='2'><Content>c</Content>"
       L"<ReceiverList><Receiver ID='a'/><Receiver/></ReceiverList></R>",
       L"提醒接收者信息定义不正确 | time=2024-05-08 00:00:00 from=f flag=2 content=c receivers=a,",
       0, true},
  };
  for (const auto& c : cases) {
    CNorvRemind remind;
    remind.m_nType = c.type;
    remind.m_lstReceiver = {new CEmItem};
    const std::wstring parsed = Parse(remind, c.xml);
    const std::wstring shown = parsed == L"ok" ? Fields(remind)
                               : c.left        ? parsed + L" | " + Fields(remind)
                                               : parsed;
    EXPECT_EQ(shown, c.result) << CString(c.xml).ToUtf8();
  }
}

// Content gathers the text of every descendant, however deep.
TEST(RemindParse, DeeplyNestedContentIsGatheredWithoutCrashing) {
  std::wstring deep = L"<R RemindTime='2024-05-08'><Content>";
  for (int i = 0; i < 100000; ++i) deep += L"<d>x";
  for (int i = 0; i < 100000; ++i) deep += L"</d>";
  CNorvRemind nested;
  ASSERT_EQ(Parse(nested, deep + L"</Content></R>"), L"ok");
  EXPECT_EQ(nested.m_strContent.GetLength(), 100000);
}

}  // namespace
