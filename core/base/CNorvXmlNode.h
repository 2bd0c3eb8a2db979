#ifndef NORV_CORE_BASE_CNORVXMLNODE_H_
#define NORV_CORE_BASE_CNORVXMLNODE_H_

#include <memory>

#include "core/base/CString.h"
#include "core/base/NorvExport.h"

// A light view of one node of a parsed XML document; it keeps the document
// alive. A default-constructed node is null.
class NORV_EXPORT CNorvXmlNode {
 public:
  CNorvXmlNode() = default;

  bool IsNull() const { return m_node == nullptr; }
  bool IsElement() const;
  CString GetName() const;
  // All descendant text, concatenated.
  CString GetText() const;
  // False when the attribute is absent (an empty attribute gives true).
  bool GetAttribute(const wchar_t* name, CString& value) const;
  CNorvXmlNode GetFirstChild() const;
  CNorvXmlNode GetNextSibling() const;

 private:
  friend class CNorvXmlDocument;
  CNorvXmlNode(std::shared_ptr<void> document, void* node)
      : m_document(std::move(document)), m_node(node) {}

  std::shared_ptr<void> m_document;
  void* m_node = nullptr;
};

#endif  // NORV_CORE_BASE_CNORVXMLNODE_H_
