#include "core/base/CNorvXmlNode.h"

#include <pugixml.hpp>
#include <string>

namespace {

pugi::xml_node View(void* node) {
  return pugi::xml_node(static_cast<pugi::xml_node_struct*>(node));
}

bool IsText(const pugi::xml_node& node) {
  return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// The next node after `node` in document order that lies inside `top`,
// without descending into `node`'s own children.
pugi::xml_node NextOutside(pugi::xml_node node, const pugi::xml_node& top) {
  while (node != top) {
    if (node.next_sibling()) return node.next_sibling();
    node = node.parent();
  }
  return pugi::xml_node();
}

// Names are short and ASCII: narrowed without a wide copy, they fit the
// string's own room.
std::string Utf8Name(const wchar_t* name) {
  std::string narrow;
  for (const wchar_t* at = name; *at != L'\0'; ++at) {
    if (static_cast<char32_t>(*at) >= 0x80) return CString(name).ToUtf8();
    narrow += static_cast<char>(*at);
  }
  return narrow;
}

}  // namespace

bool CNorvXmlNode::IsElement() const {
  return !IsNull() && View(m_node).type() == pugi::node_element;
}

CString CNorvXmlNode::GetName() const {
  if (IsNull()) return CString();
  return CString::FromUtf8(View(m_node).name());
}

// Walks the subtree iteratively: documents may nest far deeper than the stack.
CString CNorvXmlNode::GetText() const {
  if (IsNull()) return CString();
  const pugi::xml_node top = View(m_node);
  if (IsText(top)) return CString::FromUtf8(top.value());
  std::string text;
  pugi::xml_node node = top.first_child();
  while (node) {
    if (IsText(node)) text += node.value();
    node = node.first_child() ? node.first_child() : NextOutside(node, top);
  }
  return CString::FromUtf8(text);
}

bool CNorvXmlNode::GetAttribute(const wchar_t* name, CString& value) const {
  if (IsNull() || name == nullptr) return false;
  pugi::xml_attribute attribute = View(m_node).attribute(Utf8Name(name).c_str());
  if (!attribute) return false;
  value.AssignUtf8(attribute.value());
  return true;
}

CNorvXmlNode CNorvXmlNode::GetFirstChild() const {
  if (IsNull()) return CNorvXmlNode();
  pugi::xml_node child = View(m_node).first_child();
  if (!child) return CNorvXmlNode();
  return CNorvXmlNode(m_document, child.internal_object());
}

CNorvXmlNode CNorvXmlNode::GetNextSibling() const {
  if (IsNull()) return CNorvXmlNode();
  pugi::xml_node sibling = View(m_node).next_sibling();
  if (!sibling) return CNorvXmlNode();
  return CNorvXmlNode(m_document, sibling.internal_object());
}
