#ifndef NORV_HOST_DAEMON_DAEMONMANAGER_H_
#define NORV_HOST_DAEMON_DAEMONMANAGER_H_

#include "core/base/CString.h"
#include "core/db/CSession.h"
#include "manager/CNorvRemindMgr.h"

namespace norvhost {

// The manager, with a load for a daemon joining others on one database.
class DaemonManager : public CNorvRemindMgr {
 public:
  // InitData without its expiry: a one-off whose time has come may still
  // have messages that the other daemons are about to send, and expiring it
  // would make them withdraw those. Before Start, like InitData.
  bool LoadBesideOthers(CSession& session, CString& errorText) {
    return DBLoadRemindStyle(session, &errorText) && DBLoadRemind(session, &errorText) &&
           DBLoadRemindReceiver(session, &errorText) && DBLoadRemindRepeat(session, &errorText) &&
           DBLoadMsg_AM(session, &errorText);
  }
};

}  // namespace norvhost

#endif  // NORV_HOST_DAEMON_DAEMONMANAGER_H_
