#include "core/db/CNorvDBFun.h"
#include "core/db/internal/NorvSQLValue.h"
#include "message/CNorvRemindMsg.h"
#include "remind/internal/NorvCodes.h"

bool CNorvRemindMsg::DBSetReaded(CSession& session, short dbType, CGuid msgID, CString* errorText) {
  return norvsql::RunFormat(
      session, errorText,
      L"UPDATE NORV_REMIND_MSG SET CN_N_STATUS = %d, CN_T_READ = %s WHERE CN_G_ID = '%s'",
      norvcode::kMsgRead, norvsql::NowValue(dbType), msgID.GetString1());
}

bool CNorvRemindMsg::DBSetReaded(CSession& session, short dbType, CGuid remindID, CString receiver,
                                 CString* errorText) {
  return norvsql::RunFormat(session, errorText,
                            L"UPDATE\tNORV_REMIND_MSG SET CN_N_STATUS = %d, CN_T_READ = %s "
                            L"WHERE\tCN_S_RECEIVER = '%s' AND\tCN_G_REMIND_ID = '%s'",
                            norvcode::kMsgRead, norvsql::NowValue(dbType),
                            CNorvDBFun::FormatSQLValue(receiver), remindID.GetString1());
}

bool CNorvRemindMsg::DBDelete(CSession& session, CGuid msgID, CString* errorText) {
  return norvsql::RunFormat(session, errorText, L"DELETE NORV_REMIND_MSG WHERE CN_G_ID = '%s'",
                            msgID.GetString1());
}

bool CNorvRemindMsg::DBDelete(CSession& session, CGuid remindID, CString receiver,
                              CString* errorText) {
  return norvsql::RunFormat(
      session, errorText,
      L"DELETE NORV_REMIND_MSG WHERE CN_S_RECEIVER = '%s' AND CN_G_REMIND_ID = '%s'",
      CNorvDBFun::FormatSQLValue(receiver), remindID.GetString1());
}

// An inbox message has no send status: only an instant message records one.
bool CNorvRemindMsg::DBSetSuccess(CSession&, short, CString*) { return false; }

bool CNorvRemindMsg::DBSetFail(CSession&, short, CString, CString*) { return false; }
