// A remind definition, and the renderings of whatever it accepts.
#include "FuzzInput.h"
#include "remind/CNorvRemind.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CNorvXmlDocument document;
  const CNorvXmlNode root = FuzzRoot(data, size, document);
  if (root.IsNull()) return 0;
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  CString error;
  if (remind->ParseXML(root, error)) {
    CNorvXmlDocument rendered;
    // What the library writes must parse again.
    if (!rendered.Load(remind->GenInfo_XML())) __builtin_trap();
    remind->GenInfo_Json();
  }
  return 0;
}
