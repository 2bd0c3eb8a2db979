#include "core/base/CNorvCommFun.h"
#include "core/base/COleDateTime.h"
#include "core/base/CSingleLock.h"
#include "core/im/CMsg.h"
#include "manager/CNorvRemindMgr.h"

void CNorvRemindMgr::AddSendAMMsg(CNorvRemindAMMsg* message) {
  if (message == nullptr) return;
  CSingleLock lock(&SendAMMsgLock, true);
  SendAMMsgList.push_back(message);
  SendEvent.Set();
}

void CNorvRemindMgr::RemoveSendAMMsg(CNorvRemindAMMsg* message) {
  if (message == nullptr) return;
  CSingleLock lock(&SendAMMsgLock, true);
  SendAMMsgList.remove_if(
      [message](const CNorvBasePtr<CNorvRemindAMMsg>& entry) { return entry == message; });
}

CNorvBasePtr<CNorvRemindAMMsg> CNorvRemindMgr::GetSendAMMsg() {
  CSingleLock lock(&SendAMMsgLock, true);
  if (SendAMMsgList.empty()) return nullptr;
  CNorvBasePtr<CNorvRemindAMMsg> message = SendAMMsgList.front();
  SendAMMsgList.pop_front();
  return message;
}

void CNorvRemindMgr::SendAMMsg() {
  CNorvBasePtr<CNorvRemindAMMsg> message = GetSendAMMsg();
  if (!message) return;

  CMsg msg;
  msg.SetMsgType(1);
  msg.SetBody(message->m_strContent);
  msg.SetContentType(message->m_strContentType);
  msg.SetMsgExtType(L"MsgAddIn?RemindMsg");
  msg.SetAttrib(L"RemindID", message->m_RemindID.GetString());
  if (IMClient.SendMsgEx(&msg, message->m_strReceiver) != 0) return;

  const CString folder = SendErrLogFolder();
  const int code = IMClient.GetLastErr();
  CString reason;
  IMClient.GetErrInfo(code, L"CHS", reason);
  const COleDateTime now = COleDateTime::GetCurrentTime();
  // The folder separator of this platform: a backslash would name a file
  // beside the folder rather than in it.
  CString path;
  path.Format(L"%s/Remind_SendAMMsgErr_%s.log", folder, now.Format(L"%Y%m%d"));
  CString line;
  line.Format(L"%s 提醒发送消息失败，原因：%d - %s\r\n", now.Format(L"%Y-%m-%d %H:%M:%S"), code,
              reason);
  CNorvCommFun::WriteLogFile(path, line);
}

// The host thread and the send thread may both send; the folder is taken
// from the program's location once.
CString CNorvRemindMgr::SendErrLogFolder() {
  std::lock_guard<std::mutex> lock(m_logFolderMutex);
  if (SendErrLogPath.IsEmpty()) SendErrLogPath = CNorvCommFun::GetCurAppPath();
  return SendErrLogPath;
}
