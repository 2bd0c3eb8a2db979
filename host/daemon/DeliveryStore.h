#ifndef NORV_HOST_DAEMON_DELIVERYSTORE_H_
#define NORV_HOST_DAEMON_DELIVERYSTORE_H_

#include <vector>

#include "core/base/CGuid.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "host/store/DeliveryState.h"
#include "host/store/HostDatabase.h"
#include "message/CNorvRemindAMMsg.h"

namespace norvhost {

// The message a send is about to carry, as found in the database.
struct DeliveryClaim {
  CGuid messageID;
  COleDateTime remindTime;
  int attempts = 0;  // including the one just claimed
};

// Reads and writes the delivery state of instant messages. Not thread-safe:
// each thread that sends or records uses its own store on its own session.
//
// Shared by several daemons (a member id given), a message is sent only by
// the daemon that holds its claim in NORV_HOST_CLAIM: the one that planned
// it, or the first to take it over once that one's lease has lapsed.
class DeliveryStore {
 public:
  // kLost: another live daemon holds the message or has sent it.
  enum class ClaimResult { kClaimed, kWithdrawn, kLost, kUnreachable };

  // `database` must outlive the store.
  explicit DeliveryStore(HostDatabase& database) : m_database(database) {}

  // From now on claims are held as the daemon `member`.
  void ShareWith(const CString& member) { m_member = member; }

  // Finds the earliest waiting message of the remind for the receiver and
  // marks it as being sent. kWithdrawn when there is none or its remind has
  // been deleted, or made inactive while `stillRegistered` says the daemon
  // counts it as active; kUnreachable with the database's reason.
  template <class StillRegistered>
  ClaimResult Claim(const CString& remindID, const CString& receiver,
                    StillRegistered stillRegistered, DeliveryClaim& claim, CString& reason);

  bool MarkSent(const CGuid& messageID, CString* reason);
  bool MarkRetrying(const CGuid& messageID, const COleDateTime& next, const CString& lastReason,
                    CString* reason);
  bool MarkFailed(const CGuid& messageID, const CString& lastReason, CString* reason);

  // The statement that claims a message for `member` unless a live daemon
  // holds it; it changes one row when the claim is won.
  static CString ClaimStatement(const CGuid& messageID, const CString& member);
  // Claims the waiting messages of daemons whose lease has lapsed; the
  // messages taken, to be sent by this one.
  bool TakeOver(std::vector<CNorvBasePtr<CNorvRemindAMMsg>>& taken, CString& reason);

 private:
  // The earliest waiting message and what became of its remind.
  enum class Waiting { kNone, kDeleted, kInactive, kActive };
  // Fills `claim` from the earliest waiting message's row (shared: one that
  // is due and not held by another live daemon); false when the query failed.
  bool FindWaiting(const CString& remindID, const CString& receiver, Waiting& waiting,
                   DeliveryClaim& claim, CString& reason);
  bool MarkSending(DeliveryClaim& claim, CString& reason);
  bool SetState(const CGuid& messageID, DeliveryState state, const CString& next,
                const CString& lastReason, CString* reason);

  HostDatabase& m_database;
  CString m_member;  // empty for the only daemon
};

template <class StillRegistered>
DeliveryStore::ClaimResult DeliveryStore::Claim(const CString& remindID, const CString& receiver,
                                                StillRegistered stillRegistered,
                                                DeliveryClaim& claim, CString& reason) {
  Waiting waiting = Waiting::kNone;
  if (!FindWaiting(remindID, receiver, waiting, claim, reason)) return ClaimResult::kUnreachable;
  // Shared, none waiting means another daemon has sent it or holds it.
  if (waiting == Waiting::kNone && !m_member.IsEmpty()) return ClaimResult::kLost;
  if (waiting == Waiting::kNone || waiting == Waiting::kDeleted ||
      (waiting == Waiting::kInactive && stillRegistered())) {
    return ClaimResult::kWithdrawn;
  }
  if (!m_member.IsEmpty()) {
    int won = 0;
    if (!m_database.Run(ClaimStatement(claim.messageID, m_member), won, &reason)) {
      return ClaimResult::kUnreachable;
    }
    if (won == 0) return ClaimResult::kLost;
  }
  return MarkSending(claim, reason) ? ClaimResult::kClaimed : ClaimResult::kUnreachable;
}

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_DELIVERYSTORE_H_
