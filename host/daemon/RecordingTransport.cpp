#include "host/daemon/RecordingTransport.h"

#include <algorithm>

namespace norvhost {

void RecordingTransport::Init(const CString& server, int port, const CString& user,
                              const CString& password, int mode) {
  m_client.Init(server, port, user, password, mode);
}

int RecordingTransport::Probe(const CMsg& msg, const CString& receiver, CString& reason) {
  if (m_client.SendMsgEx(&msg, receiver) != 0) return kNorvIMOk;
  const int code = m_client.GetLastErr();
  m_client.GetErrInfo(code, L"EN", reason);
  return code;
}

// The manager logs a send error for each 0 returned, so only a real attempt
// that failed returns 0.
int RecordingTransport::Send(const CMsg& msg, const CString& receiver, int& errorCode,
                             CString& errorText) {
  SendOutcome outcome;
  outcome.remindID = msg.GetAttrib(L"RemindID");
  outcome.receiver = receiver;
  Deliver(msg, outcome);
  Keep(outcome);
  if (outcome.kind != SendOutcome::Kind::kFailed) return 1;
  errorCode = outcome.code;
  errorText = outcome.reason;
  return 0;
}

void RecordingTransport::Deliver(const CMsg& msg, SendOutcome& outcome) {
  // What is queued at a stop waits in the database for the next run.
  if (StopSignal() != 0) return;
  CGuid remindID;
  remindID.FromString(outcome.remindID);
  DeliveryClaim claim;
  switch (m_store.Claim(
      remindID.GetString1(), outcome.receiver,
      [&] { return static_cast<bool>(m_manager.GetRemind(remindID)); }, claim, outcome.reason)) {
    case DeliveryStore::ClaimResult::kUnreachable:
      return;
    case DeliveryStore::ClaimResult::kWithdrawn:
      outcome.kind = SendOutcome::Kind::kWithdrawn;
      return;
    case DeliveryStore::ClaimResult::kLost:
      outcome.kind = SendOutcome::Kind::kLost;
      return;
    case DeliveryStore::ClaimResult::kClaimed:
      break;
  }
  outcome.messageID = claim.messageID;
  outcome.attempts = claim.attempts;
  if (m_client.SendMsgEx(&msg, outcome.receiver) != 0) {
    outcome.kind = SendOutcome::Kind::kSent;
    outcome.reason.Empty();
    outcome.recorded = m_store.MarkSent(claim.messageID, &outcome.reason);
    return;
  }
  outcome.kind = SendOutcome::Kind::kFailed;
  outcome.code = m_client.GetLastErr();
  m_client.GetErrInfo(outcome.code, L"EN", outcome.reason);
}

void RecordingTransport::Keep(const SendOutcome& outcome) {
  {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_outcomes.push_back(outcome);
  }
  m_waker.Wake();
}

std::vector<SendOutcome> RecordingTransport::TakeOutcomes() {
  std::lock_guard<std::mutex> hold(m_mutex);
  return std::exchange(m_outcomes, {});
}

}  // namespace norvhost
