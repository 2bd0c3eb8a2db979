#ifndef NORV_CORE_IM_CMSG_H_
#define NORV_CORE_IM_CMSG_H_

#include <utility>
#include <vector>

#include "core/base/CString.h"
#include "core/base/NorvExport.h"

// One instant message as handed to CIM::SendMsgEx: a type, a body with its
// content type, an extension type and named attributes. A plain value: one
// thread at a time; SendMsgEx only reads it.
class NORV_EXPORT CMsg {
 public:
  using AttribList = std::vector<std::pair<CString, CString>>;

  void SetMsgType(int type) { m_nMsgType = type; }
  void SetBody(CString body) { m_strBody = std::move(body); }
  void SetContentType(CString contentType) { m_strContentType = std::move(contentType); }
  void SetMsgExtType(CString extType) { m_strMsgExtType = std::move(extType); }
  // Setting a name again replaces its value; names keep their first order.
  void SetAttrib(CString name, CString value);

  int GetMsgType() const { return m_nMsgType; }
  const CString& GetBody() const { return m_strBody; }
  const CString& GetContentType() const { return m_strContentType; }
  const CString& GetMsgExtType() const { return m_strMsgExtType; }
  // Empty when the attribute was never set.
  CString GetAttrib(const CString& name) const;
  const AttribList& GetAttribList() const { return m_attribs; }

 private:
  int m_nMsgType = 0;
  CString m_strBody;
  CString m_strContentType;
  CString m_strMsgExtType;
  AttribList m_attribs;
};

#endif  // NORV_CORE_IM_CMSG_H_
