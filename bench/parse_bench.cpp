// Reading remind definitions: the library's ParseXML of a whole remind
// against pugixml alone parsing the same texts, at three sizes of
// receiver list.
#include <NorvRemindCore.h>
#include <benchmark/benchmark.h>

#include <pugixml.hpp>
#include <string>

namespace {

std::wstring Definition(int receivers) {
  std::wstring text =
      L"<Remind Type='1' From='admin' SendFlag='3' InvalidDate='2027-12-31'>"
      L"<Content>Weekly stand-up in room 4, bring the "
      L"figures</Content><ContentType>Text/Text</ContentType>"
      L"<Repeat RemindTime='09:30' RegularType='1' RegularValue='124' DTStart='2026-01-01' />"
      L"<ReceiverList>";
  for (int i = 0; i < receivers; ++i) {
    const std::wstring id = std::to_wstring(i);
    text += L"<Receiver ID='user" + id + L"@example.org' Name='User " + id + L"' />";
  }
  return text + L"</ReceiverList></Remind>";
}

void BM_ParseRemind(benchmark::State& state) {
  const CString text(Definition(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    CNorvXmlDocument document;
    CNorvCommFun::ParseXML(text, document);
    CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
    CString errorText;
    if (!remind->ParseXML(document.GetRootElement(), errorText)) state.SkipWithError("rejected");
    benchmark::DoNotOptimize(remind.p);
  }
}
BENCHMARK(BM_ParseRemind)->Arg(1)->Arg(10)->Arg(100);

void BM_Pugixml(benchmark::State& state) {
  const std::wstring text = Definition(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    pugi::xml_document document;
    if (!document.load_buffer(text.data(), text.size() * sizeof(wchar_t), pugi::parse_default,
                              pugi::encoding_wchar)) {
      state.SkipWithError("rejected");
    }
    benchmark::DoNotOptimize(document.first_child().internal_object());
  }
}
BENCHMARK(BM_Pugixml)->Arg(1)->Arg(10)->Arg(100);

}  // namespace
