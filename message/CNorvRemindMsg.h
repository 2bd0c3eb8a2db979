#ifndef NORV_MESSAGE_CNORVREMINDMSG_H_
#define NORV_MESSAGE_CNORVREMINDMSG_H_

#include "core/base/CCriticalSection.h"
#include "core/base/CGuid.h"
#include "core/base/CNorvBase.h"
#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "core/base/NorvExport.h"
#include "core/db/CSession.h"

// What the inbox message of a remind and its instant message share.
//
// Locks: m_cs guards the remind time. The other fields are set before the
// message is shared (by parsing, loading or the remind that makes it) and
// only read after that.
class NORV_EXPORT CNorvRemindMsg : public CNorvBase {
 public:
  CNorvRemindMsg();
  virtual ~CNorvRemindMsg();

  // The manager's threads read the remind time while other threads hold the
  // same message, so it is copied under the lock.
  COleDateTime GetRemindTime();

  // Database operations (CNorvRemindMsgDB.cpp). A database kind of 1 writes
  // the current time as to_date( ... ), any other kind as quoted text. The
  // receiver is escaped like every text: it comes from outside, and a quote
  // in it must not end its literal.

  // Only an instant message records a send outcome: both do nothing here
  // and return false.
  virtual bool DBSetSuccess(CSession& session, short dbType, CString* errorText = nullptr);
  virtual bool DBSetFail(CSession& session, short dbType, CString errorInfo,
                         CString* errorText = nullptr);

  // Mark inbox rows read, now.
  static bool DBSetReaded(CSession& session, short dbType, CGuid msgID,
                          CString* errorText = nullptr);
  static bool DBSetReaded(CSession& session, short dbType, CGuid remindID, CString receiver,
                          CString* errorText = nullptr);
  static bool DBDelete(CSession& session, CGuid msgID, CString* errorText = nullptr);
  static bool DBDelete(CSession& session, CGuid remindID, CString receiver,
                       CString* errorText = nullptr);

  CCriticalSection m_cs;
  CGuid m_ID;
  CGuid m_RemindID;
  CString m_strContentType;
  CString m_strContent;
  COleDateTime m_dtRemind;
};

#endif  // NORV_MESSAGE_CNORVREMINDMSG_H_
