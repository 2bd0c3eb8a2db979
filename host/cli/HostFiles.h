#ifndef NORV_HOST_CLI_HOSTFILES_H_
#define NORV_HOST_CLI_HOSTFILES_H_

#include <string>

namespace norvhost {

// The whole file, or false with the system's reason in `error`.
bool ReadTextFile(const std::string& path, std::string& content, std::string& error);
std::string ReadStandardInput();

}  // namespace norvhost

#endif  // NORV_HOST_CLI_HOSTFILES_H_
