// due: which reminds fire on a day, and when.
#include <algorithm>
#include <cstdio>

#include "core/base/CNorvCommFun.h"
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

COleDateTime ParseDay(const std::string& text) {
  COleDateTime day;
  if (text.empty() || !day.ParseDateTime(Widen(text), VAR_DATEVALUEONLY)) {
    throw UsageError("--date needs a day as YYYY-MM-DD, not '" + text + "'");
  }
  return day;
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

void PrintTable(std::vector<Firing>& firings, const COleDateTime& day) {
  const std::string dayText = Narrow(day.Format(L"%Y-%m-%d"));
  if (firings.empty()) {
    PrintLine("nothing is due on " + dayText);
    return;
  }
  PrintLine("due on " + dayText + ":");
  TextTable table;
  table.AddColumn(L"TIME");
  table.AddColumn(L"ID");
  table.AddColumn(L"TYPE");
  table.AddColumn(L"RECEIVERS", 28);
  table.AddColumn(L"CONTENT", 48);
  for (Firing& firing : firings) {
    const CString time = firing.time.GetStatus() == COleDateTime::valid
                             ? firing.time.Format(L"%H:%M:%S")
                             : CString(L"??:??:??");
    table.AddRow({time, ShortID(firing.remind->m_ID.GetString1()),
                  TypeName(firing.remind->GetType()), DescribeReceivers(*firing.remind),
                  ContentOf(*firing.remind)});
  }
  std::fputs(table.Render().c_str(), stdout);
}

}  // namespace

int RunDue(const Invocation& invocation) {
  const COleDateTime day = invocation.Has("date") ? ParseDay(invocation.Get("date")) : Today();
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = database.Open(); code != kExitOk) return code;
  std::vector<CNorvBasePtr<CNorvRemind>> reminds;
  const int result = LoadReminds(database, true, reminds);
  std::vector<Firing> firings;
  const CString dayText = day.Format(L"%Y-%m-%d");
  for (auto& remind : reminds) {
    for (const COleDateTime& time : FiringTimes(*remind, day, dayText)) {
      firings.push_back({time, remind});
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
    std::vector<CString> items;
    for (Firing& firing : firings) items.push_back(FiringJson(firing));
    PrintLine(JsonArray(items));
  } else {
    PrintTable(firings, day);
  }
  return result;
}

}  // namespace norvhost
