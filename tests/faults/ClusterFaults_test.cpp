// Several daemons on one PostgreSQL database, with one killed, one joining
// and the database restarted, counted where the messages arrive.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "NorvScratchDatabase.h"
#include "NorvTestXmpp.h"
#include "core/db/CSession.h"
#include "host/HostTestRun.h"

namespace {

using hosttest::BackgroundHost;
using hosttest::CountOf;
using hosttest::HostEnvironment;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

class ClusterFaultTest : public hosttest::HostTest {
 protected:
  // A database of the case's own, with its tables.
  void SetUp() override {
    NORV_REQUIRE_POSTGRES();
    CSession session;
    ASSERT_TRUE(m_scratch.Open(session));
  }

  // The day's clock starts at 10:00:00 when the case does, for every
  // program it starts, so the firings fall due within two minutes.
  std::string FakeNow() const {
    const long long passed = std::chrono::duration_cast<seconds>(Clock::now() - m_start).count();
    char text[32];
    std::snprintf(text, sizeof text, "%s 10:%02lld:%02lld", m_today.c_str(), passed / 60 % 60,
                  passed % 60);
    return text;
  }

  std::unique_ptr<HostEnvironment> Environment(const std::string& name) {
    const std::string home = m_dir.File(name);
    std::filesystem::create_directories(home);
    auto host = std::make_unique<HostEnvironment>(home);
    host->Set("NORVREMIND_DB", m_scratch.connection().ToUtf8());
    host->Set("NORVREMIND_NOW", FakeNow());
    return host;
  }

  std::unique_ptr<BackgroundHost> StartDaemon(const std::string& name) {
    m_homes.push_back(Environment(name));
    return std::make_unique<BackgroundHost>(
        *m_homes.back(), std::vector<std::string>{"run", "--poll", "1", "--lease", "6", "--timeout",
                                                  "3", "--retry-after", "1", "--im",
                                                  m_server.Url(m_server.senderPassword)});
  }

  // One-off reminds at 10:`minute`:`from`+i%30 and daily ones at
  // 10:`minute`+1, one receiver each, imported while the daemons run.
  void Import(const std::string& name, int oneOffs, int daily, int minute, int from) {
    const std::string folder = m_dir.File(name);
    std::filesystem::create_directories(folder);
    const std::string& receiver = m_server.receiver;
    auto two = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    for (int i = 0; i < oneOffs + daily; ++i) {
      const std::string body = name + std::to_string(i);
      const std::string definition =
          i < oneOffs
              ? hosttest::OneOffDefinition(
                    m_today + " 10:" + two(minute) + ":" + two(from + i % 30), body, {receiver})
              : "<Remind Type='1' SendFlag='1'><Content>" + body +
                    "</Content><Repeat RemindTime='10:" + two(minute + 1) +
                    "' RegularType='0' RegularValue='0' Interval='1' RegularRange='0' DTStart='" +
                    m_today + "' /><ReceiverList><Receiver ID='" + receiver +
                    "' /></ReceiverList></Remind>";
      hosttest::WriteFile(folder + "/" + std::to_string(i) + ".xml", definition);
    }
    EXPECT_EQ(Environment(name + "-import")->Run({"import", folder}).exitCode, 0);
  }

  const norvtest::XmppTestServer m_server = norvtest::XmppServer();
  Clock::time_point m_start = Clock::now();
  std::string m_today = hosttest::LocalTime(0, "%Y-%m-%d");
  norvtest::ScratchDatabase m_scratch{norvtest::Backend::kPostgres};
  std::vector<std::unique_ptr<HostEnvironment>> m_homes;
};

TEST_F(ClusterFaultTest, KilledJoiningAndRestartedDaemonsDeliverEveryFiringOnce) {
  NORV_REQUIRE_XMPP();
  norvtest::XmppReceiver receiver(m_server.host, m_server.port,
                                  m_server.receiver + "@" + m_server.host,
                                  m_server.receiverPassword, "");
  ASSERT_TRUE(receiver.WaitOnline(seconds(10)));
  std::map<std::string, std::unique_ptr<BackgroundHost>> daemons;
  for (const char* name : {"a", "b", "c"}) daemons[name] = StartDaemon(name);
  for (auto& [name, daemon] : daemons)
    ASSERT_TRUE(daemon->WaitForOutput("sharing the database: 3", seconds(30))) << daemon->Output();
  Import("first", 1000, 300, 0, 25);  // due from 10:00:25 to 10:01:00

  // A kill midway through the first burst, then a fourth daemon, a
  // restarted database and the killed daemon back.
  ASSERT_TRUE(daemons["a"]->WaitForOutput("  sent to ", seconds(90), 100))
      << daemons["a"]->Output();
  daemons["a"]->Signal(SIGKILL);
  ASSERT_EQ(daemons["a"]->WaitForExit(seconds(30)), 128 + SIGKILL);
  const std::string killed = daemons["a"]->Output();
  daemons["d"] = StartDaemon("d");
  ASSERT_TRUE(daemons["d"]->WaitForOutput("started on", seconds(30))) << daemons["d"]->Output();
  const std::string pause = std::string(NORV_TESTS_DIR) + "/postgres/pause-postgres.sh " +
                            std::getenv("NORV_TEST_PG_DIR");
  ASSERT_EQ(std::system((pause + " stop").c_str()), 0);
  std::this_thread::sleep_for(seconds(1));
  ASSERT_EQ(std::system((pause + " start").c_str()), 0);
  daemons["a"] = StartDaemon("a-again");
  ASSERT_TRUE(daemons["b"]->WaitForOutput("sharing the database: 4", seconds(60)))
      << daemons["b"]->Output();
  EXPECT_NE(m_homes.front()->Run({"status"}).out.find("4 daemons running\nID "), std::string::npos);
  Import("second", 400, 300, 1, 20);  // due from 10:01:20 to 10:02:00

  std::multiset<std::string> ids, received;
  for (const std::string& id : m_homes.front()->Query("SELECT CN_G_ID FROM NORV_REMIND_DEF"))
    ids.insert("{" + id + "}");
  ASSERT_EQ(ids.size(), 2000u);
  auto arrived = [&] {
    received = receiver.RemindIds(ids, ids.size() + 1, seconds(2));
    return std::set<std::string>(received.begin(), received.end()).size();
  };
  const auto deadline = Clock::now() + seconds(150);
  while (arrived() < ids.size() && Clock::now() < deadline) continue;
  std::map<std::string, size_t> shares{{"a (killed)", CountOf(killed, "  sent to ")}};
  for (auto& [name, daemon] : daemons) {
    daemon->Signal(SIGTERM);
    EXPECT_EQ(daemon->WaitForExit(seconds(30)), 0) << daemon->Output();
    shares[name] = CountOf(daemon->Output(), "  sent to ");
  }
  std::cout << "[fault] sent by";
  for (const auto& [name, count] : shares) std::cout << " " << name << " " << count;
  std::cout << std::endl;
  arrived();  // and what came after the last
  // One send thread per daemon: one message in flight at the kill.
  norvtest::ExpectDelivered(
      "4 daemons on one PostgreSQL, one killed with SIGKILL, the database restarted", ids, received,
      1);
  for (const auto& [name, count] : shares) EXPECT_GT(count, 0u) << name;
}

}  // namespace
