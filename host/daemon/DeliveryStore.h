#ifndef NORV_HOST_DAEMON_DELIVERYSTORE_H_
#define NORV_HOST_DAEMON_DELIVERYSTORE_H_

#include "core/base/CGuid.h"
#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "host/store/HostDatabase.h"

namespace norvhost {

// Where an instant message is on its way out, as the host records it in
// NORV_HOST_DELIVERY. A message with no row there is waiting for its first
// attempt; the library's own status column still says sent or failed.
enum class DeliveryState : int {
  kSending = 1,   // handed to the transport; a crash now may send it again
  kRetrying = 2,  // an attempt failed; the next one is due at CN_T_NEXT
  kSent = 3,
  kFailed = 4,  // given up, with the last attempt's reason
};

// The message a send is about to carry, as found in the database.
struct DeliveryClaim {
  CGuid messageID;
  COleDateTime remindTime;
  int attempts = 0;  // including the one just claimed
};

// Reads and writes the delivery state of instant messages. Not thread-safe:
// each thread that sends or records uses its own store on its own session.
class DeliveryStore {
 public:
  enum class ClaimResult { kClaimed, kWithdrawn, kUnreachable };

  // `database` must outlive the store.
  explicit DeliveryStore(HostDatabase& database) : m_database(database) {}

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

 private:
  // The row of the earliest waiting message; false when the query failed.
  bool FindWaiting(const CString& remindID, const CString& receiver, bool& found,
                   bool& remindActive, DeliveryClaim& claim, CString& reason);
  bool MarkSending(DeliveryClaim& claim, CString& reason);
  bool SetState(const CGuid& messageID, DeliveryState state, const CString& next,
                const CString& lastReason, CString* reason);

  HostDatabase& m_database;
};

template <class StillRegistered>
DeliveryStore::ClaimResult DeliveryStore::Claim(const CString& remindID, const CString& receiver,
                                                StillRegistered stillRegistered,
                                                DeliveryClaim& claim, CString& reason) {
  bool found = false;
  bool remindActive = false;
  if (!FindWaiting(remindID, receiver, found, remindActive, claim, reason)) {
    return ClaimResult::kUnreachable;
  }
  if (!found || (!remindActive && stillRegistered())) return ClaimResult::kWithdrawn;
  return MarkSending(claim, reason) ? ClaimResult::kClaimed : ClaimResult::kUnreachable;
}

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_DELIVERYSTORE_H_
