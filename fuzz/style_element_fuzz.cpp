// A Style element, and the renderings of whatever it accepts.
#include "FuzzInput.h"
#include "style/CNorvRemindStyle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CNorvXmlDocument document;
  const CNorvXmlNode root = FuzzRoot(data, size, document);
  if (root.IsNull()) return 0;
  CNorvBasePtr<CNorvRemindStyle> style = new CNorvRemindStyle;
  CString error;
  if (style->ParseXML(root, error)) {
    CNorvXmlDocument rendered;
    if (!rendered.Load(style->GenInfo_XML())) __builtin_trap();
    style->GenInfo_Json();
  }
  return 0;
}
