#ifndef NORV_REPEAT_CNORVREPEAT_H_
#define NORV_REPEAT_CNORVREPEAT_H_

#include "core/base/CCriticalSection.h"
#include "core/base/CNorvBase.h"
#include "core/base/CNorvXmlNode.h"
#include "core/base/COleDateTime.h"
#include "core/base/CString.h"
#include "core/base/NorvExport.h"

// The recurrence rule of a periodic remind: on which days it fires, from
// which day, and how often at most.
//
// m_nRegularType / m_nRegularValue:
//   0 daily:   value 0 every m_nInterval days from m_dtStart, 1 Monday to
//              Friday, 2 Saturday and Sunday, anything else never.
//   1 weekly:  value is a weekday mask, bit 1 Sunday ... bit 7 Saturday.
//   2 monthly: 1..31 that day of the month, -n the n-th day counted back from
//              the first of the next month, 0 never.
//   3 yearly:  the month and day of m_dtStart.
//   other:     never.
//
// Two choices for rules no definition produces but a database row can: a
// daily interval rule with m_nInterval 0 never fires, and neither does one
// whose m_dtStart is null or invalid (there is no day to count from).
//
// m_dtEnd, m_nNum and m_nCount are carried but not consulted by MatchDate;
// the remind decides when it has run out.
//
// Thread safety: accessors, copies and matching take m_cs (re-entrant, so a
// derived class may hold it around the base copy). ParseXML does not: it runs
// on a rule that nobody else sees yet.
class NORV_EXPORT CNorvRepeat : public CNorvBase {
 public:
  CNorvRepeat() = default;
  virtual ~CNorvRepeat() = default;

  // Copy every field but the lock, holding this rule's lock.
  void SetInfo(CNorvRepeat* source);
  void GetInfo(CNorvRepeat* target) const;

  short GetReqularType() const;
  short GetInterval() const;
  short GetRegularValue() const;
  short GetRegularRange() const;
  void GetRepeatNum(int& num, int& count) const;
  int GetRepeatNum() const;
  // Counts one firing; returns the new count.
  int IncRepeatCount();

  // True for an hours:minutes time of day such as 8:30 or 08:30.
  bool IsValidTime(CString time) const;

  // True when the rule fires on the day of `date`.
  bool MatchDate(COleDateTime date) const;

  // Reads the rule from the attributes of a repeat element. On failure the
  // fields read before the fault keep their new values.
  bool ParseXML(const CNorvXmlNode& element, CString& errorText);

  mutable CCriticalSection m_cs;
  short m_nRegularType = 0;
  short m_nInterval = 1;
  short m_nRegularValue = 0;
  short m_nRegularRange = 0;
  int m_nNum = 0;
  int m_nCount = 0;
  COleDateTime m_dtStart;
  COleDateTime m_dtEnd;

 protected:
  bool MatchDate_Day(COleDateTime date) const;
  bool MatchDate_Week(COleDateTime date) const;
  bool MatchDate_Month(COleDateTime date) const;
  bool MatchDate_Year(COleDateTime date) const;

 private:
  COleDateTime LockedStart() const;
};

#endif  // NORV_REPEAT_CNORVREPEAT_H_
