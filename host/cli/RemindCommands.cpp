// add, import, list, show, state and delete: the commands on stored reminds.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>

#include "host/cli/DefinitionInput.h"
#include "host/cli/HostCommands.h"
#include "host/cli/HostText.h"
#include "host/cli/ProgressBar.h"
#include "host/cli/TextTable.h"
#include "host/store/HostDatabase.h"
#include "host/store/RemindSchedule.h"
#include "host/store/RemindStore.h"

namespace norvhost {

namespace {

// A definition parsed and stored; the reason otherwise.
bool AddDefinition(HostDatabase& database, const std::string& text, const Creator& creator,
                   CNorvBasePtr<CNorvRemind>& remind, CString& errorText) {
  return ParseDefinition(text, creator, remind, errorText) &&
         StoreRemind(database, remind, errorText);
}

void WarnIfPast(CNorvRemind& remind) {
  if (remind.GetType() != CNorvRemind::kOneOff) return;
  if (remind.m_dtRemind <= COleDateTime::GetCurrentTime()) {
    PrintWarning("the remind time " + Narrow(remind.m_dtRemind.Format(L"%Y-%m-%d %H:%M:%S")) +
                 " has passed; the daemon will expire this remind instead of sending it");
  }
}

// Opens the database and finds the remind the first argument names; an
// exit code.
int OpenNamedRemind(const Invocation& invocation, HostDatabase& database, CGuid& id) {
  if (int code = database.Open(); code != kExitOk) return code;
  return ResolveRemindID(database, invocation.args[0], id);
}

std::vector<std::filesystem::path> DefinitionFiles(const std::string& folder, std::string& error) {
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

// Stores parsed definitions a batch per transaction. When a batch fails,
// its definitions are stored one by one, so that each bad one is reported
// and the good ones are kept.
class ImportBatch {
 public:
  ImportBatch(HostDatabase& database, ProgressBar& progress)
      : m_database(database), m_progress(progress) {}

  void Add(std::string source, CNorvBasePtr<CNorvRemind> remind) {
    m_sources.push_back(std::move(source));
    m_reminds.push_back(std::move(remind));
    if (m_reminds.size() == kDefinitions) Flush();
  }

  void Flush() {
    std::vector<CNorvRemind*> reminds;
    for (auto& remind : m_reminds) reminds.push_back(remind);
    CString reason;
    if (StoreReminds(m_database, reminds, reason)) {
      m_stored += reminds.size();
    } else {
      for (size_t i = 0; i < reminds.size(); ++i) {
        if (StoreRemind(m_database, reminds[i], reason)) {
          ++m_stored;
        } else {
          m_progress.Message("norvremind: " + m_sources[i] + ": " + Narrow(reason));
        }
      }
    }
    m_sources.clear();
    m_reminds.clear();
  }

  size_t Stored() const { return m_stored; }

 private:
  // Commits cost little next to the rows; a failing batch stays cheap to redo.
  static constexpr size_t kDefinitions = 500;

  HostDatabase& m_database;
  ProgressBar& m_progress;
  std::vector<std::string> m_sources;
  std::vector<CNorvBasePtr<CNorvRemind>> m_reminds;
  size_t m_stored = 0;
};

short ParseState(const std::string& text) {
  if (text != "0" && text != "1") {
    throw UsageError("STATE is 0 (active) or 1 (inactive), not '" + text + "'");
  }
  return static_cast<short>(text[0] - '0');
}

// Applies `change` to the remind the first argument names and says how it
// went: "remind <id> <done>".
int ChangeRemind(const Invocation& invocation, const std::string& done,
                 const std::function<bool(HostDatabase&, const CGuid&, CString&)>& change) {
  HostDatabase database(ResolveDatabase(invocation));
  CGuid id;
  if (int code = OpenNamedRemind(invocation, database, id); code != kExitOk) return code;
  const std::string name = "remind " + Narrow(id.GetString1());
  CString reason;
  if (!change(database, id, reason)) return Failure("cannot change " + name, reason);
  PrintLine(name + " " + done);
  return kExitOk;
}

// The state column only matters when inactive reminds are listed too.
void PrintRemindTable(std::vector<CNorvBasePtr<CNorvRemind>>& reminds, bool withState) {
  if (reminds.empty()) {
    PrintLine(std::string("no reminds"));
    return;
  }
  TextTable table;
  table.AddColumn(L"ID");
  if (withState) table.AddColumn(L"STATE");
  table.AddColumn(L"TYPE");
  table.AddColumn(L"WHEN", 48);
  table.AddColumn(L"RECEIVERS", 20);
  table.AddColumn(L"CONTENT", 40);
  for (auto& remind : reminds) {
    std::vector<CString> row = {ShortID(remind->m_ID.GetString1()), TypeName(remind->GetType()),
                                DescribeWhen(*remind), DescribeReceivers(*remind),
                                ContentOf(*remind)};
    if (withState) row.insert(row.begin() + 1, StateName(remind->GetState()));
    table.AddRow(std::move(row));
  }
  std::fputs(table.Render().c_str(), stdout);
}

}  // namespace

int RunAdd(const Invocation& invocation) {
  std::string text;
  std::string source;
  CString reason;
  if (!ReadInputText(invocation, text, source, reason)) return Failure(reason);
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = database.Open(); code != kExitOk) return code;
  CNorvBasePtr<CNorvRemind> remind;
  if (!AddDefinition(database, text, ResolveCreator(invocation), remind, reason)) {
    return Failure(source, reason);
  }
  WarnIfPast(*remind);
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
  const DefinitionLimits limits = LimitsOf(invocation, true);

