#include "host/daemon/SendLedger.h"

#include <algorithm>

namespace norvhost {

void SendLedger::Expect(CNorvRemindAMMsg* message) {
  auto& waiting = m_waiting[{message->m_RemindID.GetString().str(), message->m_strReceiver.str()}];
  const COleDateTime time = message->GetRemindTime();
  auto later = std::find_if(waiting.begin(), waiting.end(),
                            [&](auto& other) { return other->GetRemindTime() > time; });
  waiting.insert(later, CNorvBasePtr<CNorvRemindAMMsg>(message));
  ++m_pending;
}

void SendLedger::Forget(CNorvRemindAMMsg* message) {
  auto found =
      m_waiting.find({message->m_RemindID.GetString().str(), message->m_strReceiver.str()});
  if (found == m_waiting.end()) return;
  const size_t before = found->second.size();
  found->second.remove_if([&](auto& waiting) { return waiting == message; });
  m_pending -= before - found->second.size();
  if (found->second.empty()) m_waiting.erase(found);
}

bool SendLedger::Holds(const CGuid& messageID) const {
  for (const auto& [key, waiting] : m_waiting) {
    for (const auto& message : waiting) {
      if (message->m_ID == messageID) return true;
    }
  }
  return false;
}

CNorvBasePtr<CNorvRemindAMMsg> SendLedger::Find(const SendOutcome& outcome) {
  auto found = m_waiting.find({outcome.remindID.str(), outcome.receiver.str()});
  if (found == m_waiting.end()) return CNorvBasePtr<CNorvRemindAMMsg>();
  auto& waiting = found->second;
  auto claimed = std::find_if(waiting.begin(), waiting.end(),
                              [&](auto& message) { return message->m_ID == outcome.messageID; });
  return claimed != waiting.end() ? *claimed : waiting.front();
}

}  // namespace norvhost
