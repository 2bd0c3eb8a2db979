// add, import, export, edit, list, show, state and delete: the commands on
// stored reminds.
#include <algorithm>
#include <cassert>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <map>
#include <set>
#include <system_error>

#include "core/base/CNorvCommFun.h"
#include "host/cli/DefinitionInput.h"
#include "host/cli/HostCommands.h"
#include "host/cli/HostText.h"
#include "host/cli/ProgressBar.h"
#include "host/cli/TextTable.h"
#include "host/store/DeliveryHistory.h"
#include "host/store/HostDatabase.h"
#include "host/store/RemindLoader.h"
#include "host/store/RemindSchedule.h"
#include "host/store/RemindStore.h"
#include "remind/internal/NorvCodes.h"

namespace norvhost {

namespace {

DefinitionOptions OptionsOf(const Invocation& invocation, bool idFromContent) {
  DefinitionOptions options;
  options.creator = ResolveCreator(invocation);
  options.force = invocation.Has("force");
  options.idFromContent = idFromContent;
  return options;
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
  if (int code = OpenDatabase(database); code != kExitOk) return code;
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
  // All in one folder: their texts sort as the paths do, and far cheaper.
  std::sort(files.begin(), files.end(),
            [](const auto& a, const auto& b) { return a.native() < b.native(); });
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

// Decides for each parsed definition whether it is new (stored by the
// batch), unchanged, or a changed version of a stored remind (updated with
// --replace, refused otherwise). Stored reminds are read, in bulk, only when
// a definition names one.
class ImportPlan {
 public:
  ImportPlan(HostDatabase& database, ImportBatch& batch, ProgressBar& progress, bool replace)
      : m_database(database), m_batch(batch), m_progress(progress), m_replace(replace) {}

  bool Begin(CString& reason) {
    std::vector<CGuid> ids;
    if (!ListRemindIDs(m_database, false, ids, &reason)) return false;
    m_storedIDs.insert(ids.begin(), ids.end());
    return true;
  }

  void Take(const std::string& source, ParsedDefinition& parsed) {
    CNorvRemind& remind = *parsed.remind;
    assert(!parsed.canonical.empty());
    // Moved in when new: an import keeps one text for every definition.
    const auto [taken, isNew] = m_taken.try_emplace(remind.m_ID, std::move(parsed.canonical));
    const std::string& canonical = isNew ? taken->second : parsed.canonical;
    if (!isNew && taken->second == canonical) {
      ++m_unchanged;
    } else if (!isNew) {
      Report(source,
             "another definition here has the identifier " + Narrow(remind.m_ID.GetString1()));
    } else if (m_storedIDs.count(remind.m_ID) == 0) {
      m_batch.Add(source, parsed.remind);
    } else if (CNorvRemind* stored = Stored(remind.m_ID); stored == nullptr) {
      Report(source,
             "remind " + Narrow(remind.m_ID.GetString1()) + " is stored but cannot be loaded");
    } else if (CanonicalDefinition(*stored) == canonical) {
      ++m_unchanged;
    } else if (!m_replace) {
      Report(source, "remind " + Narrow(remind.m_ID.GetString1()) +
                         " is stored with another definition; --replace updates it");
    } else {
      if (!parsed.stateGiven) remind.m_nState = stored->m_nState;
      CString reason;
      if (UpdateRemind(m_database, remind, stored->m_nType, reason)) {
        ++m_replaced;
      } else {
        Report(source, Narrow(reason));
      }
    }
  }

  size_t Unchanged() const { return m_unchanged; }
  size_t Replaced() const { return m_replaced; }

 private:
  void Report(const std::string& source, const std::string& text) {
    m_progress.Message("norvremind: " + source + ": " + text);
  }

  CNorvRemind* Stored(const CGuid& id) {
    if (!m_read) {
      // A remind that cannot be read is reported as such below.
      std::vector<UnloadableRemind> unloadable;
      CString reason;
      ReadReminds(m_database, false, m_reminds, unloadable, reason);
      for (auto& remind : m_reminds) m_stored[remind->m_ID] = remind;
      m_read = true;
    }
    const auto found = m_stored.find(id);
    return found == m_stored.end() ? nullptr : found->second;
  }

  HostDatabase& m_database;
  ImportBatch& m_batch;
  ProgressBar& m_progress;
  const bool m_replace;
  std::set<CGuid> m_storedIDs;
  std::map<CGuid, std::string> m_taken;
  std::vector<CNorvBasePtr<CNorvRemind>> m_reminds;
  std::map<CGuid, CNorvRemind*> m_stored;
  bool m_read = false;
  size_t m_unchanged = 0;
  size_t m_replaced = 0;
};

// Writes each remind as `<identifier>.xml` in `folder`; false with the
// reason at the first that cannot be written.
bool WriteDefinitions(const std::string& folder, std::vector<CNorvBasePtr<CNorvRemind>>& reminds,
                      std::string& error) {
  std::error_code failed;
  std::filesystem::create_directories(folder, failed);
  for (auto& remind : reminds) {
    const std::string path = folder + "/" + Narrow(remind->m_ID.GetString1()) + ".xml";
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << Narrow(remind->GenInfo_XML()) << '\n';
    if (failed || !file.flush()) {
      error = "cannot write " + path + (failed ? ": " + failed.message() : "");
      return false;
    }
  }
  return true;
}

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

// What `list` shows of each remind beside its definition.
struct ListedRemind {
  CNorvBasePtr<CNorvRemind> remind;
  COleDateTime next;  // null when it does not fire again
  DeliveryCounts messages{};
};

bool ListReminds(HostDatabase& database, std::vector<CNorvBasePtr<CNorvRemind>>& reminds,
                 std::vector<ListedRemind>& listed, CString& reason) {
  std::map<CString, DeliveryCounts> counts;
  if (!CountDeliveries(database, DeliveryFilter(), counts, reason)) return false;
  const COleDateTime now = COleDateTime::GetCurrentTime();
  for (auto& remind : reminds) {
    ListedRemind item;
    item.remind = remind;
    if (remind->GetState() == norvcode::kRemindActive) {
      const std::vector<COleDateTime> next = NextFirings(*remind, now, 1);
      if (!next.empty()) item.next = next.front();
    }
    if (auto found = counts.find(remind->m_ID.GetString1()); found != counts.end()) {
      item.messages = found->second;
    }
    listed.push_back(item);
  }
  return true;
}

CString NextText(const ListedRemind& item) {
  return item.next.GetStatus() == COleDateTime::valid ? item.next.Format(L"%Y-%m-%d %H:%M")
                                                      : CString();
}

// The library's short form with the next firing and the content added.
CString ListXml(ListedRemind& item) {
  CString xml = item.remind->GenListInfo_XML();
  assert(xml.Right(3) == L" />");
  xml = xml.Left(xml.GetLength() - 3);
  if (!NextText(item).IsEmpty()) xml += L" NextFiring='" + NextText(item) + L"'";
  return xml + L">" + CNorvCommFun::GenXMLNodeStr(L"Content", ContentOf(*item.remind)) +
         L"</Remind>";
}

CString ListJson(ListedRemind& item) {
  CString json = item.remind->GenListInfo_Json();
  assert(json.Right(2) == L" }");
  json = json.Left(json.GetLength() - 2);
  if (!NextText(item).IsEmpty()) json += L", \"NextFiring\": \"" + NextText(item) + L"\"";
  return json + L", " + CNorvCommFun::GenJsonNodeStr(L"Content", ContentOf(*item.remind)) + L" }";
}

CString CountText(const DeliveryCounts& counts, std::initializer_list<DeliveryStatus> statuses) {
  long total = 0;
  for (DeliveryStatus status : statuses) total += counts[static_cast<int>(status)];
  CString text;
  text.Format(L"%ld", total);
  return text;
}

// The state column only matters when inactive reminds are listed too.
void PrintRemindTable(std::vector<ListedRemind>& reminds, bool withState) {
  if (reminds.empty()) {
    PrintLine(std::string("no reminds"));
    return;
  }
  TextTable table;
  table.AddColumn(L"ID");
  if (withState) table.AddColumn(L"STATE");
  table.AddColumn(L"TYPE");
  table.AddColumn(L"WHEN", 36);
  table.AddColumn(L"RECEIVERS", 20);
  table.AddColumn(L"CONTENT", 28);
  table.AddColumn(L"NEXT");
  table.AddColumn(L"SENT");
  table.AddColumn(L"FAILED");
  table.AddColumn(L"WAITING");
  for (ListedRemind& item : reminds) {
    CNorvRemind& remind = *item.remind;
    std::vector<CString> row = {
        ShortID(remind.m_ID.GetString1()),
        TypeName(remind.GetType()),
        DescribeWhen(remind),
        DescribeReceivers(remind),
        ContentOf(remind),
        NextText(item).IsEmpty() ? CString(L"-") : NextText(item),
        CountText(item.messages, {DeliveryStatus::kSent}),
        CountText(item.messages, {DeliveryStatus::kFailed}),
        CountText(item.messages, {DeliveryStatus::kWaiting, DeliveryStatus::kBeingSent,
                                  DeliveryStatus::kRetrying})};
    if (withState) row.insert(row.begin() + 1, StateName(remind.GetState()));
    table.AddRow(std::move(row));
  }
  std::fputs(table.Render().c_str(), stdout);
}

}  // namespace

int ResolveRemindID(HostDatabase& database, const std::string& text, CGuid& id) {
  CString reason;
  return FindRemindID(database, text, id, reason) ? kExitOk : Failure(reason);
}

int LoadReminds(HostDatabase& database, bool activeOnly,
                std::vector<CNorvBasePtr<CNorvRemind>>& reminds) {
  std::vector<UnloadableRemind> unloadable;
  CString reason;
  if (!ReadReminds(database, activeOnly, reminds, unloadable, reason)) {
    return Failure("cannot read the reminds", reason);
  }
  for (const auto& [id, why] : unloadable) {
    PrintError("remind " + Narrow(id.GetString1()) + " cannot be loaded: " + Narrow(why));
  }
  return unloadable.empty() ? kExitOk : kExitFailure;
}

int RunAdd(const Invocation& invocation) {
  std::string text;
  std::string source;
  CString reason;
  if (!ReadInputText(invocation, text, source, reason)) return Failure(reason);
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = OpenDatabase(database); code != kExitOk) return code;
  ParsedDefinition parsed;
  if (!ParseDefinition(text, source, OptionsOf(invocation, false), parsed, reason)) {
    return Failure(reason);
  }
  CNorvBasePtr<CNorvRemind> stored;
  const std::string id = Narrow(parsed.remind->m_ID.GetString1());
  if (parsed.idGiven && LoadRemind(database, parsed.remind->m_ID, stored, reason) == 1) {
    PrintError(source + ": remind " + id + " exists; `norvremind edit " + id + " " + source +
               "` changes it");
    return kExitFailure;
  }
  if (!StoreRemind(database, parsed.remind, reason)) return Failure(source, reason);
  WarnIfPast(*parsed.remind);
  PrintLine(id);
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
  if (int code = OpenDatabase(database); code != kExitOk) return code;
  const DefinitionOptions options = OptionsOf(invocation, true);
  const DefinitionLimits limits = LimitsOf(invocation, true);

