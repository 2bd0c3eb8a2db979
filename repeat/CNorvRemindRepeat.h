#ifndef NORV_REPEAT_CNORVREMINDREPEAT_H_
#define NORV_REPEAT_CNORVREMINDREPEAT_H_

#include "core/base/CGuid.h"
#include "core/base/CNorvXmlNode.h"
#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "core/base/NorvExport.h"
#include "core/db/CSession.h"
#include "repeat/CNorvRepeat.h"

// The repeat of a periodic remind: its rule plus the time of day at which it
// fires, with its text forms and its row in NORV_REMIND_REPEAT (one per
// remind, keyed by the remind's identifier).
//
// A database kind of 1 writes dates as to_date( ... ); any other kind as
// quoted text.
class NORV_EXPORT CNorvRemindRepeat : public CNorvRepeat {
 public:
  CNorvRemindRepeat() = default;
  virtual ~CNorvRemindRepeat() = default;

  // Copy every field but the lock, holding this object's lock.
  void SetInfo(CNorvRemindRepeat* source);
  void GetInfo(CNorvRemindRepeat* target) const;

  // The remind's moment on `day` (a date text); false for an empty day or a
  // text that does not read as a date, which leaves `result` untouched or
  // invalid respectively.
  bool GetRemindTime(CString day, COleDateTime& result) const;

  // The rule's attributes plus RemindTime. A rejected time stays stored.
  bool ParseXML(const CNorvXmlNode& element, CString& errorText);

  CString GenInfo_XML() const;   // <Repeat ... />
  CString GenInfo_Json() const;  // "Repeat": { ... }

  bool DBInsert(CSession& session, short dbType, CGuid remindID,
                CString* errorText = nullptr) const;
  // Leaves the stored count alone; DBSetRepeatCount owns it.
  bool DBUpdate(CSession& session, short dbType, CGuid remindID,
                CString* errorText = nullptr) const;
  // A remind without a row keeps this object as it is and still succeeds.
  bool DBLoadData(CSession& session, CGuid remindID, CString* errorText = nullptr);
  static bool DBDelete(CSession& session, CGuid remindID, CString* errorText = nullptr);
  static bool DBSetRepeatCount(CSession& session, CGuid remindID, int count,
                               CString* errorText = nullptr);

  CString m_strRemindTime;
};

#endif  // NORV_REPEAT_CNORVREMINDREPEAT_H_
