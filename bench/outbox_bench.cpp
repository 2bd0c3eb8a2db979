// The file outbox: messages sent through the IM client to a "file:" server
// against plain writes of the same lines, flushed one by one, to one open
// file.
#include <NorvRemindCore.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string OutboxPath(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

CMsg Message() {
  CMsg message;
  message.SetMsgType(1);
  message.SetBody(L"Stand-up in room 4 at 09:30, bring the figures");
  message.SetContentType(L"Text/Text");
  return message;
}

void BM_FileOutbox(benchmark::State& state) {
  const std::string path = OutboxPath("norv-bench-outbox.jsonl");
  std::filesystem::remove(path);
  CIM client;
  client.Init(CString::FromUtf8("file:" + path), 0, L"sender", L"", 0);
  const CMsg message = Message();
  for (auto _ : state) {
    if (client.SendMsgEx(&message, L"alice@localhost") == 0) state.SkipWithError("send failed");
  }
  state.SetItemsProcessed(state.iterations());
  std::filesystem::remove(path);
}
BENCHMARK(BM_FileOutbox)->UseRealTime();

// The line the outbox writes for the same message, taken from a real send.
std::string OutboxLine() {
  const std::string path = OutboxPath("norv-bench-line.jsonl");
  std::filesystem::remove(path);
  {
    CIM client;
    client.Init(CString::FromUtf8("file:" + path), 0, L"sender", L"", 0);
    const CMsg message = Message();
    client.SendMsgEx(&message, L"alice@localhost");
  }
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  std::filesystem::remove(path);
  return line + "\n";
}

void BM_PlainFlushedWrites(benchmark::State& state) {
  const std::string line = OutboxLine();
  const std::string path = OutboxPath("norv-bench-plain.jsonl");
  std::FILE* file = std::fopen(path.c_str(), "a");
  for (auto _ : state) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fflush(file);
  }
  std::fclose(file);
  state.SetItemsProcessed(state.iterations());
  std::filesystem::remove(path);
}
BENCHMARK(BM_PlainFlushedWrites)->UseRealTime();

}  // namespace
