#ifndef NORV_CORE_BASE_CNORVXMLDOCUMENT_H_
#define NORV_CORE_BASE_CNORVXMLDOCUMENT_H_

#include <memory>

#include "core/base/CNorvXmlNode.h"
#include "core/base/CString.h"
#include "core/base/NorvExport.h"

// A parsed XML document. Filled by CNorvCommFun::ParseXML. One thread at a
// time; nodes taken from it keep their document alive after a new Load or
// the end of this object.
class NORV_EXPORT CNorvXmlDocument {
 public:
  CNorvXmlDocument() = default;

  bool Load(const CString& text);
  // The document element; null when nothing was loaded.
  CNorvXmlNode GetRootElement() const;

 private:
  std::shared_ptr<void> m_document;
};

#endif  // NORV_CORE_BASE_CNORVXMLDOCUMENT_H_
