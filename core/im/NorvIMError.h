#ifndef NORV_CORE_IM_NORVIMERROR_H_
#define NORV_CORE_IM_NORVIMERROR_H_

// Codes of CIM::GetLastErr. CIM::GetErrInfo gives their texts; a transport
// set with CIM::SetTransport may report codes of its own.
enum NorvIMError : int {
  kNorvIMOk = 0,
  kNorvIMNotInitialised = 1,
  kNorvIMCannotConnect = 2,
  kNorvIMAuthFailed = 3,
  kNorvIMNotConfirmed = 4,
  kNorvIMDisconnected = 5,
  kNorvIMFileNotWritable = 6,
  kNorvIMRejected = 7,
  kNorvIMBadMessage = 8,
};

// The environment variable that bounds, in seconds, how long the built-in
// XMPP transport waits for a connection or a confirmation (default 10).
inline constexpr char kNorvIMTimeoutVariable[] = "NORVREMIND_IM_TIMEOUT";

#endif  // NORV_CORE_IM_NORVIMERROR_H_