  ProgressBar progress(files.size());
  ImportBatch batch(database, progress);
  for (size_t i = 0; i < files.size(); ++i) {
    progress.Update(i, files[i].filename().string());
    std::string text;
    CNorvBasePtr<CNorvRemind> remind;
    CString reason;
    if (!ReadDefinition(files[i].string(), limits, text, error)) {
      progress.Message("norvremind: " + error);
    } else if (!ParseDefinition(text, creator, remind, reason)) {
      progress.Message("norvremind: " + files[i].string() + ": " + Narrow(reason));
    } else {
      batch.Add(files[i].string(), remind);
    }
  }
  batch.Flush();
  const size_t stored = batch.Stored();
  progress.Finish();
  const size_t failed = files.size() - stored;
  PrintLine("imported " + std::to_string(stored) + " of " + std::to_string(files.size()) +
            " definitions from " + folder +
            (failed > 0 ? "; " + std::to_string(failed) + " failed" : ""));
  return failed > 0 ? kExitFailure : kExitOk;
}

int RunList(const Invocation& invocation) {
  RequireOneFormat(invocation);
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = database.Open(); code != kExitOk) return code;
  std::vector<CNorvBasePtr<CNorvRemind>> reminds;
  const bool all = invocation.Has("all");
  const int result = LoadReminds(database, !all, reminds);
  if (invocation.Has("xml")) {
    CString xml = L"<Body>";
    for (auto& remind : reminds) xml += remind->GenListInfo_XML();
    PrintLine(xml + L"</Body>");
  } else if (invocation.Has("json")) {
    std::vector<CString> items;
    for (auto& remind : reminds) items.push_back(remind->GenListInfo_Json());
    PrintLine(JsonArray(items));
  } else {
    PrintRemindTable(reminds, all);
  }
  return result;
}

int RunShow(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  CGuid id;
  if (int code = OpenNamedRemind(invocation, database, id); code != kExitOk) return code;
  CNorvBasePtr<CNorvRemind> remind;
  CString reason;
  if (LoadRemind(database, id, remind, reason) != 1) {
    return Failure("remind " + Narrow(id.GetString1()) + " cannot be loaded", reason);
  }
  PrintLine(invocation.Has("json") ? remind->GenInfo_Json() : remind->GenInfo_XML());
  return kExitOk;
}

int RunState(const Invocation& invocation) {
  const short state = ParseState(invocation.args[1]);
  return ChangeRemind(invocation, "is now " + Narrow(StateName(state)),
                      [state](HostDatabase& database, const CGuid& id, CString& reason) {
                        return SetRemindState(database, id, state, reason);
                      });
}

int RunDelete(const Invocation& invocation) {
  return ChangeRemind(invocation, "deleted", DeleteRemind);
}

}  // namespace norvhost
