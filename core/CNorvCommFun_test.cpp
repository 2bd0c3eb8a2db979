#include "core/CNorvCommFun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "NorvTestSupport.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

TEST(CNorvCommFunTest, LogFileIsCreatedThenAppendedAsUtf8) {
  norvtest::TempDir dir;
  const std::string path = dir.File("send-error.log");
  CNorvCommFun::WriteLogFile(CString::FromUtf8(path), L"first \x4E2D\n");
  CNorvCommFun::WriteLogFile(CString::FromUtf8(path), L"second\n");
  EXPECT_EQ(ReadFile(path), "first \xE4\xB8\xAD\nsecond\n");
}

TEST(CNorvCommFunTest, LogFileInMissingFolderIsIgnored) {
  norvtest::TempDir dir;
  const std::string path = dir.File("absent/log.txt");
  CNorvCommFun::WriteLogFile(CString::FromUtf8(path), L"lost\n");
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(CNorvCommFunTest, ConcurrentWritersKeepEveryLineWhole) {
  norvtest::TempDir dir;
  const CString path = CString::FromUtf8(dir.File("shared.log"));
  const int threads = 4, lines = 200;
  std::vector<std::thread> writers;
  for (int t = 0; t < threads; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < lines; ++i) {
        CString line;
        line.Format(L"writer %d line %d %s\n", t, i, CString(std::wstring(300, L'x')));
        CNorvCommFun::WriteLogFile(path, line);
      }
    });
  }
  for (auto& writer : writers) writer.join();
  std::istringstream content(ReadFile(path.ToUtf8()));
  std::set<std::string> seen;
  for (std::string line; std::getline(content, line);) {
    const size_t tail = line.rfind(' ');
    ASSERT_NE(tail, std::string::npos) << line;
    EXPECT_EQ(line.substr(tail + 1), std::string(300, 'x')) << "torn line: " << line;
    seen.insert(line.substr(0, tail));
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(threads * lines));
}

TEST(CNorvCommFunTest, AppPathIsTheFolderOfTheRunningProgram) {
  const std::string folder = CNorvCommFun::GetCurAppPath().ToUtf8();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(folder + "/core_tests"));
}

}  // namespace
