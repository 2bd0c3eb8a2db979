// The host's figures at scale: planning a day, `due` and `import`, each
// against the same rows written or read with the bare SQLite API.
//
//   host_figures plan|due|import SIZE
//
// prints "<ours> <baseline> <items>": the two times in seconds and how many
// messages, reminds or definitions they cover. run.sh judges them.
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/base/COleDateTimeSpan.h"
#include "host/cli/HostCommands.h"
#include "host/cli/HostOptions.h"
#include "host/daemon/DaemonPlanner.h"
#include "host/daemon/SendLedger.h"
#include "host/store/HostDatabase.h"
#include "host/store/RemindStore.h"
#include "manager/CNorvRemindMgr.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kReceivers = 2;
constexpr size_t kImportBatch = 500;

double Seconds(const std::function<void()>& work) {
  const Clock::time_point start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs `work` with standard output and error going nowhere: the host logs a
// line per firing and prints a row per remind.
double QuietSeconds(const std::function<void()>& work) {
  std::fflush(stdout);
  std::fflush(stderr);
  const int savedOut = dup(1);
  const int savedErr = dup(2);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  dup2(null, 2);
  const double seconds = Seconds(work);
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(savedOut, 1);
  dup2(savedErr, 2);
  close(null);
  close(savedOut);
  close(savedErr);
  return seconds;
}

std::string Definition(size_t i) {
  char time[48];
  std::snprintf(time, sizeof time, "%02zu:%02zu", 8 + i % 12, i % 60);
  const std::string n = std::to_string(i);
  return "<Remind Type='1' SendFlag='1'><Content>Remind " + n + "</Content><Repeat RemindTime='" +
         time +
         "' RegularType='0' RegularValue='0' Interval='1' DTStart='2026-01-01' />"
         "<ReceiverList><Receiver ID='a" +
         n + "' Name='A " + n + "' /><Receiver ID='b" + n + "' Name='B " + n +
         "' /></ReceiverList></Remind>";
}

norvhost::DatabaseSettings Settings(const std::string& file) {
  norvhost::DatabaseSettings settings;
  settings.connection = "sqlite:" + file;
  settings.display = file;
  settings.sqlitePath = file;
  settings.isDefault = false;
  return settings;
}

void Populate(const std::string& file, size_t reminds) {
  norvhost::HostDatabase database(Settings(file));
  bool created = false;
  CString reason;
  if (database.OpenForInit(created, reason) != norvhost::OpenResult::kOpened) std::exit(1);
  norvhost::DefinitionOptions options;
  options.creator = norvhost::Creator{"bench", "bench"};
  std::vector<CNorvBasePtr<CNorvRemind>> batch;
  for (size_t i = 0; i < reminds; ++i) {
    norvhost::ParsedDefinition parsed;
    if (!norvhost::ParseDefinition(Definition(i), "bench", options, parsed, reason)) std::exit(1);
    batch.push_back(parsed.remind);
    if (batch.size() == 1000 || i + 1 == reminds) {
      std::vector<CNorvRemind*> pointers;
      for (auto& item : batch) pointers.push_back(item);
      if (!norvhost::StoreReminds(database, pointers, reason)) std::exit(1);
      batch.clear();
    }
  }
}

// The bare API's connection; the schema's date collation, as plain bytes.
class Bare {
 public:
  explicit Bare(const std::string& file) {
    if (sqlite3_open(file.c_str(), &m_db) != SQLITE_OK) Fail();
    sqlite3_create_collation(m_db, "NORV_DATETIME", SQLITE_UTF8, nullptr,
                             [](void*, int n1, const void* a, int n2, const void* b) {
                               const int common = std::memcmp(a, b, std::min(n1, n2));
                               return common != 0 ? common : n1 - n2;
                             });
  }
  ~Bare() {
    for (sqlite3_stmt* statement : m_statements) sqlite3_finalize(statement);
    sqlite3_close(m_db);
  }
  void Exec(const char* sql) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
  }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK) Fail();
    m_statements.push_back(statement);
    return statement;
  }
  // Binds texts to the places in order and runs the statement once.
  void Run(sqlite3_stmt* statement, const std::vector<std::string>& values) {
    for (size_t i = 0; i < values.size(); ++i) {
      sqlite3_bind_text(statement, static_cast<int>(i + 1), values[i].c_str(), -1,
                        SQLITE_TRANSIENT);
    }
    if (sqlite3_step(statement) != SQLITE_DONE) Fail();
    sqlite3_reset(statement);
  }

 private:
  [[noreturn]] void Fail() {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(m_db));
    std::exit(1);
  }
  sqlite3* m_db = nullptr;
  std::vector<sqlite3_stmt*> m_statements;
};

// A random identifier in the text form the library writes: rows keyed by
// random texts cost the index more than counted ones, and ours are random.
std::string RowID() {
  static std::mt19937_64 random(42);
  static const char kDigits[] = "0123456789ABCDEF";
  std::string id;
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) id += '-';
    id += kDigits[random() & 0xF];
  }
  return id;
}

