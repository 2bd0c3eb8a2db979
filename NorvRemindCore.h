#ifndef NORVREMINDCORE_H_
#define NORVREMINDCORE_H_

// Umbrella header: everything a host of the library needs.

#include "core/base/CCriticalSection.h"
#include "core/base/CGuid.h"
#include "core/base/CNorvBase.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvEvent.h"
#include "core/base/CNorvThread.h"
#include "core/base/CNorvXmlDocument.h"
#include "core/base/CNorvXmlNode.h"
#include "core/base/COleDateTime.h"
#include "core/base/COleDateTimeSpan.h"
#include "core/base/CSingleLock.h"
#include "core/base/CString.h"
#include "core/base/CStringArray.h"
#include "core/base/NorvExport.h"
#include "core/db/CNorvDBFun.h"
#include "core/db/CNorvRecordSet.h"
#include "core/db/CSession.h"
#include "core/im/CIM.h"
#include "core/im/CMsg.h"
#include "core/im/CNorvIMTransport.h"
#include "core/im/NorvIMError.h"
#include "manager/CNorvRemindMgr.h"
#include "message/CNorvRemindAMMsg.h"
#include "message/CNorvRemindMsg.h"
#include "remind/CEmItem.h"
#include "remind/CNorvRemind.h"
#include "repeat/CNorvRemindRepeat.h"
#include "repeat/CNorvRepeat.h"
#include "style/CNorvRemindStyle.h"
#include "style/CNorvRemindStyleItem.h"

#endif  // NORVREMINDCORE_H_
