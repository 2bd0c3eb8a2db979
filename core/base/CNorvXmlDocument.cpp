#include "core/base/CNorvXmlDocument.h"

#include <pugixml.hpp>

namespace {

// pugixml tolerates several top-level elements; well-formed XML has one.
bool HasSingleRootElement(const pugi::xml_document& document) {
  int elements = 0;
  for (pugi::xml_node child : document.children()) {
    if (child.type() == pugi::node_element) ++elements;
  }
  return elements == 1;
}

}  // namespace

bool CNorvXmlDocument::Load(const CString& text) {
  m_document.reset();
  auto document = std::make_shared<pugi::xml_document>();
  const std::string utf8 = text.ToUtf8();
  // Comments are kept so that callers walking the children see every node kind.
  const unsigned options = pugi::parse_default | pugi::parse_comments;
  pugi::xml_parse_result result =
      document->load_buffer(utf8.data(), utf8.size(), options, pugi::encoding_utf8);
  if (!result || !HasSingleRootElement(*document)) return false;
  m_document = std::move(document);
  return true;
}

CNorvXmlNode CNorvXmlDocument::GetRootElement() const {
  if (!m_document) return CNorvXmlNode();
  auto* document = static_cast<pugi::xml_document*>(m_document.get());
  pugi::xml_node root = document->document_element();
  if (!root) return CNorvXmlNode();
  return CNorvXmlNode(m_document, root.internal_object());
}
