// A ReceiverList element, and each receiver's rendering.
#include <list>

#include "FuzzInput.h"
#include "remind/CEmItem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CNorvXmlDocument document;
  const CNorvXmlNode root = FuzzRoot(data, size, document);
  if (root.IsNull()) return 0;
  std::list<CNorvBasePtr<CEmItem>> receivers;
  CEmItem::ParseEmXML(root, receivers);
  for (const auto& receiver : receivers) {
    CNorvXmlDocument rendered;
    if (!rendered.Load(receiver->GenEmInfo_XML())) __builtin_trap();
    receiver->GenEmInfo_Json();
  }
  return 0;
}
