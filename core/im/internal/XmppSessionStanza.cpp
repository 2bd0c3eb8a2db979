#include <strophe.h>

#include "core/im/internal/XmppSession.h"

namespace {

xmpp_stanza_t* NewElement(xmpp_ctx_t* ctx, const char* name) {
  xmpp_stanza_t* element = xmpp_stanza_new(ctx);
  xmpp_stanza_set_name(element, name);
  return element;
}

void AddText(xmpp_ctx_t* ctx, xmpp_stanza_t* element, const std::string& text) {
  if (text.empty()) return;
  xmpp_stanza_t* node = xmpp_stanza_new(ctx);
  xmpp_stanza_set_text(node, text.c_str());
  xmpp_stanza_add_child_ex(element, node, 0);
}

}  // namespace

// <message type='chat' to=… id=…><body>…</body>
//   <msg xmlns='urn:norvremind:msg' type=… contenttype=… exttype=…>
//     <attrib name=…>value</attrib>…</msg></message>
xmpp_stanza_t* XmppSession::BuildMessage(const XmppOutgoing& message) {
  xmpp_stanza_t* stanza = xmpp_message_new(m_ctx, "chat", message.to.c_str(), m_pendingId.c_str());
  xmpp_message_set_body(stanza, message.body.c_str());

  xmpp_stanza_t* extension = NewElement(m_ctx, "msg");
  xmpp_stanza_set_ns(extension, kNamespace);
  xmpp_stanza_set_attribute(extension, "type", message.msgType.c_str());
  xmpp_stanza_set_attribute(extension, "contenttype", message.contentType.c_str());
  xmpp_stanza_set_attribute(extension, "exttype", message.extType.c_str());
  for (const auto& [name, value] : message.attribs) {
    xmpp_stanza_t* attrib = NewElement(m_ctx, "attrib");
    xmpp_stanza_set_attribute(attrib, "name", name.c_str());
    AddText(m_ctx, attrib, value);
    xmpp_stanza_add_child_ex(extension, attrib, 0);
  }
  xmpp_stanza_add_child_ex(stanza, extension, 0);
  return stanza;
}
