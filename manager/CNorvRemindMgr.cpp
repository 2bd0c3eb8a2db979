#include "manager/CNorvRemindMgr.h"

#include <cassert>

#include "core/base/CSingleLock.h"

CNorvRemindMgr::CManagerThread::~CManagerThread() = default;

unsigned CNorvRemindMgr::CManagerThread::RunBody(void (CNorvRemindMgr::*body)()) {
  assert(Owner != nullptr);
  (Owner->*body)();
  GetHandle()->Set();
  return 0;
}

unsigned CNorvRemindMgr::CCheckMsgThread::Run() {
  return RunBody(&CNorvRemindMgr::Thread_CheckAMMsg);
}

unsigned CNorvRemindMgr::CSendMsgThread::Run() {
  return RunBody(&CNorvRemindMgr::Thread_SendAMMsg);
}

CNorvRemindMgr::CNorvRemindMgr() : CheckMsgThread(this), SendMsgThread(this) {}

CNorvRemindMgr::~CNorvRemindMgr() {
  // Stop's waits are bounded; the containers below must not be cleared
  // while a thread may still walk them.
  StopEvent.Set();
  CheckMsgThread.Join();
  SendMsgThread.Join();

  StyleIDMap.clear();
  StyleNameMap.clear();
  StyleList.clear();
  DefaultStyle = nullptr;
  RemindMap.clear();
  RemindAMMsgList.clear();
  SendAMMsgList.clear();
}

void CNorvRemindMgr::SetAMServer(CString server, unsigned int port) {
  AMServer = server;
  AMPort = port;
}

void CNorvRemindMgr::SetAMSendUser(CString user, CString password) {
  AMSendUser = user;
  AMSendPassword = password;
}

bool CNorvRemindMgr::Start() {
  IMClient.Init(AMServer, static_cast<int>(AMPort), AMSendUser, AMSendPassword, 1);
  CheckMsgThread.Start();
  SendMsgThread.Start();
  return true;
}

bool CNorvRemindMgr::Stop() {
  StopEvent.Set();
  CheckMsgThread.Wait(kStopWaitMs);
  SendMsgThread.Wait(kStopWaitMs);
  return true;
}

void CNorvRemindMgr::Thread_CheckAMMsg() {
  while (!CNorvEvent::Wait(StopEvent.GetEvent(), m_checkIntervalMs)) CheckAMMsg();
}

void CNorvRemindMgr::SetCheckInterval(unsigned milliseconds) { m_checkIntervalMs = milliseconds; }

void CNorvRemindMgr::Thread_SendAMMsg() {
  CNorvEvent* sendEvent = SendEvent.GetEvent();
  CNorvEvent* stopEvent = StopEvent.GetEvent();
  for (;;) {
    // The send event is listed first, so a set stop event is seen only once
    // the queue has been emptied.
    int woken = CNorvEvent::WaitEither(sendEvent, stopEvent, kSendIdleMs);
    if (woken == 1) return;
    if (woken == 0) SendAMMsg();
    CSingleLock lock(&SendAMMsgLock, true);
    bool pending = !SendAMMsgList.empty();
    if (woken == 0 && !pending) SendEvent.Reset();
    if (woken == CNorvEvent::kTimeout && pending) SendEvent.Set();
  }
}
