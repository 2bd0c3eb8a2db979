#include "host/daemon/SendLedger.h"

#include <algorithm>

namespace norvhost {

void RecordingTransport::Init(const CString& server, int port, const CString& user,
                              const CString& password, int mode) {
  m_client.Init(server, port, user, password, mode);
}

int RecordingTransport::Send(const CMsg& msg, const CString& receiver, int& errorCode,
                             CString& errorText) {
  SendOutcome outcome;
  outcome.remindID = msg.GetAttrib(L"RemindID");
  outcome.receiver = receiver;
  outcome.sent = m_client.SendMsgEx(&msg, receiver) != 0;
  if (!outcome.sent) {
    errorCode = outcome.code = m_client.GetLastErr();
    m_client.GetErrInfo(outcome.code, L"EN", outcome.reason);
    errorText = outcome.reason;
  }
  {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_outcomes.push_back(outcome);
  }
  m_waker.Wake();
  return outcome.sent ? 1 : 0;
}

std::vector<SendOutcome> RecordingTransport::TakeOutcomes() {
  std::lock_guard<std::mutex> hold(m_mutex);
  return std::exchange(m_outcomes, {});
}

void SendLedger::Expect(CNorvRemindAMMsg* message) {
  auto& waiting = m_waiting[{message->m_RemindID.GetString().str(), message->m_strReceiver.str()}];
  const COleDateTime time = message->GetRemindTime();
  auto later = std::find_if(waiting.begin(), waiting.end(), [&](auto& other) {
    return other->GetRemindTime() > time;
  });
  waiting.insert(later, CNorvBasePtr<CNorvRemindAMMsg>(message));
  ++m_pending;
}

void SendLedger::Forget(CNorvRemindAMMsg* message) {
  auto found = m_waiting.find({message->m_RemindID.GetString().str(), message->m_strReceiver.str()});
  if (found == m_waiting.end()) return;
  const size_t before = found->second.size();
  found->second.remove_if([&](auto& waiting) { return waiting == message; });
  m_pending -= before - found->second.size();
  if (found->second.empty()) m_waiting.erase(found);
}

CNorvBasePtr<CNorvRemindAMMsg> SendLedger::Settle(const SendOutcome& outcome) {
  auto found = m_waiting.find({outcome.remindID.str(), outcome.receiver.str()});
  if (found == m_waiting.end()) return CNorvBasePtr<CNorvRemindAMMsg>();
  CNorvBasePtr<CNorvRemindAMMsg> message = found->second.front();
  found->second.pop_front();
  --m_pending;
  if (found->second.empty()) m_waiting.erase(found);
  return message;
}

}  // namespace norvhost
