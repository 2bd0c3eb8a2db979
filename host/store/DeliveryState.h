#ifndef NORV_HOST_STORE_DELIVERYSTATE_H_
#define NORV_HOST_STORE_DELIVERYSTATE_H_

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

}  // namespace norvhost

#endif  // NORV_HOST_STORE_DELIVERYSTATE_H_
