#ifndef NORV_STYLE_CNORVREMINDSTYLE_H_
#define NORV_STYLE_CNORVREMINDSTYLE_H_

#include <list>

#include "core/base/CCriticalSection.h"
#include "core/base/CGuid.h"
#include "core/base/CNorvBase.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/CNorvXmlNode.h"
#include "core/base/CString.h"
#include "core/base/NorvExport.h"
#include "core/db/CSession.h"
#include "style/CNorvRemindStyleItem.h"

// A named, ordered remind style that custom-style reminds count back from
// their deadline with, and its row in NORV_REMIND_STYLE.
//
// Locks: m_cs guards the identifier, name, order, flag and the creator and
// modifier fields, and is held by every renderer; m_csDef guards the
// definition text and its items. The two are never held together. The row
// and the object change separately: no database operation changes a field.
class NORV_EXPORT CNorvRemindStyle : public CNorvBase {
 public:
  CNorvRemindStyle();
  virtual ~CNorvRemindStyle();

  // Copies name, order, modifier fields, definition and items (the same item
  // objects); not the identifier, flag or creator fields.
  void SetInfo(CNorvRemindStyle* source);
  // Copies name, order and definition only.
  void GetInfo(CNorvRemindStyle* target);

  void SetName(CString name);
  CString GetName();
  void SetOrder(short order);
  short GetOrder();
  void SetDefault(bool isDefault);
  bool IsDefault();
  CString GetDefInfo();

  // Reads the "Order" attribute and the "Name" and "Def" children (names
  // compared without case). The definition is neither parsed nor checked
  // here. A failure leaves the fields read before it changed.
  bool ParseXML(const CNorvXmlNode& element, CString& errorText);

  // Short forms for lists (identifier, order, flag, name) and full forms.
  CString GenListInfo_XML();
  CString GenListInfo_Json();
  CString GenInfo_XML();
  CString GenInfo_Json();

  // Every text is escaped for the statement, the creator, modifier and time
  // texts too: they come from outside, and a quote in them must not end its
  // literal. A database kind of 1 writes times as
  // to_date( ... ), any other kind as quoted text; an empty time as NULL.

  static bool DBDelete(CSession& session, CGuid& id, CString* errorText = nullptr);
  // A new row is never the default; DBSetDefault makes it so. The creation
  // time fills both time columns.
  bool DBInsert(CSession& session, short dbType, CString* errorText = nullptr);
  bool DBUpdate(CSession& session, short dbType, CString* errorText = nullptr);
  // Writes `newName`, not this style's name.
  bool DBRename(CSession& session, CString newName, CString* errorText = nullptr);
  bool DBSetOrder(CSession& session, int order, CString* errorText = nullptr);
  bool DBSetDefault(CSession& session, bool isDefault, CString* errorText = nullptr);

  CCriticalSection m_cs;
  CGuid m_ID;
  CString m_strName;
  short m_nOrder;
  bool m_bDefault;
  CCriticalSection m_csDef;
  CString m_strDef;
  std::list<CNorvBasePtr<CNorvRemindStyleItem>> m_lstStyleItem;
  CString m_strCreatorID;
  CString m_strCreatorName;
  CString m_strCreateTime;
  CString m_strModifierID;
  CString m_strModifierName;
  CString m_strModifyTime;

 private:
  CGuid CopyID();
};

#endif  // NORV_STYLE_CNORVREMINDSTYLE_H_
