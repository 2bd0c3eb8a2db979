#ifndef NORV_MESSAGE_CNORVREMINDAMMSG_H_
#define NORV_MESSAGE_CNORVREMINDAMMSG_H_

#include "core/CString.h"
#include "core/NorvExport.h"
#include "message/CNorvRemindMsg.h"

// An instant message of a remind for one receiver at one remind time.
class NORV_EXPORT CNorvRemindAMMsg : public CNorvRemindMsg {
 public:
  CNorvRemindAMMsg();
  virtual ~CNorvRemindAMMsg();

  CString m_strReceiver;      // account at the IM server
  CString m_strReceiverName;  // display name
};

#endif  // NORV_MESSAGE_CNORVREMINDAMMSG_H_
