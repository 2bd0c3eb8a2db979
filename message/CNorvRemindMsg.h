#ifndef NORV_MESSAGE_CNORVREMINDMSG_H_
#define NORV_MESSAGE_CNORVREMINDMSG_H_

#include "core/CCriticalSection.h"
#include "core/CGuid.h"
#include "core/CNorvBase.h"
#include "core/COleDateTime.h"
#include "core/CString.h"
#include "core/NorvExport.h"

// What the inbox message of a remind and its instant message share.
class NORV_EXPORT CNorvRemindMsg : public CNorvBase {
 public:
  CNorvRemindMsg();
  virtual ~CNorvRemindMsg();

  // The manager's threads read the remind time while other threads hold the
  // same message, so it is copied under the lock.
  COleDateTime GetRemindTime();

  CCriticalSection m_cs;
  CGuid m_ID;
  CGuid m_RemindID;
  CString m_strContentType;
  CString m_strContent;
  COleDateTime m_dtRemind;
};

#endif  // NORV_MESSAGE_CNORVREMINDMSG_H_
