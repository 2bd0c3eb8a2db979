#include "host/cli/HostFiles.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace norvhost {

bool ReadTextFile(const std::string& path, std::string& content, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  std::error_code unknown;
  if (!file || std::filesystem::is_directory(path, unknown)) {
    error = "cannot read " + path + ": " + std::strerror(file ? EISDIR : errno);
    return false;
  }
  std::ostringstream buffer;
  buffer << file.rdbuf();
  if (file.bad()) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  content = buffer.str();
  return true;
}

std::string ReadStandardInput() {
  return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

}  // namespace norvhost
