// due: which reminds fire on a day or over a range of days, and when.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/base/CNorvCommFun.h"
#include "core/base/COleDateTimeSpan.h"
#include "host/cli/HostClock.h"
#include "host/cli/HostCommands.h"
#include "host/cli/HostText.h"
#include "host/cli/TextTable.h"
#include "host/store/HostDatabase.h"
#include "host/store/RemindSchedule.h"
#include "host/store/RemindStore.h"

namespace norvhost {

namespace {

struct Firing {
  COleDateTime time;
  CNorvBasePtr<CNorvRemind> remind;
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

CString FiringJson(Firing& firing) {
  CString json;
  json.Format(L"{ \"Time\": \"%s\", \"RemindID\": \"%s\", \"Type\": \"%d\", ",
              TimeText(firing.time), firing.remind->m_ID.GetString(), firing.remind->GetType());
  json += CNorvCommFun::GenJsonNodeStr(L"Content", ContentOf(*firing.remind));
  const CString receivers = firing.remind->GenReceiverInfo_Json();
  if (!receivers.IsEmpty()) json += L", " + receivers;
  return json + L" }";
}

void PrintTable(std::vector<Firing>& firings, const DayRange& range) {
  const std::string days = range.OneDay() ? "on " + Narrow(range.first.Format(L"%Y-%m-%d"))
                                          : "from " + Narrow(range.first.Format(L"%Y-%m-%d")) +
                                                " to " + Narrow(range.last.Format(L"%Y-%m-%d"));
  if (firings.empty()) {
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
  for (Firing& firing : firings) {
    const CString time = firing.time.GetStatus() == COleDateTime::valid ? firing.time.Format(format)
                                                                        : CString(L"??:??:??");
    table.AddRow({time, ShortID(firing.remind->m_ID.GetString1()),
                  TypeName(firing.remind->GetType()), DescribeReceivers(*firing.remind),
                  ContentOf(*firing.remind)});
  }
  std::fputs(table.Render().c_str(), stdout);
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
  std::vector<CNorvBasePtr<CNorvRemind>> reminds;
  const int result = LoadReminds(database, true, reminds);
  std::vector<Firing> firings;
  firings.reserve(reminds.size());
  for (COleDateTime day = range.first; !(range.last < day); day += COleDateTimeSpan(1, 0, 0, 0)) {
    const CString dayText = day.Format(L"%Y-%m-%d");
    for (auto& remind : reminds) {
      for (const COleDateTime& time : FiringTimes(*remind, day, dayText)) {
        firings.push_back({time, remind});
      }
    }
  }
  // Unreadable times go last; otherwise in time order, stable per remind.
  std::stable_sort(firings.begin(), firings.end(), [](const Firing& a, const Firing& b) {
    const bool aValid = a.time.GetStatus() == COleDateTime::valid;
    const bool bValid = b.time.GetStatus() == COleDateTime::valid;
    if (aValid != bValid) return aValid;
    return aValid && a.time < b.time;
  });
  if (invocation.Has("json")) {
    PrintLine(JsonArray(firings, FiringJson));
  } else {
    PrintTable(firings, range);
  }
  return result;
}

}  // namespace norvhost
