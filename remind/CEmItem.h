#ifndef NORV_REMIND_CEMITEM_H_
#define NORV_REMIND_CEMITEM_H_

#include <list>

#include "core/base/CNorvBase.h"
#include "core/base/CNorvBasePtr.h"
#include "core/base/CNorvXmlNode.h"
#include "core/base/CString.h"
#include "core/base/NorvExport.h"

// One receiver of a remind.
class NORV_EXPORT CEmItem : public CNorvBase {
 public:
  CEmItem() = default;

  // Appends the "Receiver" children of a receiver-list element to the list
  // (Type decimal, default 0; ID required and non-empty; Name optional).
  // False at the first receiver without an ID; receivers before it stay.
  static bool ParseEmXML(const CNorvXmlNode& element, std::list<CNorvBasePtr<CEmItem>>& items);

  CString GenEmInfo_XML() const;   // <Receiver Type='..' ID='..' Name='..' />
  CString GenEmInfo_Json() const;  // { "Type": "..", "ID": "..", "Name": ".." }

  short m_nReceiveType = 0;
  CString m_strReceiveID;
  CString m_strReceiveName;
};

#endif  // NORV_REMIND_CEMITEM_H_
