#ifndef NORV_REMIND_CNORVREMIND_H_
#define NORV_REMIND_CNORVREMIND_H_

#include <list>
#include <map>

#include "core/base/CCriticalSection.h"
#include "core/base/CGuid.h"
#include "core/base/CNorvBase.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/CNorvXmlNode.h"
#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "core/base/CStringArray.h"
#include "core/base/NorvExport.h"
#include "core/db/CSession.h"
#include "message/CNorvRemindAMMsg.h"
#include "remind/CEmItem.h"
#include "repeat/CNorvRemindRepeat.h"
#include "style/CNorvRemindStyleItem.h"

// One remind definition: what is said, to whom, by which channels and when.
//
// Locks: m_cs guards the scalars and texts; m_Repeat.m_cs the repeat rule;
// m_csStyle the style definition and its items; m_csReceiver the receivers;
// m_csAMMsg the pending instant messages. Where two are held, m_cs is taken
// first and one of the repeat lock, m_csStyle or m_csReceiver second;
// m_csAMMsg is never held together with another. Parsing takes no lock: it
// runs on reminds that are not yet shared.
class NORV_EXPORT CNorvRemind : public CNorvBase {
 public:
  enum Type : short { kOneOff = 0, kPeriodic = 1, kCustomStyle = 2 };
  enum SendFlag : short { kAMFlag = 1, kSMSFlag = 2, kEmailFlag = 4 };

  CNorvRemind();
  virtual ~CNorvRemind();

  // Record (CNorvRemind.cpp).
  void SetState(short state);
  short GetState();
  short GetType();
  short GetSendFlag();
  bool HasRepeat();
  COleDateTime GetInvalidDate();
  bool HasAMFlag();
  bool HasSMSFlag();
  bool HasEmailFlag();
  void GetContent(CString& content, CString& contentType);
  // Replaces the contents of `receivers`; the receiver objects are shared.
  void GetReceiverList(std::list<CNorvBasePtr<CEmItem>>& receivers);
  // Copy the definition (not the identifier, origin, creator or instant
  // messages). Only the locks of this remind are taken: the caller keeps the
  // other remind from changing meanwhile.
  void SetInfo(CNorvRemind* source);
  void GetInfo(CNorvRemind* target);

  // Definition parsing (CNorvRemindParse.cpp). A failure leaves the fields
  // read before it changed; the caller discards such a remind. A custom-style
  // remind keeps its "RemindStyleDef" text only: its items stay empty until
  // the caller parses them (CNorvRemindStyleItem::ParseListXML on
  // m_strRemindStyleDef into m_lstStyleItem), as the manager's loaders do.
  bool ParseXML(const CNorvXmlNode& element, CString& errorText);

  // Timing (CNorvRemindTiming.cpp). Days are dates at 00:00 or "%Y-%m-%d".
  bool NeedRemind(COleDateTime day);
  // The time of day this remind would fire at on `day`, whether or not it
  // fires that day: ask NeedRemind first.
  bool GetRemindTime(CString day, COleDateTime& time);
  void GetRemindTime(CString day, std::list<COleDateTime>& times);
  bool IsInvalid(COleDateTime day);
  void GetDayStyleList(unsigned int dayCount, std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items);
  bool ExistDayStyle(unsigned int dayCount);

  // Output (CNorvRemindOutput.cpp).
  CString GenListInfo_XML();
  CString GenListInfo_Json();
  CString GenInfo_XML();
  CString GenInfo_Json();
  CString GenReceiverInfo_XML();
  CString GenReceiverInfo_Json();

  // Persistence (CNorvRemindDB.cpp). A database kind of 1 writes times as
  // to_date( ... ), any other kind as quoted text; a time that is not set as
  // NULL. Every text is escaped for its statement. Statements run one at a
  // time without a transaction: a failure part-way leaves the rows already
  // written, and the error text, when given, holds the database's reason.

  // Fills a remind that is not yet shared: 1 loaded; 0 no such remind, with
  // the remind and `errorText` untouched; -1 failure.
  int DBLoadData(CSession& session, CGuid id, CString& errorText);
  int DBLoadInfo(CSession& session, CGuid id, CString* errorText = nullptr);
  bool DBLoadReceiver(CSession& session, CString* errorText = nullptr);
  bool DBLoadRepeat(CSession& session, CString* errorText = nullptr);
  // The definition row, then a periodic remind's repeat row. Receivers are
  // written by DBInsertReceiver.
  bool DBInsert(CSession& session, short dbType, CString* errorText = nullptr);
  // Also inserts, updates or deletes the repeat row as the type moved to,
  // stayed or left periodic since `previousType` was stored.
  bool DBUpdate(CSession& session, short dbType, short previousType, CString* errorText = nullptr);
  // The definition row only.
  static bool DBDelete(CSession& session, CGuid id, CString* errorText = nullptr);
  static bool DBSetState(CSession& session, CGuid id, short state, CString* errorText = nullptr);
  bool DBInsertReceiver(CSession& session, CString* errorText = nullptr);
  static bool DBDeleteReceiver(CSession& session, CGuid id, CString* errorText = nullptr);
  // One unread inbox row per receiver, each with a new identifier. `names`
  // runs parallel to `receivers`; a missing name throws
  // std::invalid_argument when it is reached.
  bool DBInsertMsg(CSession& session, short dbType, CStringArray& receivers, CStringArray& names,
                   COleDateTime remindTime, CString* errorText = nullptr);

  // Pending instant messages (CNorvRemindAMMsgMap.cpp), keyed and ordered by
  // their identifiers.
  // Deletes their rows (none, one, or all in one statement); the map stays.
  bool DBDeleteAMMsg(CSession& session, CString* errorText = nullptr);
  // A null message or an invalid identifier is ignored; for an identifier
  // already present the first object stays. The map takes its own reference
  // to a message it keeps; a refused one is left untouched, so its owner,
  // holding it through a CNorvBasePtr, keeps it.
  void AddAMMsg(CNorvRemindAMMsg* msg);
  void RemoveAMMsg(CGuid msgID);
  // Replaces the contents of `msgs`, in identifier order.
  void GetAMMsgList(std::list<CNorvBasePtr<CNorvRemindAMMsg>>& msgs);
  bool HasRemindMsg();
  void CleanAMMsgList();

  CCriticalSection m_cs;
  CGuid m_ID;
  short m_nState;
  short m_nType;
  CNorvRemindRepeat m_Repeat;
  COleDateTime m_dtRemind;
  COleDateTime m_dtInvalid;
  CCriticalSection m_csStyle;
  CString m_strRemindStyleDef;
  std::list<CNorvBasePtr<CNorvRemindStyleItem>> m_lstStyleItem;
  CString m_strFrom;
  CString m_strCreatorID;
  CString m_strCreatorName;
  CString m_strCreateTime;
  short m_nSendFlag;
  CString m_strContent;
  CString m_strContentType;
  CCriticalSection m_csReceiver;
  std::list<CNorvBasePtr<CEmItem>> m_lstReceiver;
  CCriticalSection m_csAMMsg;
  std::map<CGuid, CNorvBasePtr<CNorvRemindAMMsg>> m_mapAMMsg;

 private:
  CString GenHead_XML();
  CString GenHead_Json();
  std::list<CNorvBasePtr<CNorvRemindStyleItem>> CopyStyleItems();
  std::list<CNorvBasePtr<CEmItem>> CopyReceivers();
  std::map<CGuid, CNorvBasePtr<CNorvRemindAMMsg>> CopyAMMsgs();
};

#endif  // NORV_REMIND_CNORVREMIND_H_
