#include "NorvTestSupport.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>

namespace norvtest {

TempDir::TempDir() {
  const std::string root = Env("NORV_TEST_TMP");
  const std::filesystem::path base =
      root.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(root);
  std::filesystem::create_directories(base);
  std::string pattern = (base / "norv-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

LoopbackSocket::LoopbackSocket(bool listen) : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
  sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t length = sizeof(address);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
  if (listen) ::listen(fd, 16);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
}

LoopbackSocket::~LoopbackSocket() { ::close(fd); }

std::string Env(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? value : "";
}

std::string PostgresConnection() { return Env("NORV_TEST_PG"); }

bool RunningUnderCI() { return Env("CI") == "true"; }

void ExpectDelivered(const std::string& fault, const std::multiset<std::string>& expected,
                     const std::multiset<std::string>& delivered, size_t mayRepeat) {
  size_t lost = 0, duplicated = 0;
  for (const std::string& one : std::set<std::string>(expected.begin(), expected.end())) {
    const size_t got = delivered.count(one);
    lost += got == 0 ? 1 : 0;
    duplicated += got > 1 ? got - 1 : 0;
  }
  std::cout << "[fault] " << fault << ": expected " << expected.size() << ", sent "
            << delivered.size() << ", lost " << lost << ", duplicated " << duplicated << std::endl;
  EXPECT_EQ(lost, 0u) << fault;
  EXPECT_LE(duplicated, mayRepeat) << fault;
  for (const std::string& one : delivered) EXPECT_NE(expected.count(one), 0u) << one;
}

}  // namespace norvtest
