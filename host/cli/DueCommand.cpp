// due: which reminds fire on a day or over a range of days, and when.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "core/base/CNorvCommFun.h"
#include "core/base/COleDateTimeSpan.h"
#include "host/cli/HostClock.h"
#include "host/cli/HostCommands.h"
#include "host/cli/HostText.h"
#include "host/cli/TextTable.h"
#include "host/store/HostDatabase.h"
#include "host/store/RemindLoader.h"
#include "host/store/RemindSchedule.h"
#include "host/store/RemindStore.h"

namespace norvhost {

namespace {

// A remind that fires in the range, with what its rows show.
struct DueRemind {
  CGuid id;
  short type;
  std::string content;
  // Its place in the loaders' order: creation, then stored identifier.
  double created;
  size_t idAt;
  size_t idLength;
  // Its receivers in the shared list.
  size_t receiversAt = 0;
  size_t receiversEnd = 0;
};

struct Firing {
  COleDateTime time;
  size_t day;
  size_t remind;
  // Among the remind's times that day.
  size_t seq;
  // The remind's place in the loaders' order, set for the sort.
  size_t rank = 0;
};

// What `due` shows, read without building the reminds: one remind is
// refilled per row to decide its firings, and only those that fire keep
// their content and have their receivers read.
struct DueList {
  std::vector<DueRemind> reminds;
  std::string ids;
  std::vector<ReceiverRow> receivers;
  std::vector<Firing> firings;

