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

#endif  // NORV_CORE_IM_NORVIMERROR_H_
