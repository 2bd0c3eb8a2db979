#include "core/CIM.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "NorvTestSupport.h"
#include "core/COleDateTime.h"

namespace {

CMsg RemindMsg(const CString& body) {
  CMsg msg;
  msg.SetMsgType(1);
  msg.SetBody(body);
  msg.SetContentType(L"text/plain");
  msg.SetMsgExtType(L"MsgAddIn?RemindMsg");
  msg.SetAttrib(L"RemindID", L"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
  return msg;
}

int SendRemind(CIM& client, const CString& body, const CString& receiver) {
  CMsg msg = RemindMsg(body);
  return client.SendMsgEx(&msg, receiver);
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Now() { return COleDateTime::GetCurrentTime().Format(L"%Y-%m-%d %H:%M:%S").ToUtf8(); }

// The line without its time, which the caller checks on its own.
std::string WithoutTime(const std::string& line, std::string& time) {
  const std::string head = "{ \"Time\": \"";
  if (line.compare(0, head.size(), head) != 0 || line.size() < head.size() + 19) return line;
  time = line.substr(head.size(), 19);
  return line.substr(0, head.size()) + line.substr(head.size() + 19);
}

TEST(CIMFileTest, AppendsOneJsonLinePerMessage) {
  norvtest::TempDir dir;
  const std::string path = dir.File("messages.jsonl");
  std::ofstream(path) << "earlier line\n";
  CIM client;
  client.Init(CString::FromUtf8("file:" + path), 0, L"", L"", 1);

  const std::string before = Now();
  ASSERT_NE(SendRemind(client, L"Remind: meeting at 10", L"alice"), 0);
  CMsg bare;
  bare.SetMsgType(7);
  ASSERT_NE(client.SendMsgEx(&bare, L"bob@im.example"), 0);
  const std::string after = Now();

  std::vector<std::string> lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "earlier line");
  std::string time;
  EXPECT_EQ(WithoutTime(lines[1], time),
            "{ \"Time\": \"\", \"Receiver\": \"alice\", \"MsgType\": \"1\", "
            "\"Body\": \"Remind: meeting at 10\", \"ContentType\": \"text/plain\", "
            "\"MsgExtType\": \"MsgAddIn?RemindMsg\", "
            "\"Attribs\": { \"RemindID\": \"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}\" } }");
  EXPECT_LE(before, time);
  EXPECT_LE(time, after);
  EXPECT_EQ(WithoutTime(lines[2], time),
            "{ \"Time\": \"\", \"Receiver\": \"bob@im.example\", \"MsgType\": \"7\", "
            "\"Body\": \"\", \"ContentType\": \"\", \"MsgExtType\": \"\", \"Attribs\": { } }");
}

TEST(CIMFileTest, EscapesTextAndWritesUtf8) {
  norvtest::TempDir dir;
  const std::string path = dir.File("messages.jsonl");
  CIM client;
  client.Init(CString::FromUtf8("file:" + path), 0, L"", L"", 1);
  CMsg msg = RemindMsg(L"\x5F00\x4F1A \"A\\B\"\n\tnext\x01");
  msg.SetAttrib(L"Note \"x\"", L"line\r\n");
  ASSERT_NE(client.SendMsgEx(&msg, L"\x5F20\x4E09"), 0);

  std::vector<std::string> lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("\"Receiver\": \"\xE5\xBC\xA0\xE4\xB8\x89\""), std::string::npos);
  EXPECT_NE(lines[0].find("\"Body\": \"\xE5\xBC\x80\xE4\xBC\x9A \\\"A\\\\B\\\"\\n\\tnext\\u0001\""),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[0].find("\"Note \\\"x\\\"\": \"line\\r\\n\""), std::string::npos) << lines[0];
}

TEST(CIMFileTest, ThreadsSharingAClientEachGetWholeLinesInTheirOrder) {
  norvtest::TempDir dir;
  const std::string path = dir.File("messages.jsonl");
  CIM client;
  client.Init(CString::FromUtf8("file:" + path), 0, L"", L"", 1);
  const int threads = 4, perThread = 50;
  std::vector<std::thread> senders;
  for (int t = 0; t < threads; ++t) {
    senders.emplace_back([&client, t] {
      for (int i = 0; i < perThread; ++i) {
        CString body;
        body.Format(L"sender %d message %d %s", t, i, CString(std::wstring(200, L'x')));
        EXPECT_NE(SendRemind(client, body, L"alice"), 0);
      }
    });
  }
  for (auto& sender : senders) sender.join();

  const std::regex shape(
      "\\{ \"Time\": \"[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\", "
      "\"Receiver\": \"alice\", \"MsgType\": \"1\", \"Body\": \"sender ([0-9]+) message "
      "([0-9]+) x{200}\", \"ContentType\": \"text/plain\", .* \\} \\}");
  std::map<int, int> next;
  std::vector<std::string> lines = ReadLines(path);
  ASSERT_EQ(lines.size(), static_cast<size_t>(threads * perThread));
  for (const std::string& line : lines) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, shape)) << line;
    const int t = std::stoi(match[1]), i = std::stoi(match[2]);
    EXPECT_EQ(i, next[t]++) << "sender " << t << " out of order or repeated";
  }
  for (int t = 0; t < threads; ++t) EXPECT_EQ(next[t], perThread);
}

