#include "NorvScratchDatabase.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>

#include "core/db/CNorvDBFun.h"
#include "core/db/CNorvRecordSet.h"

namespace norvtest {

namespace {

int Run(CSession& session, const std::string& statement, CString* error) {
  return CNorvDBFun::RunSQL(session, CString::FromUtf8(statement), error, __FILE__, __LINE__);
}

// The cluster's connection text pointed at another database: the path of a
// URI is replaced; a conninfo gets a dbname, since libpq's last keyword wins.
std::string WithDatabase(const std::string& cluster, const std::string& name) {
  const std::string uriPrefix = "postgresql://";
  if (cluster.starts_with(uriPrefix)) {
    const size_t query = std::min(cluster.find('?', uriPrefix.size()), cluster.size());
    const size_t path = std::min(cluster.find('/', uriPrefix.size()), query);
    return cluster.substr(0, path) + "/" + name + cluster.substr(query);
  }
  if (cluster.find('=') == std::string::npos) return "postgresql:dbname=" + name;
  return cluster + " dbname=" + name;
}

std::string UniqueDatabaseName() {
  static std::atomic<int> counter{0};
  return "norv_scratch_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

}  // namespace

std::string BackendName(const testing::TestParamInfo<Backend>& info) {
  return info.param == Backend::kSqlite ? "sqlite" : "postgresql";
}

void PrintTo(Backend backend, std::ostream* out) {
  *out << BackendName(testing::TestParamInfo<Backend>(backend, 0));
}

ScratchDatabase::~ScratchDatabase() {
  CSession admin;
  if (m_postgresName.empty() || !admin.Open(CString::FromUtf8(PostgresConnection()))) return;
  Run(admin, "DROP DATABASE IF EXISTS " + m_postgresName + " WITH (FORCE)", nullptr);
}

testing::AssertionResult ScratchDatabase::Open(CSession& session) {
  testing::AssertionResult ready = m_connection.IsEmpty() ? Create() : testing::AssertionSuccess();
  CString error;
  if (ready && !session.Open(m_connection, &error))
    ready = testing::AssertionFailure() << m_connection.ToUtf8() << ": " << error.ToUtf8();
  return ready;
}

// The tables come from a session of their own, closed before the caller's opens.
testing::AssertionResult ScratchDatabase::Create() {
  const bool sqlite = m_backend == Backend::kSqlite;
  const std::string cluster = PostgresConnection(), name = UniqueDatabaseName();
  CSession session;
  CString error;
  if (!sqlite && (!session.Open(CString::FromUtf8(cluster), &error) ||
                  Run(session, "CREATE DATABASE " + name, &error) == -1)) {
    return testing::AssertionFailure()
           << "'" << cluster << "': CREATE DATABASE " << name << ": " << error.ToUtf8();
  }
  if (sqlite) m_dir = std::make_unique<TempDir>();
  m_postgresName = sqlite ? "" : name;
  const std::string connection =
      sqlite ? "sqlite:" + m_dir->File("remind.db") : WithDatabase(cluster, name);
  const std::string path =
      std::string(NORV_SOURCE_DIR) + (sqlite ? "/schema/sqlite.sql" : "/schema/postgresql.sql");
  std::stringstream schema;
  schema << std::ifstream(path, std::ios::binary).rdbuf();
  if (schema.str().empty()) return testing::AssertionFailure() << "cannot read " << path;
  session.Close();
  if (!session.Open(CString::FromUtf8(connection), &error) ||
      Run(session, schema.str(), &error) == -1) {
    return testing::AssertionFailure() << connection << ": " << path << ": " << error.ToUtf8();
  }
  m_connection = CString::FromUtf8(connection);
  return testing::AssertionSuccess();
}

std::vector<std::vector<CString>> QueryRows(CSession& session, const CString& query, int columns) {
  std::vector<std::vector<CString>> rows;
  CNorvRecordSet records;
  CString error;
  if (!records.Open(session, query, &error)) {
    ADD_FAILURE() << query.ToUtf8() << ": " << error.ToUtf8();
    return rows;
  }
  while (records.MoveNext() == 0) {
    rows.emplace_back(columns);
    for (int column = 1; column <= columns; ++column)
      records.GetValue(column, rows.back()[column - 1]);
  }
  return rows;
}

std::vector<CString> QueryColumn(CSession& session, const CString& query) {
  std::vector<CString> values;
  for (const auto& row : QueryRows(session, query, 1)) values.push_back(row.at(0));
  return values;
}

}  // namespace norvtest