  ProgressBar progress(files.size());
  ImportBatch batch(database, progress);
  ImportPlan plan(database, batch, progress, invocation.Has("replace"));
  CString reason;
  if (!plan.Begin(reason)) return Failure("cannot read the reminds", reason);
  for (size_t i = 0; i < files.size(); ++i) {
    progress.Update(i, files[i].filename().string());
    std::string text;
    ParsedDefinition parsed;
    if (!ReadDefinition(files[i].string(), limits, text, error)) {
      progress.Message("norvremind: " + error);
    } else if (!ParseDefinition(text, files[i].string(), options, parsed, reason)) {
      progress.Message("norvremind: " + Narrow(reason));
    } else {
      plan.Take(files[i].string(), parsed);
    }
  }
  batch.Flush();
  const size_t stored = batch.Stored() + plan.Replaced();
  progress.Finish();
  const size_t failed = files.size() - stored - plan.Unchanged();
  const auto part = [](size_t count, const char* what) {
    return count > 0 ? "; " + std::to_string(count) + what : std::string();
  };
  PrintLine("imported " + std::to_string(stored) + " of " + std::to_string(files.size()) +
            " definitions from " + folder + part(plan.Replaced(), " replaced") +
            part(plan.Unchanged(), " unchanged") + part(failed, " failed"));
  return failed > 0 ? kExitFailure : kExitOk;
}

int RunExport(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = OpenDatabase(database); code != kExitOk) return code;
  std::vector<CNorvBasePtr<CNorvRemind>> reminds;
  int result = kExitOk;
  if (invocation.args.size() == 1) result = LoadReminds(database, false, reminds);
  for (size_t i = 1; i < invocation.args.size(); ++i) {
    CGuid id;
    if (int code = ResolveRemindID(database, invocation.args[i], id); code != kExitOk) return code;
    CString reason;
    if (LoadRemind(database, id, reminds.emplace_back(), reason) != 1) {
      return Failure("remind " + Narrow(id.GetString1()) + " cannot be loaded", reason);
    }
  }
  std::string error;
  if (!WriteDefinitions(invocation.args[0], reminds, error)) {
    PrintError(error);
    return kExitFailure;
  }
  PrintLine("exported " + std::to_string(reminds.size()) +
            (reminds.size() == 1 ? " remind to " : " reminds to ") + invocation.args[0]);
  return result;
}

