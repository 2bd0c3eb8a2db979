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
  EXPECT_EQ(std::filesystem::status(path).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(CIMTest, FailedSendsKeepTheirCodeAndExplainItInTheHostsLanguage) {
  norvtest::TempDir dir;
  CMsg msg;
  CIM client;
  EXPECT_EQ(client.GetLastErr(), kNorvIMOk);
  const std::string file = "file:" + dir.File("m.jsonl"), missing = dir.File("missing/m.jsonl");
  // Sends with no receiver only ask for a text.
  const std::tuple<std::string, const CMsg*, const wchar_t*, int, const wchar_t*, std::string>
      cases[] = {
          {"", &msg, L"alice", kNorvIMNotInitialised, L"EN", "the IM client is not initialised"},
          {"file:" + dir.path(), &msg, L"alice", kNorvIMFileNotWritable, L"en",
           "the message file cannot be written: " + dir.path() + ": Is a directory"},
          {"file:", &msg, L"alice", kNorvIMFileNotWritable, L"EN",
           "the message file cannot be written: the server address names no file after \"file:\""},
          {"file:" + missing, &msg, L"alice", kNorvIMFileNotWritable, L"chs",
           "无法写入消息文件：" + missing + ": No such file or directory"},
          {file, nullptr, L"alice", kNorvIMBadMessage, L"",
           "the message or its receiver is invalid: no message given"},
          {file, &msg, L"", kNorvIMBadMessage, L"CHS", "消息或接收者无效：no receiver given"},
          // Other codes than the last failure's come without its detail.
          {"", &msg, nullptr, kNorvIMAuthFailed, L"CHS", "即时消息服务器拒绝了发送账号或密码"},
          {"", &msg, nullptr, kNorvIMAuthFailed, L"",
           "the IM server refused the sending account or password"},
          {"", &msg, nullptr, 99, L"CHS", "未知错误 99"},
          {"", &msg, nullptr, 99, L"EN", "unknown error 99"},
      };
  for (const auto& [server, message, receiver, code, language, expected] : cases) {
    if (!server.empty()) client.Init(CString::FromUtf8(server), 0, L"", L"", 1);
    if (receiver != nullptr) {
      EXPECT_EQ(client.SendMsgEx(message, receiver), 0) << server;
      EXPECT_EQ(client.GetLastErr(), code) << server;
    }
    CString text;
    EXPECT_EQ(client.GetErrInfo(code, language, text), code != 99) << code;
    EXPECT_EQ(text.ToUtf8(), expected);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("m.jsonl")));
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
  norvtest::TempDir dir;
  const std::string path = dir.File("m.jsonl");
  auto early = std::make_shared<FailingTransport>(), late = std::make_shared<FailingTransport>();
  CIM client;
  client.SetTransport(early);
  EXPECT_EQ(early->init, L"");
  client.Init(L"im.example", 5333, L"sender@im.example", L"pw", 0);
  EXPECT_EQ(early->init, L"im.example 5333 sender@im.example pw 0");
  EXPECT_EQ(SendRemind(client, L"hello", L"alice"), 0);
  CString text;
  EXPECT_TRUE(client.GetErrInfo(client.GetLastErr(), L"CHS", text));
  EXPECT_EQ(std::to_string(client.GetLastErr()) + " " + text.ToUtf8(), "12 timeout");
  client.Init(FileServer(path), 5222, L"sender", L"secret", 1);
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
