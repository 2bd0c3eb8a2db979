// status: the daemons at work and where the messages are.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "host/cli/HostCommands.h"
#include "host/cli/HostText.h"
#include "host/cli/TextTable.h"
#include "host/daemon/Membership.h"
#include "host/store/DeliveryHistory.h"
#include "host/store/HostDatabase.h"

namespace norvhost {

namespace {

CString Number(long value) { return CString(std::to_wstring(value).c_str()); }

CString Share(long sent, long total) {
  if (total == 0) return L"-";
  return Number(sent * 100 / total) + L"%";
}

void PrintMembers(const std::vector<MemberRow>& members) {
  long total = 0;
  for (const MemberRow& member : members) total += member.sent;
  TextTable table;
  for (const wchar_t* title : {L"ID", L"HOST", L"PID", L"STARTED", L"HEARTBEAT", L"SENT", L"SHARE"})
    table.AddColumn(title);
  for (const MemberRow& member : members) {
    table.AddRow({ShortID(member.id), member.host, member.pid, member.started, member.heartbeat,
                  Number(member.sent), Share(member.sent, total)});
  }
  PrintLine(std::to_string(members.size()) + (members.size() == 1 ? " daemon" : " daemons") +
            " running");
  if (!members.empty()) std::fputs(table.Render().c_str(), stdout);
}

}  // namespace

int RunStatus(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = OpenDatabase(database); code != kExitOk) return code;
  CString reason;
  if (!database.settings().isSqlite) {
    std::vector<MemberRow> members;
    if (!Membership::ListLive(database, members, reason)) {
      return Failure("cannot read the daemons", reason);
    }
    PrintMembers(members);
  }
  std::map<CString, DeliveryCounts> perRemind;
  if (!CountDeliveries(database, DeliveryFilter(), perRemind, reason)) {
    return Failure("cannot count the messages", reason);
  }
  DeliveryCounts total{};
  for (const auto& [remind, counts] : perRemind) {
    for (int status = 0; status < kDeliveryStatuses; ++status) total[status] += counts[status];
  }
  CString line = L"messages:";
  for (int status = 0; status < kDeliveryStatuses; ++status) {
    line += (status == 0 ? L" " : L", ") + Number(total[status]) + L" " +
            DeliveryStatusName(static_cast<DeliveryStatus>(status));
  }
  PrintLine(line);
  return kExitOk;
}

}  // namespace norvhost