int RunEdit(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  CGuid id;
  if (int code = OpenNamedRemind(invocation, database, id); code != kExitOk) return code;
  const std::string name = "remind " + Narrow(id.GetString1());
  CNorvBasePtr<CNorvRemind> stored;
  CString reason;
  if (LoadRemind(database, id, stored, reason) != 1) {
    return Failure(name + " cannot be loaded", reason);
  }
  const std::string path = invocation.args[1];
  std::string text;
  std::string error;
  if (!ReadDefinition(path, LimitsOf(invocation, false), text, error)) {
    PrintError(error);
    return kExitFailure;
  }
  ParsedDefinition parsed;
  if (!ParseDefinition(text, path, OptionsOf(invocation, false), parsed, reason)) {
    PrintError(Narrow(reason));
    return kExitFailure;
  }
  CNorvRemind& remind = *parsed.remind;
  if (parsed.idGiven && remind.m_ID != id) {
    PrintError(path + " defines remind " + Narrow(remind.m_ID.GetString1()) + ", not " + name);
    return kExitFailure;
  }
  remind.m_ID = id;
  if (!parsed.stateGiven) remind.m_nState = stored->m_nState;
  if (!UpdateRemind(database, remind, stored->m_nType, reason)) {
    return Failure("cannot change " + name, reason);
  }
  PrintLine(name + " updated");
  return kExitOk;
}

int RunList(const Invocation& invocation) {
  RequireOneFormat(invocation);
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = OpenDatabase(database); code != kExitOk) return code;
  std::vector<CNorvBasePtr<CNorvRemind>> reminds;
  const bool all = invocation.Has("all");
  const int result = LoadReminds(database, !all, reminds);
  std::vector<ListedRemind> listed;
  CString reason;
  if (!ListReminds(database, reminds, listed, reason)) {
    return Failure("cannot count the instant messages", reason);
  }
  if (invocation.Has("xml")) {
    CString xml = L"<Body>";
    for (auto& item : listed) xml += ListXml(item);
    PrintLine(xml + L"</Body>");
  } else if (invocation.Has("json")) {
    PrintLine(JsonArray(listed, ListJson));
  } else {
    PrintRemindTable(listed, all);
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
