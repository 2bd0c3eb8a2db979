// Parses a receiver list and renders it: proves the installed headers and
// library work together from a separate project.
#include <NorvRemindCore.h>

#include <cstdio>
#include <list>

int main() {
  CNorvXmlDocument document;
  if (!CNorvCommFun::ParseXML(L"<ReceiverList><Receiver ID='alice' Name='Alice' /></ReceiverList>",
                              document)) {
    std::puts("consumer: parse failed");
    return 1;
  }
  std::list<CNorvBasePtr<CEmItem>> receivers;
  if (!CEmItem::ParseEmXML(document.GetRootElement(), receivers) || receivers.size() != 1) {
    std::puts("consumer: receivers not read");
    return 1;
  }
  CString expected(L"<Receiver Type='0' ID='alice' Name='Alice' />");
  if (receivers.front()->GenEmInfo_XML() != expected) {
    std::printf("consumer: unexpected text %s\n", receivers.front()->GenEmInfo_XML().ToUtf8().c_str());
    return 1;
  }
  std::puts("consumer: installed NorvRemindCore works");
  return 0;
}
