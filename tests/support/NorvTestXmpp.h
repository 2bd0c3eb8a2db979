#ifndef NORV_TESTS_SUPPORT_NORVTESTXMPP_H_
#define NORV_TESTS_SUPPORT_NORVTESTXMPP_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "NorvTestSupport.h"

namespace norvtest {

// The test XMPP server as tests/prosody/start-prosody.sh describes it in
// the NORV_TEST_XMPP_* variables; `host` is empty when they are not set.
struct XmppTestServer {
  std::string host;
  int port = 0;
  std::string sender, senderPassword, receiver, receiverPassword;
  std::string dir;      // the server's folder
  std::string scripts;  // where start-prosody.sh and stop-prosody.sh are
  std::string caFile;   // the CA that signed the server's certificate

  // The server text CIM::Init takes: the host, verified against caFile.
  std::string Address() const;
  // The sending account as norvremind's --im takes it, with `password`.
  std::string Url(const std::string& password) const;
};

XmppTestServer XmppServer();

#define NORV_REQUIRE_XMPP()                                        \
  NORV_REQUIRE_SERVER(                                             \
      !norvtest::XmppServer().host.empty(), "NORV_TEST_XMPP_HOST", \
      "XMPP server not configured: eval the output of tests/prosody/start-prosody.sh")

// A chat message as the receiving client saw it.
struct XmppReceived {
  std::string from, type, body;
  std::string msgType, contentType, extType;  // of the library's extension
  std::vector<std::pair<std::string, std::string>> attribs;
};

// A second XMPP client on a thread of its own, logged in over TLS verified
// against the test CA. It keeps the messages whose "RemindID" attribute is
// `remindId` (all for an empty one): test programs share the account.
class XmppReceiver {
 public:
  XmppReceiver(const std::string& host, int port, const std::string& jid,
               const std::string& password, const std::string& remindId);
  ~XmppReceiver();

  // True once the server has taken the presence, so messages come at once
  // rather than from offline storage.
  bool WaitOnline(std::chrono::milliseconds timeout);
  // All messages so far, once there are at least `count` or time is up.
  std::vector<XmppReceived> WaitForMessages(size_t count, std::chrono::milliseconds timeout);
  // The "RemindID"s among `ids` of the messages so far, once `count` have
  // come or time is up; one per message, so repeats show.
  std::multiset<std::string> RemindIds(const std::multiset<std::string>& ids, size_t count,
                                       std::chrono::milliseconds timeout);

 private:
  struct Handlers;
  void Run(std::string host, int port, std::string jid, std::string password);

  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_online = false;
  std::atomic<bool> m_stop{false};
  const std::string m_remindId;
  std::vector<XmppReceived> m_messages;
  std::thread m_thread;
};

}  // namespace norvtest

#endif  // NORV_TESTS_SUPPORT_NORVTESTXMPP_H_
