#include "core/im/CIM.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "NorvTestSupport.h"
#include "core/base/COleDateTime.h"

namespace {

int SendRemind(CIM& client, const CString& body, const CString& receiver) {
  CMsg msg;
  msg.SetMsgType(1);
  msg.SetBody(body);
  msg.SetContentType(L"text/plain");
  msg.SetMsgExtType(L"MsgAddIn?RemindMsg");
  msg.SetAttrib(L"RemindID", L"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
  return client.SendMsgEx(&msg, receiver);
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

CString FileServer(const std::string& path) { return CString::FromUtf8("file:" + path); }

TEST(CIMFileTest, AppendsOneEscapedJsonLinePerMessage) {
  norvtest::TempDir dir;
  const std::string path = dir.File("messages.jsonl");
  std::ofstream(path) << "earlier line\n";
  CIM client;
  client.Init(FileServer(path), 0, L"", L"", 1);
  const CString before = COleDateTime::GetCurrentTime().Format(L"%Y-%m-%d %H:%M:%S");
  ASSERT_NE(SendRemind(client, L"\x5F00\x4F1A \"A\\B\"\n", L"alice"), 0);
  CMsg bare;
  bare.SetMsgType(7);
  bare.SetAttrib(L"Note", L"old");
  bare.SetAttrib(L"Note", L"new");
  ASSERT_NE(client.SendMsgEx(&bare, L"\x5F20\x4E09"), 0);
  const CString after = COleDateTime::GetCurrentTime().Format(L"%Y-%m-%d %H:%M:%S");

  std::vector<std::string> lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "earlier line");
  const std::string time = lines[1].substr(11, 19);
  EXPECT_TRUE(before.ToUtf8() <= time && time <= after.ToUtf8()) << time;
  EXPECT_EQ(
      lines[1].replace(11, 19, ""),
      "{ \"Time\": \"\", \"Receiver\": \"alice\", \"MsgType\": \"1\", "
      "\"Body\": \"\xE5\xBC\x80\xE4\xBC\x9A \\\"A\\\\B\\\"\\n\", \"ContentType\": \"text/plain\", "
      "\"MsgExtType\": \"MsgAddIn?RemindMsg\", "
      "\"Attribs\": { \"RemindID\": \"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}\" } }");
  EXPECT_EQ(lines[2].replace(11, 19, ""),
            "{ \"Time\": \"\", \"Receiver\": \"\xE5\xBC\xA0\xE4\xB8\x89\", \"MsgType\": \"7\", "
            "\"Body\": \"\", \"ContentType\": \"\", \"MsgExtType\": \"\", \"Attribs\": { \"Note\": "
            "\"new\" } }");

  // A reader that moves the file away gets a new one, the owner's only
  // whatever the umask.
  std::filesystem::rename(path, path + ".taken");
  const mode_t umaskBefore = umask(0);
  ASSERT_NE(client.SendMsgEx(&bare, L"bob"), 0);
  umask(umaskBefore);
  EXPECT_EQ(ReadLines(path).size(), 1u);
  EXPECT_EQ(ReadLines(path + ".taken").size(), 3u);
  EXPECT_EQ(std::filesystem::status(path).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(CIMTest, FailedSendsKeepTheirCode) {
  norvtest::TempDir dir;
  CMsg msg;
  const std::tuple<std::string, const CMsg*, const wchar_t*, int> cases[] = {
      {"", &msg, L"alice", kNorvIMNotInitialised},  // Init not called
      {"file:" + dir.path(), &msg, L"alice", kNorvIMFileNotWritable},
      {"file:", &msg, L"alice", kNorvIMFileNotWritable},
      {"file:" + dir.File("missing/m.jsonl"), &msg, L"alice", kNorvIMFileNotWritable},
      {"file:" + dir.File("m.jsonl"), nullptr, L"alice", kNorvIMBadMessage},
      {"file:" + dir.File("m.jsonl"), &msg, L"", kNorvIMBadMessage},
  };
  for (const auto& [server, message, receiver, code] : cases) {
    CIM client;
    EXPECT_EQ(client.GetLastErr(), kNorvIMOk);
    if (!server.empty()) client.Init(CString::FromUtf8(server), 0, L"", L"", 1);
    EXPECT_EQ(client.SendMsgEx(message, receiver), 0) << server;
    EXPECT_EQ(client.GetLastErr(), code) << server;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("m.jsonl")));
}

TEST(CIMTest, ErrorTextsInChineseForCHSAndEnglishOtherwise) {
  norvtest::TempDir dir;
  const std::string missing = dir.File("absent/m.jsonl");
  CIM client;
  client.Init(FileServer(missing), 0, L"", L"", 1);
  ASSERT_EQ(SendRemind(client, L"lost?", L"alice"), 0);
  const std::string detail = missing + ": No such file or directory";
  const std::tuple<int, const wchar_t*, bool, std::string> cases[] = {
      {kNorvIMFileNotWritable, L"CHS", true, "无法写入消息文件：" + detail},
      {kNorvIMAuthFailed, L"CHS", true, "即时消息服务器拒绝了发送账号或密码"},
      {kNorvIMAuthFailed, L"", true, "the IM server refused the sending account or password"},
      {99, L"CHS", false, "未知错误 99"},
      {99, L"EN", false, "unknown error 99"},
  };
  for (const auto& [code, language, known, expected] : cases) {
    CString text;
    EXPECT_EQ(known, client.GetErrInfo(code, language, text)) << code;
    EXPECT_EQ(text.ToUtf8(), expected);
  }
}

// The one thing a real server cannot be made to do on cue: fail a send with
// a transport's own code.
class FailingTransport : public CNorvIMTransport {
 public:
  void Init(const CString& server, int port, const CString& user, const CString& password,
            int mode) override {
    init.Format(L"%s %d %s %s %d", server, port, user, password, mode);
  }
  int Send(const CMsg&, const CString&, int& errorCode, CString& errorText) override {
    errorCode = 12;
    errorText = L"timeout";
    return 0;
  }

  CString init;
};

TEST(CIMTransportTest, GivenTransportGetsInitsArgumentsAndItsFailureShows) {
  CIM client;
  auto early = std::make_shared<FailingTransport>();
  client.SetTransport(early);
  EXPECT_EQ(early->init, L"");
  client.Init(L"im.example", 5333, L"sender@im.example", L"pw", 0);
  EXPECT_EQ(early->init, L"im.example 5333 sender@im.example pw 0");
  EXPECT_EQ(SendRemind(client, L"hello", L"alice"), 0);
  EXPECT_EQ(client.GetLastErr(), 12);
  CString text;
  EXPECT_TRUE(client.GetErrInfo(12, L"CHS", text));
  EXPECT_EQ(text, L"timeout");

  norvtest::TempDir dir;
  const std::string path = dir.File("m.jsonl");
  client.Init(FileServer(path), 5222, L"sender", L"secret", 1);
  auto late = std::make_shared<FailingTransport>();
  client.SetTransport(late);
  EXPECT_EQ(late->init, FileServer(path) + L" 5222 sender secret 1");
  EXPECT_EQ(SendRemind(client, L"hello", L"alice"), 0);
  EXPECT_FALSE(std::filesystem::exists(path));
  // Without one the address chooses again; a success keeps the last failure's code.
  client.SetTransport(nullptr);
  EXPECT_NE(SendRemind(client, L"hello", L"alice"), 0);
  EXPECT_EQ(ReadLines(path).size(), 1u);
  EXPECT_EQ(client.GetLastErr(), 12);
}

}  // namespace
