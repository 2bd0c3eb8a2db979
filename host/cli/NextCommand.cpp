// next: a remind's coming firings.
#include <cstdlib>
#include <string>

#include "host/cli/HostCommands.h"
#include "host/cli/HostText.h"
#include "host/store/HostDatabase.h"
#include "host/store/RemindSchedule.h"
#include "host/store/RemindStore.h"
#include "remind/internal/NorvCodes.h"

namespace norvhost {

namespace {

constexpr size_t kDefaultCount = 5;
constexpr long kMaxCount = 1000;

size_t ParseCount(const Invocation& invocation) {
  if (invocation.args.size() < 2) return kDefaultCount;
  const std::string& text = invocation.args[1];
  char* end = nullptr;
  const long count = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || count < 1 || count > kMaxCount) {
    throw UsageError("N needs a number from 1 to " + std::to_string(kMaxCount) + ", not '" + text +
                     "'");
  }
  return static_cast<size_t>(count);
}

}  // namespace

int RunNext(const Invocation& invocation) {
  const size_t count = ParseCount(invocation);
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = OpenDatabase(database); code != kExitOk) return code;
  CGuid id;
  if (int code = ResolveRemindID(database, invocation.args[0], id); code != kExitOk) return code;
  CNorvBasePtr<CNorvRemind> remind;
  CString reason;
  const std::string name = "remind " + Narrow(id.GetString1());
  if (LoadRemind(database, id, remind, reason) != 1) {
    return Failure(name + " cannot be loaded", reason);
  }
  if (remind->GetState() != norvcode::kRemindActive) {
    PrintWarning(name + " is inactive and does not fire");
    return kExitOk;
  }
  const std::vector<COleDateTime> firings =
      NextFirings(*remind, COleDateTime::GetCurrentTime(), count);
  for (const COleDateTime& time : firings) PrintLine(time.Format(L"%Y-%m-%d %H:%M"));
  if (firings.empty()) PrintWarning(name + " does not fire again within ten years");
  return kExitOk;
}

}  // namespace norvhost