COleDateTime Tomorrow() {
  const COleDateTime now = COleDateTime::GetCurrentTime();
  return COleDateTime(now.GetYear(), now.GetMonth(), now.GetDay(), 0, 0, 0) +
         COleDateTimeSpan(1, 0, 0, 0);
}

double PlanOurs(const std::string& file) {
  norvhost::HostDatabase database(Settings(file));
  CString reason;
  if (database.Open(reason) != norvhost::OpenResult::kOpened) std::exit(1);
  CNorvRemindMgr manager;
  if (!manager.InitData(database.session(), database.kind(), reason)) std::exit(1);
  norvhost::SendLedger ledger;
  norvhost::DaemonPlanner planner(database, manager, ledger);
  return QuietSeconds([&] { planner.PlanDay(Tomorrow(), [] { return false; }); });
}

// The rows a day's plan writes: an inbox row and an instant message per
// receiver, in one transaction.
double PlanBare(const std::string& file, size_t reminds) {
  Bare bare(file);
  const std::string day = std::string(Tomorrow().Format(L"%Y-%m-%d").ToUtf8());
  return Seconds([&] {
    bare.Exec("BEGIN");
    sqlite3_stmt* inbox = bare.Prepare(
        "INSERT INTO NORV_REMIND_MSG ( CN_G_ID, CN_G_REMIND_ID, CN_S_CONTENT, CN_S_CONTENT_TYPE, "
        "CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_T_REMIND, CN_N_STATUS ) "
        "VALUES ( ?, ?, ?, '', ?, ?, ?, 0 )");
    sqlite3_stmt* instant = bare.Prepare(
        "INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID, CN_G_REMIND_ID, CN_T_REMIND, "
        "CN_S_CONTENT_TYPE, CN_S_CONTENT, CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_N_STATUS ) "
        "VALUES ( ?, ?, ?, '', ?, ?, ?, 0 )");
    for (size_t i = 0; i < reminds; ++i) {
      const std::string remind = RowID();
      const std::string content = "Remind " + std::to_string(i);
      const std::string time = day + " 09:30:00";
      for (size_t j = 0; j < kReceivers; ++j) {
        const std::string receiver = "a" + std::to_string(i);
        bare.Run(inbox, {RowID(), remind, content, receiver, receiver, time});
        bare.Run(instant, {RowID(), remind, time, content, receiver, receiver});
      }
    }
    bare.Exec("COMMIT");
  });
}

// Days since 1970-01-01 of a proleptic Gregorian date.
long DaysFromCivil(int year, unsigned month, unsigned day) {
  using namespace std::chrono;
  return sys_days(year_month_day(std::chrono::year(year), std::chrono::month(month),
                                 std::chrono::day(day)))
      .time_since_epoch()
      .count();
}

double DueOurs(const std::string& file) {
  const std::string day = std::string(Tomorrow().Format(L"%Y-%m-%d").ToUtf8());
  const norvhost::Invocation invocation =
      norvhost::ParseCommandLine({"due", "--date", day, "--db", file}, norvhost::Commands());
  return QuietSeconds([&] {
    if (invocation.command->handler(invocation) != norvhost::kExitOk) std::exit(1);
  });
}

// Reads the active reminds, their receivers and rules, keeps those a daily
// rule fires tomorrow, sorts them by time and prints a line each.
double DueBare(const std::string& file) {
  Bare bare(file);
  const COleDateTime tomorrow = Tomorrow();
  const long tomorrowDays =
      DaysFromCivil(tomorrow.GetYear(), tomorrow.GetMonth(), tomorrow.GetDay());
  return QuietSeconds([&] {
    struct Row {
      std::string time, id, content, receivers;
    };
    std::map<std::string, std::string> receivers;
    sqlite3_stmt* names = bare.Prepare(
        "SELECT CN_G_REMIND_ID, CN_S_RECEIVE_NAME FROM NORV_REMIND_RECEIVE "
        "ORDER BY CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_NAME");
    while (sqlite3_step(names) == SQLITE_ROW) {
      std::string& list = receivers[reinterpret_cast<const char*>(sqlite3_column_text(names, 0))];
      if (!list.empty()) list += ", ";
      list += reinterpret_cast<const char*>(sqlite3_column_text(names, 1));
    }
    sqlite3_stmt* reminds = bare.Prepare(
        "SELECT d.CN_G_ID, d.CN_S_CONTENT, r.CN_S_REMIND_TIME, r.CN_D_START, r.CN_N_INTERVAL "
        "FROM NORV_REMIND_DEF d JOIN NORV_REMIND_REPEAT r ON r.CN_G_REMIND_ID = d.CN_G_ID "
        "WHERE d.CN_N_STATE = 0 ORDER BY d.CN_T_CREATE, d.CN_G_ID");
    std::vector<Row> due;
    while (sqlite3_step(reminds) == SQLITE_ROW) {
      int year = 0, month = 0, dayOfMonth = 0;
      std::sscanf(reinterpret_cast<const char*>(sqlite3_column_text(reminds, 3)), "%d-%d-%d", &year,
                  &month, &dayOfMonth);
      const long days = tomorrowDays - DaysFromCivil(year, month, dayOfMonth);
      const int interval = sqlite3_column_int(reminds, 4);
      if (days < 0 || interval <= 0 || days % interval != 0) continue;
      const std::string id = reinterpret_cast<const char*>(sqlite3_column_text(reminds, 0));
      due.push_back({reinterpret_cast<const char*>(sqlite3_column_text(reminds, 2)), id,
                     reinterpret_cast<const char*>(sqlite3_column_text(reminds, 1)),
                     receivers[id]});
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const Row& a, const Row& b) { return a.time < b.time; });
    for (const Row& row : due) {
      std::printf("%-8s  %.8s  periodic  %-28s  %s\n", row.time.c_str(), row.id.c_str(),
                  row.receivers.c_str(), row.content.c_str());
    }
  });
}

