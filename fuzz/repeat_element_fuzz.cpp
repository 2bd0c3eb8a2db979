// A Repeat element.
#include "FuzzInput.h"
#include "repeat/CNorvRemindRepeat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CNorvXmlDocument document;
  const CNorvXmlNode root = FuzzRoot(data, size, document);
  if (root.IsNull()) return 0;
  CNorvRemindRepeat repeat;
  CString error;
  if (repeat.ParseXML(root, error)) {
    CNorvXmlDocument rendered;
    if (!rendered.Load(repeat.GenInfo_XML())) __builtin_trap();
  }
  return 0;
}
