#ifndef NORV_MANAGER_CNORVREMINDMGR_H_
#define NORV_MANAGER_CNORVREMINDMGR_H_

#include <atomic>
#include <list>
#include <map>
#include <memory>
#include <mutex>

#include "core/base/CCriticalSection.h"
#include "core/base/CGuid.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/CNorvEvent.h"
#include "core/base/CNorvThread.h"
#include "core/base/CString.h"
#include "core/base/NorvExport.h"
#include "core/db/CSession.h"
#include "core/im/CIM.h"
#include "message/CNorvRemindAMMsg.h"
#include "remind/CNorvRemind.h"
#include "style/CNorvRemindStyle.h"

// The one object the host drives: it keeps the reminds and styles in memory,
// holds instant messages until their remind time (the check thread) and
// delivers them through the IM client (the send thread).
//
// Use: construct, SetAMServer, SetAMSendUser, InitData, Start ... Stop, then
// destroy. InitData fills the containers before any thread runs; every other
// operation may be called from any host thread while the threads run.
//
// Locks: StyleLock, RemindLock, RemindAMMsgLock and SendAMMsgLock each guard
// their own containers; no operation holds two of them at once. An object's
// own lock may be taken while one of them is held, never the reverse.
//
// Choices the design leaves open, decided here:
// - Check passes are serialised: a pass started with CheckAMMsg and the check
//   thread's pass never overlap, so no message is queued twice. The pass lock
//   is taken before, and never while holding, any of the four locks above.
// - The manager is never destroyed while one of its threads runs: the
//   destructor sets StopEvent and joins both threads (the send thread first
//   sends what is still queued) before it releases anything. Stop keeps its
//   bounded waits; a host that needs to know the threads have ended may
//   simply destroy the manager.
// - AMPort is 0 until SetAMServer is called.
// - SendErrLogPath is the folder of the send-error log; a host may set it
//   before Start, otherwise the first failed send sets it to the folder of
//   the running program. The log file is <folder>/Remind_SendAMMsgErr_<day>.log.
class CheckListIndex;

class NORV_EXPORT CNorvRemindMgr {
 public:
  using RemindList = std::list<CNorvBasePtr<CNorvRemind>>;
  using RemindMapType = std::map<CGuid, CNorvBasePtr<CNorvRemind>>;
  using StyleListType = std::list<CNorvBasePtr<CNorvRemindStyle>>;
  using AMMsgList = std::list<CNorvBasePtr<CNorvRemindAMMsg>>;

  // A thread that runs one of Owner's thread bodies and signals GetHandle()
  // when it returns. Owner is not counted; it may also be set after
  // construction, before Start.
  class NORV_EXPORT CManagerThread : public CNorvThread {
   public:
    explicit CManagerThread(CNorvRemindMgr* owner = nullptr) : Owner(owner) {}
    ~CManagerThread() override;

    CNorvRemindMgr* Owner;

   protected:
    unsigned RunBody(void (CNorvRemindMgr::*body)());
  };

  // Runs Thread_CheckAMMsg.
  class NORV_EXPORT CCheckMsgThread : public CManagerThread {
   public:
    using CManagerThread::CManagerThread;
    unsigned Run() override;
  };

  // Runs Thread_SendAMMsg.
  class NORV_EXPORT CSendMsgThread : public CManagerThread {
   public:
    using CManagerThread::CManagerThread;
    unsigned Run() override;
  };

  static constexpr unsigned kCheckIntervalMs = 60000;
  static constexpr unsigned kSendIdleMs = 60000;
  static constexpr unsigned kStopWaitMs = 1000;

  CNorvRemindMgr();
  virtual ~CNorvRemindMgr();
  CNorvRemindMgr(const CNorvRemindMgr&) = delete;
  CNorvRemindMgr& operator=(const CNorvRemindMgr&) = delete;

  // Lifecycle and threads (CNorvRemindMgr.cpp). The settings take effect at
  // the next Start.
  void SetAMServer(CString server, unsigned int port);
  void SetAMSendUser(CString user, CString password);
  bool Start();
  // Sets StopEvent and waits up to a second for each thread. StopEvent stays
  // set: a later Start runs threads that end at their first wait.
  bool Stop();
  void Thread_CheckAMMsg();
  void Thread_SendAMMsg();
  // The check thread's wait between passes, kCheckIntervalMs unless set;
  // a change applies from the thread's next wait. Any thread may call it.
  void SetCheckInterval(unsigned milliseconds);

  // Loading and expiry (CNorvRemindMgrLoad.cpp). InitData runs once, before
  // Start, on empty containers.
  bool InitData(CSession& session, short dbType, CString& errorText);
  bool DBSetRemindInvalid(CSession& session, short dbType, CString* errorText = nullptr);
  bool DBSetRemindAMMsgInvalid(CSession& session, short dbType, CString* errorText = nullptr);
  bool DBDeleteRemindAMMsgInvalid(CSession& session, short dbType, CString* errorText = nullptr);
  // Only the style step of InitData, for a host that needs the styles alone.
  bool DBLoadRemindStyle(CSession& session, CString* errorText);

