// history: what became of each instant message.
#include <cstdio>

#include "core/base/CNorvCommFun.h"
#include "core/base/COleDateTimeSpan.h"
#include "host/cli/HostCommands.h"
#include "host/cli/HostText.h"
#include "host/cli/TextTable.h"
#include "host/store/DeliveryHistory.h"
#include "host/store/HostDatabase.h"
#include "host/store/RemindStore.h"

namespace norvhost {

namespace {

constexpr wchar_t kTimeFormat[] = L"%Y-%m-%d %H:%M:%S";

CString TimeText(const COleDateTime& time) {
  return time.GetStatus() == COleDateTime::valid ? time.Format(kTimeFormat) : CString();
}

// What the state column alone does not say.
CString Detail(const DeliveryEntry& entry) {
  switch (entry.status) {
    case DeliveryStatus::kSent:
      return L"at " + TimeText(entry.sentTime);
    case DeliveryStatus::kRetrying:
      return L"next attempt at " + TimeText(entry.nextAttempt) + L": " + entry.reason;
    case DeliveryStatus::kFailed:
      return entry.reason;
    default:
      return CString();
  }
}

CString EntryJson(const DeliveryEntry& entry) {
  CString json = L"{ " + CNorvCommFun::GenJsonNodeStr(L"MessageID", L"{" + entry.messageID + L"}");
  const auto member = [&json](const wchar_t* name, const CString& value) {
    if (!value.IsEmpty()) json += L", " + CNorvCommFun::GenJsonNodeStr(name, value);
  };
  member(L"RemindID", L"{" + entry.remindID + L"}");
  member(L"Time", TimeText(entry.remindTime));
  member(L"Receiver", entry.receiver);
  member(L"ReceiverName", entry.receiverName);
  member(L"State", DeliveryStatusName(entry.status));
  json.AppendFormat(L", \"Attempts\": %d", entry.attempts);
  member(L"Sent", TimeText(entry.sentTime));
  member(L"NextAttempt", TimeText(entry.nextAttempt));
  member(L"Reason", entry.reason);
  member(L"Content", entry.content);
  return json + L" }";
}

void PrintTable(const std::vector<DeliveryEntry>& entries) {
  if (entries.empty()) {
    PrintLine(std::string("no instant messages"));
    return;
  }
  TextTable table;
  table.AddColumn(L"TIME");
  table.AddColumn(L"REMIND");
  table.AddColumn(L"RECEIVER", 20);
  table.AddColumn(L"STATE");
  table.AddColumn(L"ATTEMPTS");
  table.AddColumn(L"DETAIL", 60);
  for (const DeliveryEntry& entry : entries) {
    CString attempts;
    attempts.Format(L"%d", entry.attempts);
    table.AddRow({TimeText(entry.remindTime), ShortID(entry.remindID), entry.receiver,
                  DeliveryStatusName(entry.status), attempts, Detail(entry)});
  }
  std::fputs(table.Render().c_str(), stdout);
}

}  // namespace

int RunHistory(const Invocation& invocation) {
  DeliveryFilter filter;
  filter.receiver = Widen(invocation.Get("receiver"));
  if (invocation.Has("from")) filter.from = ParseDayOption(invocation, "from");
  if (invocation.Has("to")) {
    filter.to = ParseDayOption(invocation, "to") + COleDateTimeSpan(1, 0, 0, 0);
  }
  if (invocation.Has("from") && invocation.Has("to") && filter.to <= filter.from) {
    throw UsageError("--to is before --from");
  }
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = OpenDatabase(database); code != kExitOk) return code;
  if (invocation.Has("remind")) {
    CGuid id;
    if (int code = ResolveRemindID(database, invocation.Get("remind"), id); code != kExitOk) {
      return code;
    }
    filter.remindID = id.GetString1();
  }
  std::vector<DeliveryEntry> entries;
  CString reason;
  if (!ReadDeliveries(database, filter, entries, reason)) {
    return Failure("cannot read the delivery history", reason);
  }
  if (invocation.Has("json")) {
    PrintLine(JsonArray(entries, EntryJson));
  } else {
    PrintTable(entries);
  }
  return kExitOk;
}

}  // namespace norvhost
