#ifndef NORV_STYLE_CNORVREMINDSTYLEITEM_H_
#define NORV_STYLE_CNORVREMINDSTYLEITEM_H_

#include <list>

#include "core/base/CCriticalSection.h"
#include "core/base/CNorvBase.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/CNorvXmlNode.h"
#include "core/base/CString.h"
#include "core/base/NorvExport.h"

// One item of a remind style: a number of days before the deadline and a
// time of day. Filled once by parsing and only read after that, so readers
// may use the fields without the lock.
class NORV_EXPORT CNorvRemindStyleItem : public CNorvBase {
 public:
  CNorvRemindStyleItem();
  virtual ~CNorvRemindStyleItem();

  // Reads "Day" and "Time" (hours and minutes) from an item element; the
  // time is kept as "%H:%M".
  bool ParseXML(const CNorvXmlNode& element, CString& errorText);

  // An empty text is an empty definition and leaves the list as it was.
  static bool ParseListXML(CString text, std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items,
                           CString& errorText);
  // On failure the list keeps the items before the failing one.
  static bool ParseListXML(const CNorvXmlNode& element,
                           std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items,
                           CString& errorText);

  // Stable; the day compares as an unsigned number, then the time as text.
  static void SortStyleItemList(std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items,
                                bool ascending);

  bool IsSame(CNorvRemindStyleItem* other);

  CString GenInfo_XML();
  CString GenInfo_Json();

  CCriticalSection m_cs;
  int m_nDay;
  CString m_strTime;
};

#endif  // NORV_STYLE_CNORVREMINDSTYLEITEM_H_