  std::string_view IDText(const DueRemind& remind) const {
    return std::string_view(ids).substr(remind.idAt, remind.idLength);
  }
};

// A range longer than this is more likely a typo than a plan.
constexpr int kMaxDays = 366;

// The first and the last day asked for: --date, --from/--to or --days.
struct DayRange {
  COleDateTime first;
  COleDateTime last;
  bool OneDay() const { return first == last; }
};

int ParseDays(const std::string& text) {
  char* end = nullptr;
  const long days = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || days < 1 || days > kMaxDays) {
    throw UsageError("--days needs a number from 1 to " + std::to_string(kMaxDays) + ", not '" +
                     text + "'");
  }
  return static_cast<int>(days);
}

DayRange RangeOf(const Invocation& invocation) {
  const bool ranged = invocation.Has("from") || invocation.Has("to") || invocation.Has("days");
  if (invocation.Has("date") && ranged) {
    throw UsageError("give --date or a range (--from, --to, --days), not both");
  }
  if (invocation.Has("to") && invocation.Has("days")) {
    throw UsageError("give --to or --days, not both");
  }
  DayRange range;
  range.first = invocation.Has("date") ? ParseDayOption(invocation, "date") : Today();
  if (invocation.Has("from")) range.first = ParseDayOption(invocation, "from");
  range.last = invocation.Has("to") ? ParseDayOption(invocation, "to") : range.first;
  if (invocation.Has("days")) {
    range.last = range.first + COleDateTimeSpan(ParseDays(invocation.Get("days")) - 1, 0, 0, 0);
  }
  if (range.last < range.first) throw UsageError("--to is before --from");
  if ((range.last - range.first).GetTotalDays() >= kMaxDays) {
    throw UsageError("the range is longer than " + std::to_string(kMaxDays) + " days");
  }
  return range;
}

CString TimeText(const COleDateTime& time) {
  return time.GetStatus() == COleDateTime::valid ? time.Format(L"%Y-%m-%d %H:%M:%S")
                                                 : CString(L"(unreadable time)");
}

CString ReceiversJson(const DueList& list, const DueRemind& remind) {
  CNorvRemind holder;
  for (size_t i = remind.receiversAt; i < remind.receiversEnd; ++i) {
    const ReceiverRow& row = list.receivers[i];
    CNorvBasePtr<CEmItem> receiver(new CEmItem);
    receiver->m_nReceiveType = row.type;
    receiver->m_strReceiveID = CString::FromUtf8(row.id);
    receiver->m_strReceiveName = CString::FromUtf8(row.name);
    holder.m_lstReceiver.push_back(receiver);
  }
  return holder.GenReceiverInfo_Json();
}

CString FiringJson(const DueList& list, const Firing& firing) {
  const DueRemind& remind = list.reminds[firing.remind];
  CString json;
  json.Format(L"{ \"Time\": \"%s\", \"RemindID\": \"%s\", \"Type\": \"%d\", ",
              TimeText(firing.time), remind.id.GetString(), remind.type);
  json += CNorvCommFun::GenJsonNodeStr(L"Content", CString::FromUtf8(remind.content));
  const CString receivers = ReceiversJson(list, remind);
  if (!receivers.IsEmpty()) json += L", " + receivers;
  return json + L" }";
}

// As DescribeReceivers: names, or ids where a name is missing.
std::string ReceiverNames(const DueList& list, const DueRemind& remind) {
  std::string text;
  for (size_t i = remind.receiversAt; i < remind.receiversEnd; ++i) {
    const ReceiverRow& row = list.receivers[i];
    if (!text.empty()) text += ", ";
    text += row.name.empty() ? row.id : row.name;
  }
  return text;
}

void PrintTable(const DueList& list, const DayRange& range) {
  const std::string days = range.OneDay() ? "on " + Narrow(range.first.Format(L"%Y-%m-%d"))
                                          : "from " + Narrow(range.first.Format(L"%Y-%m-%d")) +
                                                " to " + Narrow(range.last.Format(L"%Y-%m-%d"));
  if (list.firings.empty()) {
    PrintLine("nothing is due " + days);
    return;
  }
  PrintLine("due " + days + ":");
  // One day's table needs no date in each row.
  const wchar_t* format = range.OneDay() ? L"%H:%M:%S" : L"%Y-%m-%d %H:%M:%S";
  TextTable table;
  table.AddColumn(L"TIME");
  table.AddColumn(L"ID");
  table.AddColumn(L"TYPE");
  table.AddColumn(L"RECEIVERS", 28);
  table.AddColumn(L"CONTENT", 48);
  // A remind type's name, written once for the table.
  std::map<short, std::string> typeNames;
  const auto typeName = [&typeNames](short type) -> const std::string& {
    auto [name, added] = typeNames.try_emplace(type);
    if (added) name->second = TypeName(type).ToUtf8();
    return name->second;
  };
  // The firings are in time order: each time is formatted once.
  const Firing* previous = nullptr;
  std::string time;
  for (const Firing& firing : list.firings) {
    const DueRemind& remind = list.reminds[firing.remind];
    if (previous == nullptr || firing.time.GetStatus() != previous->time.GetStatus() ||
        firing.time.m_dt != previous->time.m_dt) {
      time = (firing.time.GetStatus() == COleDateTime::valid ? firing.time.Format(format)
                                                             : CString(L"??:??:??"))
                 .ToUtf8();
    }
    previous = &firing;
    table.AddUtf8Row({time, ShortID(remind.id.GetString1()).ToUtf8(), typeName(remind.type),
                      ReceiverNames(list, remind), remind.content});
  }
  std::fputs(table.Render().c_str(), stdout);
}

// Reads the reminds, keeps those that fire in the range with when they do.
int FindFirings(HostDatabase& database, const DayRange& range, DueList& list) {
  RemindRuleCursor cursor;
  std::vector<UnloadableRemind> unloadable;
  CString reason;
  if (!cursor.Open(database, true, reason)) return Failure("cannot read the reminds", reason);
  std::vector<CString> dayTexts;
  for (COleDateTime day = range.first; !(range.last < day); day += COleDateTimeSpan(1, 0, 0, 0)) {
    dayTexts.push_back(day.Format(L"%Y-%m-%d"));
  }
  while (cursor.Next(unloadable)) {
    CNorvRemind& remind = cursor.remind();
    const size_t before = list.firings.size();
    COleDateTime day = range.first;
    for (size_t d = 0; d < dayTexts.size(); ++d, day += COleDateTimeSpan(1, 0, 0, 0)) {
      size_t seq = 0;
      for (const COleDateTime& time : FiringTimes(remind, day, dayTexts[d])) {
        list.firings.push_back({time, d, list.reminds.size(), seq++});
      }
    }
    if (list.firings.size() == before) continue;
    const std::string_view id = cursor.IDText();
    list.reminds.push_back({remind.m_ID, remind.m_nType, cursor.ContentUtf8(), cursor.CreationKey(),
                            list.ids.size(), id.size()});
    list.ids.append(id);
  }
  for (const auto& [id, why] : unloadable) {
    PrintError("remind " + Narrow(id.GetString1()) + " cannot be loaded: " + Narrow(why));
  }
  return unloadable.empty() ? kExitOk : kExitFailure;
}

bool AttachReceivers(HostDatabase& database, DueList& list, CString& reason) {
  std::vector<std::string_view> ids;
  ids.reserve(list.reminds.size());
  for (const DueRemind& remind : list.reminds) ids.push_back(list.IDText(remind));
  if (!ReadReceiverRows(database, ids, list.receivers, reason)) return false;
  for (size_t i = 0; i < list.receivers.size(); ++i) {
    DueRemind& remind = list.reminds[list.receivers[i].owner];
    if (remind.receiversEnd == 0) remind.receiversAt = i;
    remind.receiversEnd = i + 1;
  }
  return true;
}

// Unreadable times go last; otherwise in time order, then by day, remind
// order and the remind's own order.
void SortFirings(DueList& list) {
  // The keys side by side and each firing's rank in the firing: sorting
  // through indices into the reminds misses the cache on every comparison
  // once there are 100,000 of them. The identifier's first bytes, as a
  // number, decide most ties without reading its text.
  struct RemindKey {
    double created;
    uint64_t head;
    std::string_view id;
    size_t remind;
  };
  std::vector<RemindKey> order;
  order.reserve(list.reminds.size());
  for (size_t i = 0; i < list.reminds.size(); ++i) {
    const std::string_view id = list.IDText(list.reminds[i]);
    uint64_t head = 0;
    for (size_t b = 0; b < sizeof head; ++b) {
      head = head << 8 | (b < id.size() ? static_cast<unsigned char>(id[b]) : 0);
    }
    order.push_back({list.reminds[i].created, head, id, i});
  }
  std::sort(order.begin(), order.end(), [](const RemindKey& a, const RemindKey& b) {
    if (a.created != b.created) return a.created < b.created;
    if (a.head != b.head) return a.head < b.head;
    return a.id < b.id;
  });
  std::vector<size_t> rankOf(order.size());
  for (size_t rank = 0; rank < order.size(); ++rank) rankOf[order[rank].remind] = rank;
  for (Firing& firing : list.firings) firing.rank = rankOf[firing.remind];
  std::sort(list.firings.begin(), list.firings.end(), [](const Firing& a, const Firing& b) {
    const bool aValid = a.time.GetStatus() == COleDateTime::valid;
    const bool bValid = b.time.GetStatus() == COleDateTime::valid;
    if (aValid != bValid) return aValid;
    if (aValid && a.time.m_dt != b.time.m_dt) return a.time.m_dt < b.time.m_dt;
    return std::tie(a.day, a.rank, a.seq) < std::tie(b.day, b.rank, b.seq);
  });
}

}  // namespace

COleDateTime ParseDayOption(const Invocation& invocation, const std::string& name) {
  const std::string text = invocation.Get(name);
  COleDateTime day;
  if (text.empty() || !day.ParseDateTime(Widen(text), VAR_DATEVALUEONLY)) {
    throw UsageError("--" + name + " needs a day as YYYY-MM-DD, not '" + text + "'");
  }
  return day;
}

int RunDue(const Invocation& invocation) {
  const DayRange range = RangeOf(invocation);
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = OpenDatabase(database); code != kExitOk) return code;
  DueList list;
  int result = FindFirings(database, range, list);
  if (CString reason; !list.reminds.empty() && !AttachReceivers(database, list, reason)) {
    result = Failure("cannot read the reminds", reason);
  }
  SortFirings(list);
  if (invocation.Has("json")) {
    PrintLine(JsonArray(list.firings,
                        [&list](const Firing& firing) { return FiringJson(list, firing); }));
  } else {
    PrintTable(list, range);
  }
  return result;
}

}  // namespace norvhost
