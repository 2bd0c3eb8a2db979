#include "NorvTestXmpp.h"

#include <pthread.h>
#include <signal.h>
#include <strophe.h>

#include <cstdlib>
#include <memory>

namespace norvtest {

namespace {

std::string Attribute(xmpp_stanza_t* stanza, const char* name) {
  const char* value = xmpp_stanza_get_attribute(stanza, name);
  return value != nullptr ? value : "";
}

std::string Text(xmpp_ctx_t* ctx, xmpp_stanza_t* stanza) {
  char* text = stanza != nullptr ? xmpp_stanza_get_text(stanza) : nullptr;
  const std::string copy = text != nullptr ? text : "";
  xmpp_free(ctx, text);
  return copy;
}

XmppReceived Parse(xmpp_ctx_t* ctx, xmpp_stanza_t* stanza) {
  XmppReceived message;
  message.from = Attribute(stanza, "from");
  message.type = Attribute(stanza, "type");
  message.body = Text(ctx, xmpp_stanza_get_child_by_name(stanza, "body"));
  xmpp_stanza_t* extension =
      xmpp_stanza_get_child_by_name_and_ns(stanza, "msg", "urn:norvremind:msg");
  if (extension == nullptr) return message;
  message.msgType = Attribute(extension, "type");
  message.contentType = Attribute(extension, "contenttype");
  message.extType = Attribute(extension, "exttype");
  for (xmpp_stanza_t* child = xmpp_stanza_get_children(extension); child != nullptr;
       child = xmpp_stanza_get_next(child)) {
    const char* name = xmpp_stanza_get_name(child);
    if (name != nullptr && std::string(name) == "attrib")
      message.attribs.emplace_back(Attribute(child, "name"), Text(ctx, child));
  }
  return message;
}

std::string RemindIdOf(const XmppReceived& message) {
  for (const auto& [name, value] : message.attribs)
    if (name == "RemindID") return value;
  return "";
}

}  // namespace

XmppTestServer XmppServer() {
  auto env = [](const std::string& name) { return Env("NORV_TEST_XMPP_" + name); };
  return {env("HOST"),     std::atoi(env("PORT").c_str()), env("SENDER"), env("SENDER_PASSWORD"),
          env("RECEIVER"), env("RECEIVER_PASSWORD"),       env("DIR"),    env("SCRIPTS"),
          env("CAFILE")};
}

std::string XmppTestServer::Address() const {
  return caFile.empty() ? host : host + "?ca=" + caFile;
}

std::string XmppTestServer::Url(const std::string& password) const {
  return "xmpp://" + sender + ":" + password + "@" + host + ":" + std::to_string(port) +
         "?ca=" + caFile;
}

struct XmppReceiver::Handlers {
  static void OnConnectionEvent(xmpp_conn_t* conn, xmpp_conn_event_t event, int,
                                xmpp_stream_error_t*, void*) {
    if (event != XMPP_CONN_CONNECT) return;
    // The answer to the ping comes after the server has handled the presence.
    for (const char* text :
         {"<presence/>", "<iq type='get' id='online'><ping xmlns='urn:xmpp:ping'/></iq>"}) {
      xmpp_stanza_t* stanza = xmpp_stanza_new_from_string(xmpp_conn_get_context(conn), text);
      xmpp_send(conn, stanza);
      xmpp_stanza_release(stanza);
    }
  }

  static int OnOnline(xmpp_conn_t*, xmpp_stanza_t*, void* userdata) {
    auto* receiver = static_cast<XmppReceiver*>(userdata);
    std::lock_guard<std::mutex> hold(receiver->m_mutex);
    receiver->m_online = true;
    receiver->m_changed.notify_all();
    return 0;
  }

  static int OnMessage(xmpp_conn_t* conn, xmpp_stanza_t* stanza, void* userdata) {
    auto* receiver = static_cast<XmppReceiver*>(userdata);
    XmppReceived message = Parse(xmpp_conn_get_context(conn), stanza);
    if (!receiver->m_remindId.empty() && RemindIdOf(message) != receiver->m_remindId) return 1;
    std::lock_guard<std::mutex> hold(receiver->m_mutex);
    receiver->m_messages.push_back(std::move(message));
    receiver->m_changed.notify_all();
    return 1;
  }
};

XmppReceiver::XmppReceiver(const std::string& host, int port, const std::string& jid,
                           const std::string& password, const std::string& remindId)
    : m_remindId(remindId), m_thread(&XmppReceiver::Run, this, host, port, jid, password) {}

XmppReceiver::~XmppReceiver() {
  m_stop = true;
  m_thread.join();
}

bool XmppReceiver::WaitOnline(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(m_mutex);
  return m_changed.wait_for(hold, timeout, [this] { return m_online; });
}

std::vector<XmppReceived> XmppReceiver::WaitForMessages(size_t count,
                                                        std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(m_mutex);
  m_changed.wait_for(hold, timeout, [this, count] { return m_messages.size() >= count; });
  return m_messages;
}

std::multiset<std::string> XmppReceiver::RemindIds(const std::multiset<std::string>& ids,
                                                   size_t count,
                                                   std::chrono::milliseconds timeout) {
  std::multiset<std::string> found;
  for (const XmppReceived& message : WaitForMessages(count, timeout))
    if (ids.count(RemindIdOf(message)) != 0) found.insert(RemindIdOf(message));
  return found;
}

// Every libstrophe object lives and dies on this thread.
void XmppReceiver::Run(std::string host, int port, std::string jid, std::string password) {
  // TLS writes to a server a test stopped would raise SIGPIPE.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  xmpp_initialize();
  xmpp_ctx_t* ctx = xmpp_ctx_new(nullptr, nullptr);
  xmpp_conn_t* conn = xmpp_conn_new(ctx);
  xmpp_conn_set_jid(conn, jid.c_str());
  xmpp_conn_set_pass(conn, password.c_str());
  xmpp_conn_set_flags(conn, XMPP_CONN_FLAG_MANDATORY_TLS);
  const std::string caFile = XmppServer().caFile;
  if (!caFile.empty()) xmpp_conn_set_cafile(conn, caFile.c_str());
  xmpp_handler_add(conn, Handlers::OnMessage, nullptr, "message", nullptr, this);
  xmpp_id_handler_add(conn, Handlers::OnOnline, "online", this);
  xmpp_connect_client(conn, host.c_str(), static_cast<unsigned short>(port),
                      Handlers::OnConnectionEvent, this);
  while (!m_stop) xmpp_run_once(ctx, 20);
  xmpp_disconnect(conn);
  for (int turn = 0; turn < 50 && !xmpp_conn_is_disconnected(conn); ++turn) xmpp_run_once(ctx, 20);
  xmpp_conn_release(conn);
  xmpp_ctx_free(ctx);
}

}  // namespace norvtest
