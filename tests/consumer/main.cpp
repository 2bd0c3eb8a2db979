// Parses a remind definition and renders it: proves the installed headers
// and library work together from a separate project.
#include <NorvRemindCore.h>

#include <cstdio>

int main() {
  CNorvXmlDocument document;
  CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
  CString errorText;
  const bool works =
      CNorvCommFun::ParseXML(
          L"<Remind Type='0' RemindTime='2030-01-02 08:30:00'><Content>Stand-up</Content>"
          L"<ReceiverList><Receiver ID='alice' Name='Alice' /></ReceiverList></Remind>",
          document) &&
      remind->ParseXML(document.GetRootElement(), errorText) &&
      remind->GenReceiverInfo_XML() ==
          CString(L"<ReceiverList><Receiver Type='0' ID='alice' Name='Alice' /></ReceiverList>") &&
      remind->NeedRemind(COleDateTime(2030, 1, 2, 0, 0, 0));
  std::printf("consumer: %s%s\n", works ? "installed NorvRemindCore works" : "unexpected remind ",
              works ? "" : (errorText + remind->GenInfo_XML()).ToUtf8().c_str());
  return works ? 0 : 1;
}
