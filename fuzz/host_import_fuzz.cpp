// One definition file as import reads and parses it.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "host/cli/DefinitionInput.h"
#include "host/store/RemindStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/norv-import-fuzz-" + std::to_string(::getpid()) + ".xml";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  norvhost::DefinitionLimits limits;
  limits.regularFileOnly = true;
  std::string text;
  std::string error;
  if (norvhost::ReadDefinition(path, limits, text, error)) {
    norvhost::DefinitionOptions options;
    options.creator = norvhost::Creator{"fuzz", "Fuzz"};
    options.idFromContent = true;
    norvhost::ParsedDefinition parsed;
    CString reason;
    norvhost::ParseDefinition(text, path, options, parsed, reason);
  }
  return 0;
}