  // Remind registry (CNorvRemindMgrRemind.cpp). The registry takes its own
  // reference to a remind it accepts. A refused one (null, an invalid
  // identifier, an identifier already registered) is left untouched: its
  // owner, who should hold it through a CNorvBasePtr, keeps it.
  bool AddRemind(CNorvRemind* remind);
  bool RemoveRemind(CGuid id);
  CNorvBasePtr<CNorvRemind> GetRemind(CGuid id);
  // Replaces the list's contents with every remind, by identifier.
  void GetRemindList(RemindList& reminds);

  // Style registry (CNorvRemindMgrStyle.cpp). Names are unique without
  // regard to letter case; the display order is by order number, then by
  // name compared exactly. As with reminds, a refused style is left to its
  // owner untouched.
  bool AddRemindStyle(CNorvRemindStyle* style, bool sorted);
  // Each erases the other map's entry under the style's current identifier
  // or lower-cased name; after a rename the name entry is left behind.
  bool RemoveRemindStyle(CGuid id);
  bool RemoveRemindStyle(CString name);
  CNorvBasePtr<CNorvRemindStyle> GetRemindStyle(CGuid id);
  CNorvBasePtr<CNorvRemindStyle> GetRemindStyle(CString name);
  short GetRemindStyleMaxOrder();
  void AlterRemindStyleOrder(CNorvRemindStyle* style, short order);
  // The position before which a style of this order and name belongs.
  // The caller holds StyleLock.
  StyleListType::iterator FindRemindStyleOrder(short order, CString name);
  bool RenameRemindStyle(CString oldName, CString newName);
  void SetDefRemindStyle(CNorvRemindStyle* style);
  CNorvBasePtr<CNorvRemindStyle> GetDefRemindStyle();
  CString GenRemindStyleListInfo_XML();
  CString GenRemindStyleListInfo_Json();

  // Check cycle (CNorvRemindMgrCheck.cpp).
  void AddRemindAMMsg(CNorvRemindAMMsg* message, bool sorted);
  void RemoveRemindAMMsg(CNorvRemindAMMsg* message);
  // One check pass on the caller's thread.
  void CheckAMMsg();

  // Send cycle (CNorvRemindMgrSend.cpp).
  void AddSendAMMsg(CNorvRemindAMMsg* message);
  void RemoveSendAMMsg(CNorvRemindAMMsg* message);
  CNorvBasePtr<CNorvRemindAMMsg> GetSendAMMsg();
  // Sends the first queued message, if any; a failure goes to the log.
  void SendAMMsg();

  CIM IMClient;
  CString AMServer;
  unsigned int AMPort = 0;
  CString AMSendUser;
  CString AMSendPassword;
  CString SendErrLogPath;
  CManualResetEvent StopEvent{false};
  CCriticalSection StyleLock;
  std::map<CGuid, CNorvBasePtr<CNorvRemindStyle>> StyleIDMap;
  std::map<CString, CNorvBasePtr<CNorvRemindStyle>> StyleNameMap;
  StyleListType StyleList;
  CNorvBasePtr<CNorvRemindStyle> DefaultStyle;
  CCriticalSection RemindLock;
  RemindMapType RemindMap;
  CCriticalSection RemindAMMsgLock;
  AMMsgList RemindAMMsgList;
  CCheckMsgThread CheckMsgThread;
  CCriticalSection SendAMMsgLock;
  AMMsgList SendAMMsgList;
  CSendMsgThread SendMsgThread;
  CManualResetEvent SendEvent{false};

 protected:
  bool DBLoadRemind(CSession& session, CString* errorText);
  bool DBLoadRemindReceiver(CSession& session, CString* errorText);
  bool DBLoadRemindRepeat(CSession& session, CString* errorText);
  bool DBLoadMsg_AM(CSession& session, CString* errorText);

 private:
  // The caller holds StyleLock.
  void RemoveFromStyleList(CNorvRemindStyle* style);
  CString SendErrLogFolder();

  // Finds check list entries without walking the list; made on first use.
  // Guarded by RemindAMMsgLock.
  struct CheckIndexDeleter {
    void operator()(CheckListIndex* index) const;
  };
  CheckListIndex& CheckIndex();
  std::unique_ptr<CheckListIndex, CheckIndexDeleter> m_checkIndex;

  std::mutex m_checkPassMutex;
  std::mutex m_logFolderMutex;
  std::atomic<unsigned> m_checkIntervalMs{kCheckIntervalMs};
};

#endif  // NORV_MANAGER_CNORVREMINDMGR_H_