TEST(CIMFileTest, UnwritablePlacesFailWithTheFileCode) {
  norvtest::TempDir dir;
  const std::string missingFolder = dir.File("absent/messages.jsonl");
  for (const std::string& place : {missingFolder, dir.path(), std::string()}) {
    CIM client;
    client.Init(CString::FromUtf8("file:" + place), 0, L"", L"", 1);
    EXPECT_EQ(SendRemind(client, L"lost?", L"alice"), 0) << place;
    EXPECT_EQ(client.GetLastErr(), kNorvIMFileNotWritable) << place;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("absent")));

  CIM client;
  client.Init(CString::FromUtf8("file:" + missingFolder), 0, L"", L"", 1);
  ASSERT_EQ(SendRemind(client, L"lost?", L"alice"), 0);
  CString chinese, english;
  EXPECT_TRUE(client.GetErrInfo(client.GetLastErr(), L"CHS", chinese));
  EXPECT_TRUE(client.GetErrInfo(client.GetLastErr(), L"ENU", english));
  EXPECT_EQ(chinese.ToUtf8(),
            "无法写入消息文件：" + missingFolder + ": No such file or directory");
  EXPECT_EQ(english.ToUtf8(),
            "the message file cannot be written: " + missingFolder + ": No such file or directory");
}

TEST(CIMTest, RefusesToSendBeforeInitOrWithoutMessageOrReceiver) {
  CIM client;
  EXPECT_EQ(client.GetLastErr(), kNorvIMOk);
  EXPECT_EQ(SendRemind(client, L"early", L"alice"), 0);
  EXPECT_EQ(client.GetLastErr(), kNorvIMNotInitialised);

  norvtest::TempDir dir;
  client.Init(CString::FromUtf8("file:" + dir.File("m.jsonl")), 0, L"", L"", 1);
  EXPECT_EQ(client.SendMsgEx(nullptr, L"alice"), 0);
  EXPECT_EQ(client.GetLastErr(), kNorvIMBadMessage);
  EXPECT_EQ(SendRemind(client, L"nobody", L""), 0);
  EXPECT_EQ(client.GetLastErr(), kNorvIMBadMessage);
  EXPECT_FALSE(std::filesystem::exists(dir.File("m.jsonl")));
}

