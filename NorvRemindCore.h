#ifndef NORVREMINDCORE_H_
#define NORVREMINDCORE_H_

// Umbrella header: everything a host of the library needs.

#include "core/CCriticalSection.h"
#include "core/CEmItem.h"
#include "core/CGuid.h"
#include "core/CIM.h"
#include "core/CMsg.h"
#include "core/CNorvBase.h"
#include "core/CNorvBasePtr.h"
#include "core/CNorvCommFun.h"
#include "core/CNorvDBFun.h"
#include "core/CNorvEvent.h"
#include "core/CNorvIMTransport.h"
#include "core/CNorvRecordSet.h"
#include "core/CNorvThread.h"
#include "core/CNorvXmlDocument.h"
#include "core/CNorvXmlNode.h"
#include "core/COleDateTime.h"
#include "core/COleDateTimeSpan.h"
#include "core/CSession.h"
#include "core/CSingleLock.h"
#include "core/CString.h"
#include "core/CStringArray.h"
#include "core/NorvExport.h"
#include "core/NorvIMError.h"
#include "manager/CNorvRemindMgr.h"
#include "message/CNorvRemindAMMsg.h"
#include "message/CNorvRemindMsg.h"
#include "remind/CNorvRemind.h"
#include "repeat/CNorvRemindRepeat.h"
#include "repeat/CNorvRepeat.h"
#include "style/CNorvRemindStyle.h"
#include "style/CNorvRemindStyleItem.h"

#endif  // NORVREMINDCORE_H_
