// add, import, list, show, state and delete: the commands on stored reminds.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "host/HostCommands.h"
#include "host/HostDatabase.h"
#include "host/HostText.h"
#include "host/ProgressBar.h"
#include "host/RemindSchedule.h"
#include "host/RemindStore.h"
#include "host/TextTable.h"

namespace norvhost {

namespace {

// A definition parsed and stored; the reason otherwise.
bool AddDefinition(HostDatabase& database, const std::string& text, const Creator& creator,
                   CNorvBasePtr<CNorvRemind>& remind, CString& errorText) {
  return ParseDefinition(text, creator, remind, errorText) &&
         StoreRemind(database, remind, errorText);
}

void WarnIfPast(CNorvRemind& remind, const std::string& source) {
  if (remind.GetType() != CNorvRemind::kOneOff) return;
  if (remind.m_dtRemind <= COleDateTime::GetCurrentTime()) {
    PrintWarning(source + "the remind time " +
                 Narrow(remind.m_dtRemind.Format(L"%Y-%m-%d %H:%M:%S")) +
                 " has passed; the daemon will expire this remind instead of sending it");
  }
}

std::vector<std::filesystem::path> DefinitionFiles(const std::string& folder,
                                                   std::string& error) {
  std::vector<std::filesystem::path> files;
  std::error_code failed;
  std::filesystem::directory_iterator entries(folder, failed);
  if (failed) {
    error = "cannot read the folder " + folder + ": " + failed.message();
    return files;
  }
  for (const auto& entry : entries) {
    if (entry.path().extension() == ".xml" && !entry.is_directory()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

short ParseState(const std::string& text) {
  if (text != "0" && text != "1") {
    throw UsageError("STATE is 0 (active) or 1 (inactive), not '" + text + "'");
  }
  return static_cast<short>(text[0] - '0');
}

void PrintRemindTable(std::vector<CNorvBasePtr<CNorvRemind>>& reminds) {
  if (reminds.empty()) {
    PrintLine(std::string("no reminds"));
    return;
  }
  TextTable table;
  table.AddColumn(L"ID");
  table.AddColumn(L"STATE");
  table.AddColumn(L"TYPE");
  table.AddColumn(L"WHEN", 48);
  table.AddColumn(L"RECEIVERS", 24);
  table.AddColumn(L"CONTENT", 40);
  for (auto& remind : reminds) {
    CString content;
    CString contentType;
    remind->GetContent(content, contentType);
    table.AddRow({ShortID(remind->m_ID.GetString1()), StateName(remind->GetState()),
                  TypeName(remind->GetType()), DescribeWhen(*remind),
                  DescribeReceivers(*remind), content});
  }
  std::fputs(table.Render().c_str(), stdout);
}

}  // namespace

int RunAdd(const Invocation& invocation) {
  const std::string path = invocation.args.empty() ? "-" : invocation.args[0];
  std::string text;
  if (path == "-") {
    text = ReadStandardInput();
  } else if (std::string error; !ReadTextFile(path, text, error)) {
    PrintError(error);
    return kExitFailure;
  }
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = database.Open(); code != kExitOk) return code;
  CNorvBasePtr<CNorvRemind> remind;
  CString reason;
  if (!AddDefinition(database, text, ResolveCreator(invocation), remind, reason)) {
    PrintError((path == "-" ? std::string("standard input") : path) + ": " + Narrow(reason));
    return kExitFailure;
  }
  WarnIfPast(*remind, "");
  PrintLine(remind->m_ID.GetString1());
  return kExitOk;
}

int RunImport(const Invocation& invocation) {
  const std::string folder = invocation.args[0];
  std::string error;
  const std::vector<std::filesystem::path> files = DefinitionFiles(folder, error);
  if (!error.empty()) {
    PrintError(error);
    return kExitFailure;
  }
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = database.Open(); code != kExitOk) return code;
  const Creator creator = ResolveCreator(invocation);

  ProgressBar progress(files.size());
  size_t stored = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string name = files[i].filename().string();
    progress.Update(i, name);
    std::string text;
    CNorvBasePtr<CNorvRemind> remind;
    CString reason;
    if (!ReadTextFile(files[i].string(), text, error)) {
      progress.Message("norvremind: " + error);
    } else if (!AddDefinition(database, text, creator, remind, reason)) {
      progress.Message("norvremind: " + files[i].string() + ": " + Narrow(reason));
    } else {
      ++stored;
    }
  }
  progress.Update(files.size(), "");
  progress.Finish();
  const size_t failed = files.size() - stored;
  PrintLine("imported " + std::to_string(stored) + " of " + std::to_string(files.size()) +
            " definitions from " + folder +
            (failed > 0 ? "; " + std::to_string(failed) + " failed" : ""));
  return failed > 0 ? kExitFailure : kExitOk;
}

int RunList(const Invocation& invocation) {
  if (invocation.Has("xml") && invocation.Has("json")) {
    throw UsageError("give --xml or --json, not both");
  }
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = database.Open(); code != kExitOk) return code;
  std::vector<CGuid> ids;
  CString reason;
  if (!ListRemindIDs(database, !invocation.Has("all"), ids, &reason)) {
    PrintError("cannot read the reminds: " + Narrow(reason));
    return kExitFailure;
  }
  int result = kExitOk;
  std::vector<CNorvBasePtr<CNorvRemind>> reminds;
  for (const CGuid& id : ids) {
    CNorvBasePtr<CNorvRemind> remind;
    if (LoadRemind(database, id, remind, reason) == 1) {
      reminds.push_back(remind);
    } else {
      PrintError("remind " + Narrow(id.GetString1()) + " cannot be loaded: " + Narrow(reason));
      result = kExitFailure;
    }
  }
  if (invocation.Has("xml")) {
    CString xml = L"<Body>";
    for (auto& remind : reminds) xml += remind->GenListInfo_XML();
    PrintLine(xml + L"</Body>");
  } else if (invocation.Has("json")) {
    CString json;
    for (auto& remind : reminds) json += (json.IsEmpty() ? L"" : L", ") + remind->GenListInfo_Json();
    PrintLine(json.IsEmpty() ? CString(L"[]") : L"[ " + json + L" ]");
  } else {
    PrintRemindTable(reminds);
  }
  return result;
}

