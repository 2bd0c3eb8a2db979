#ifndef NORV_MESSAGE_CNORVREMINDAMMSG_H_
#define NORV_MESSAGE_CNORVREMINDAMMSG_H_

#include "core/base/CGuid.h"
#include "core/base/CString.h"
#include "core/base/NorvExport.h"
#include "core/db/CSession.h"
#include "message/CNorvRemindMsg.h"

// An instant message of a remind for one receiver at one remind time.
class NORV_EXPORT CNorvRemindAMMsg : public CNorvRemindMsg {
 public:
  CNorvRemindAMMsg();
  virtual ~CNorvRemindAMMsg();

  // Database operations (CNorvRemindAMMsgDB.cpp). A database kind of 1 writes
  // times as to_date( ... ), any other kind as quoted text. Every text is
  // escaped, the content type too: it comes from the definition, and a quote
  // in it must not end its literal.

  // A waiting row for `remindID` (not m_RemindID).
  bool DBInsert(CSession& session, short dbType, CGuid remindID, CString* errorText = nullptr);
  // Sent (status 1) or failed (status 2) now; the object is not changed.
  bool DBSetSuccess(CSession& session, short dbType, CString* errorText = nullptr) override;
  bool DBSetFail(CSession& session, short dbType, CString errorInfo,
                 CString* errorText = nullptr) override;
  static bool DBDelete(CSession& session, CGuid msgID, CString* errorText = nullptr);
  // `idList` is a comma-separated list of quoted identifiers, as
  // CNorvRemind::DBDeleteAMMsg builds it; anything else is refused with a
  // reason and runs no statement.
  static bool DBDelete2(CSession& session, CString idList, CString* errorText = nullptr);
  // Every row of one remind.
  static bool DBDelete3(CSession& session, CGuid remindID, CString* errorText = nullptr);

  CString m_strReceiver;      // account at the IM server
  CString m_strReceiverName;  // display name
};

#endif  // NORV_MESSAGE_CNORVREMINDAMMSG_H_
