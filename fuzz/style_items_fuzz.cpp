// A style's item list, as the text stored with a remind or style.
#include <list>

#include "FuzzInput.h"
#include "style/CNorvRemindStyleItem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::list<CNorvBasePtr<CNorvRemindStyleItem>> items;
  CString error;
  CNorvRemindStyleItem::ParseListXML(FuzzText(data, size), items, error);
  return 0;
}