int RunShow(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = database.Open(); code != kExitOk) return code;
  CGuid id;
  if (int code = ResolveRemindID(database, invocation.args[0], id); code != kExitOk) return code;
  CNorvBasePtr<CNorvRemind> remind;
  CString reason;
  if (LoadRemind(database, id, remind, reason) != 1) {
    PrintError("remind " + Narrow(id.GetString1()) + " cannot be loaded: " + Narrow(reason));
    return kExitFailure;
  }
  PrintLine(invocation.Has("json") ? remind->GenInfo_Json() : remind->GenInfo_XML());
  return kExitOk;
}

int RunState(const Invocation& invocation) {
  const short state = ParseState(invocation.args[1]);
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = database.Open(); code != kExitOk) return code;
  CGuid id;
  if (int code = ResolveRemindID(database, invocation.args[0], id); code != kExitOk) return code;
  CString reason;
  if (!SetRemindState(database, id, state, reason)) {
    PrintError("cannot set the state of remind " + Narrow(id.GetString1()) + ": " +
               Narrow(reason));
    return kExitFailure;
  }
  PrintLine("remind " + Narrow(id.GetString1()) + " is now " + Narrow(StateName(state)));
  return kExitOk;
}

int RunDelete(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = database.Open(); code != kExitOk) return code;
  CGuid id;
  if (int code = ResolveRemindID(database, invocation.args[0], id); code != kExitOk) return code;
  CString reason;
  if (!DeleteRemind(database, id, reason)) {
    PrintError("cannot delete remind " + Narrow(id.GetString1()) + ": " + Narrow(reason));
    return kExitFailure;
  }
  PrintLine("deleted remind " + Narrow(id.GetString1()));
  return kExitOk;
}

}  // namespace norvhost
