#ifndef NORV_HOST_STORE_DELIVERYHISTORY_H_
#define NORV_HOST_STORE_DELIVERYHISTORY_H_

#include <array>
#include <map>
#include <vector>

#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "host/store/HostDatabase.h"

namespace norvhost {

// Where an instant message stands for its user, from the library's message
// row and the daemon's delivery row together.
enum class DeliveryStatus : int {
  kWaiting,    // not tried yet, its time not more than an hour past
  kBeingSent,  // handed to the transport and not yet answered
  kSent,
  kRetrying,  // an attempt failed; another one is planned
  kFailed,    // given up, with the last reason
  // Never sent and never will be: withdrawn when its remind was made
  // inactive, or still waiting when its remind is gone or inactive or its
  // time is more than an hour past (the daemon deletes those when it next
  // starts).
  kExpired,
};
inline constexpr int kDeliveryStatuses = 6;

// "waiting", "being sent", "sent", "retrying", "failed", "expired".
const wchar_t* DeliveryStatusName(DeliveryStatus status);

// Which messages to read; every field left empty matches all.
struct DeliveryFilter {
  CString remindID;  // as stored: CGuid::GetString1()
  CString receiver;
  COleDateTime from;  // remind times from this one on, when valid
  COleDateTime to;    // and before this one, when valid
};

struct DeliveryEntry {
  CString messageID;
  CString remindID;
  COleDateTime remindTime;
  CString receiver;
  CString receiverName;
  CString content;
  DeliveryStatus status = DeliveryStatus::kWaiting;
  int attempts = 0;
  COleDateTime sentTime;     // valid once sent
  COleDateTime nextAttempt;  // valid while retrying
  CString reason;            // the last failure, while retrying or failed
};

// Messages per status, indexed by the status's number.
using DeliveryCounts = std::array<long, kDeliveryStatuses>;

// The matching messages in time order, then by receiver. False with the
// database's reason.
bool ReadDeliveries(HostDatabase& database, const DeliveryFilter& filter,
                    std::vector<DeliveryEntry>& entries, CString& reason);

// The matching messages counted per status for each remind (keyed as
// stored); sum the values for a total. False with the database's reason.
bool CountDeliveries(HostDatabase& database, const DeliveryFilter& filter,
                     std::map<CString, DeliveryCounts>& perRemind, CString& reason);

}  // namespace norvhost

#endif  // NORV_HOST_STORE_DELIVERYHISTORY_H_
