#include "NorvTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace norvtest {

TempDir::TempDir() {
  const char* root = std::getenv("NORV_TEST_TMP");
  std::filesystem::path base = root != nullptr ? root : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(base);
  std::string pattern = (base / "norv-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

std::string PostgresConnection() {
  const char* text = std::getenv("NORV_TEST_PG");
  return text != nullptr ? text : "";
}

bool RunningUnderCI() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

}  // namespace norvtest
