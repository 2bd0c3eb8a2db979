// Parses a remind definition and renders it: proves the installed headers
// and library work together from a separate project.
#include <NorvRemindCore.h>

#include <cstdio>

int main() {
  CNorvXmlDocument document;
  const CString definition(
      L"<Remind Type='0' RemindTime='2030-01-02 08:30:00'><Content>Stand-up</Content>"
      L"<ReceiverList><Receiver ID='alice' Name='Alice' /></ReceiverList></Remind>");
  if (!CNorvCommFun::ParseXML(definition, document)) {
    std::puts("consumer: the definition is not XML");
    return 1;
  }
  CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
  CString errorText;
  if (!remind->ParseXML(document.GetRootElement(), errorText)) {
    std::printf("consumer: parse failed: %s\n", errorText.ToUtf8().c_str());
    return 1;
  }
  const CString expected(
      L"<ReceiverList><Receiver Type='0' ID='alice' Name='Alice' /></ReceiverList>");
  if (remind->GenReceiverInfo_XML() != expected ||
      !remind->NeedRemind(COleDateTime(2030, 1, 2, 0, 0, 0))) {
    std::printf("consumer: unexpected remind %s\n", remind->GenInfo_XML().ToUtf8().c_str());
    return 1;
  }
  std::puts("consumer: installed NorvRemindCore works");
  return 0;
}