double ImportOurs(const std::string& folder, const std::string& file) {
  const norvhost::Invocation invocation =
      norvhost::ParseCommandLine({"import", folder, "--db", file}, norvhost::Commands());
  return QuietSeconds([&] {
    if (invocation.command->handler(invocation) != norvhost::kExitOk) std::exit(1);
  });
}

// The rows an import writes (definition, receivers, rule), a transaction per
// batch of the size the host uses.
double ImportBare(const std::string& file, size_t definitions) {
  Bare bare(file);
  return Seconds([&] {
    sqlite3_stmt* definition = bare.Prepare(
        "INSERT INTO NORV_REMIND_DEF ( CN_G_ID, CN_N_STATE, CN_N_TYPE, CN_N_SEND_FLAG, CN_S_FROM, "
        "CN_T_REMIND, CN_D_INVALID, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_CONTENT, "
        "CN_S_CONTENT_TYPE, CN_S_REMIND_STYLE_DEF ) "
        "VALUES ( ?, 0, 1, 1, '', NULL, NULL, 'bench', 'bench', ?, ?, '', '' )");
    sqlite3_stmt* receiver = bare.Prepare(
        "INSERT INTO NORV_REMIND_RECEIVE ( CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, "
        "CN_S_RECEIVE_NAME ) VALUES ( ?, 0, ?, ? )");
    sqlite3_stmt* rule = bare.Prepare(
        "INSERT INTO NORV_REMIND_REPEAT ( CN_G_REMIND_ID, CN_S_REMIND_TIME, CN_N_REGULAR_TYPE, "
        "CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_D_START, CN_D_END, "
        "CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT ) VALUES ( ?, '09:30', 0, 1, 0, 0, "
        "'2026-01-01 00:00:00', NULL, 0, 0 )");
    for (size_t i = 0; i < definitions; ++i) {
      if (i % kImportBatch == 0) bare.Exec(i == 0 ? "BEGIN" : "COMMIT; BEGIN");
      const std::string id = RowID();
      const std::string n = std::to_string(i);
      bare.Run(definition, {id, "2026-12-06 02:00:00", "Remind " + n});
      bare.Run(receiver, {id, "a" + n, "A " + n});
      bare.Run(receiver, {id, "b" + n, "B " + n});
      bare.Run(rule, {id});
    }
    bare.Exec("COMMIT");
  });
}

void Fresh(const std::string& file) {
  norvhost::HostDatabase database(Settings(file));
  bool created = false;
  CString reason;
  if (database.OpenForInit(created, reason) != norvhost::OpenResult::kOpened) std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: host_figures plan|due|import SIZE\n");
    return 2;
  }
  const std::string figure = argv[1];
  const size_t size = std::strtoul(argv[2], nullptr, 10);
  const fs::path work = fs::temp_directory_path() / ("host_figures." + std::to_string(getpid()));
  fs::create_directories(work);
  const std::string ours = (work / "ours.db").string();
  const std::string bare = (work / "bare.db").string();
  double oursSeconds = 0;
  double bareSeconds = 0;
  size_t items = size;
  if (figure == "import") {
    const fs::path folder = work / "definitions";
    fs::create_directories(folder);
    for (size_t i = 0; i < size; ++i) {
      std::ofstream(folder / (std::to_string(i) + ".xml")) << Definition(i);
    }
    Fresh(ours);
    Fresh(bare);
    oursSeconds = ImportOurs(folder.string(), ours);
    bareSeconds = ImportBare(bare, size);
  } else {
    Populate(ours, size);
    fs::copy_file(ours, bare);
    if (figure == "due") {
      oursSeconds = DueOurs(ours);
      bareSeconds = DueBare(bare);
    } else {
      items = size * kReceivers;
      oursSeconds = PlanOurs(ours);
      bareSeconds = PlanBare(bare, size);
    }
  }
  fs::remove_all(work);
  std::printf("%.6f %.6f %zu\n", oursSeconds, bareSeconds, items);
  return 0;
}