TEST(CIMTest, ErrorTextsInChineseForCHSAndEnglishOtherwise) {
  CIM client;
  CString text;
  EXPECT_TRUE(client.GetErrInfo(kNorvIMCannotConnect, L"CHS", text));
  EXPECT_EQ(text, L"无法连接即时消息服务器");
  EXPECT_TRUE(client.GetErrInfo(kNorvIMCannotConnect, L"chs", text));
  EXPECT_EQ(text, L"无法连接即时消息服务器");
  EXPECT_TRUE(client.GetErrInfo(kNorvIMCannotConnect, L"ENU", text));
  EXPECT_EQ(text, L"cannot connect to the IM server");
  EXPECT_TRUE(client.GetErrInfo(kNorvIMCannotConnect, L"", text));
  EXPECT_EQ(text, L"cannot connect to the IM server");

  for (int code = kNorvIMOk; code <= kNorvIMBadMessage; ++code) {
    CString chinese, english;
    EXPECT_TRUE(client.GetErrInfo(code, L"CHS", chinese) && client.GetErrInfo(code, L"EN", english));
    EXPECT_NE(chinese, english) << code;
  }

  EXPECT_FALSE(client.GetErrInfo(99, L"CHS", text));
  EXPECT_EQ(text, L"未知错误 99");
  EXPECT_FALSE(client.GetErrInfo(99, L"EN", text));
  EXPECT_EQ(text, L"unknown error 99");
}

// The one thing a real server cannot be made to do on cue: fail a send with
// a transport's own code.
class FailingTransport : public CNorvIMTransport {
 public:
  void Init(const CString& server, int port, const CString& user, const CString& password,
            int mode) override {
    initialised = true;
    this->server = server;
    this->port = port;
    this->user = user;
    this->password = password;
    this->mode = mode;
  }
  int Send(const CMsg&, const CString&, int& errorCode, CString& errorText) override {
    ++sends;
    errorCode = 12;
    errorText = L"timeout";
    return 0;
  }

  bool initialised = false;
  CString server, user, password;
  int port = 0, mode = 0, sends = 0;
};

TEST(CIMTransportTest, TransportSetAfterInitGetsItsArgumentsAndItsFailureShows) {
  norvtest::TempDir dir;
  const std::string path = dir.File("m.jsonl");
  CIM client;
  client.Init(CString::FromUtf8("file:" + path), 5222, L"sender", L"secret", 1);
  auto transport = std::make_shared<FailingTransport>();
  client.SetTransport(transport);

  EXPECT_TRUE(transport->initialised);
  EXPECT_EQ(transport->server, CString::FromUtf8("file:" + path));
  EXPECT_EQ(transport->port, 5222);
  EXPECT_EQ(transport->user, L"sender");
  EXPECT_EQ(transport->password, L"secret");
  EXPECT_EQ(transport->mode, 1);

  EXPECT_EQ(SendRemind(client, L"hello", L"alice"), 0);
  EXPECT_EQ(transport->sends, 1);
  EXPECT_EQ(client.GetLastErr(), 12);
  CString text;
  EXPECT_TRUE(client.GetErrInfo(12, L"CHS", text));
  EXPECT_EQ(text, L"timeout");
  EXPECT_FALSE(std::filesystem::exists(path));

  // Without it the address chooses again.
  client.SetTransport(nullptr);
  EXPECT_NE(SendRemind(client, L"hello", L"alice"), 0);
  EXPECT_EQ(ReadLines(path).size(), 1u);
  EXPECT_EQ(client.GetLastErr(), 12) << "a success leaves the last failure's code";
}

TEST(CIMTransportTest, TransportSetBeforeInitIsKeptByInit) {
  CIM client;
  auto transport = std::make_shared<FailingTransport>();
  client.SetTransport(transport);
  EXPECT_FALSE(transport->initialised);
  client.Init(L"im.example", 5333, L"sender@im.example", L"pw", 0);
  EXPECT_EQ(transport->server, L"im.example");
  EXPECT_EQ(transport->port, 5333);
  EXPECT_EQ(SendRemind(client, L"hello", L"alice"), 0);
  EXPECT_EQ(transport->sends, 1);
  EXPECT_EQ(client.GetLastErr(), 12);
}

}  // namespace
