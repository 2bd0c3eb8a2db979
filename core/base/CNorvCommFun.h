#ifndef NORV_CORE_BASE_CNORVCOMMFUN_H_
#define NORV_CORE_BASE_CNORVCOMMFUN_H_

#include "core/base/CNorvXmlDocument.h"
#include "core/base/CString.h"
#include "core/base/NorvExport.h"

// Helpers shared by every area: XML parsing, XML and JSON member text, the
// log file and the application folder. Every function may be called from
// any thread; WriteLogFile keeps each text whole.
class NORV_EXPORT CNorvCommFun {
 public:
  // False on malformed text (the document is then empty).
  static bool ParseXML(const CString& text, CNorvXmlDocument& document);

  // <name>value</name> with & < > ' " escaped; <name /> for an empty value.
  static CString GenXMLNodeStr(const wchar_t* name, const CString& value);
  // "name": "value" with the value escaped as JSON requires.
  static CString GenJsonNodeStr(const wchar_t* name, const CString& value);
  static CString EscapeXML(const CString& value);
  static CString EscapeJson(const CString& value);

  // Appends UTF-8 text to the file, creating it when absent.
  static void WriteLogFile(const CString& path, const CString& text);
  // Folder of the running executable, without a trailing separator.
  static CString GetCurAppPath();
};

#endif  // NORV_CORE_BASE_CNORVCOMMFUN_H_
