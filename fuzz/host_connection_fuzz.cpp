// The host's database and IM connection texts.
#include <string>

#include "host/cli/HostSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  norvhost::Invocation invocation;
  invocation.options["db"] = text;
  invocation.options["im"] = text;
  try {
    const norvhost::ConnectionText parsed = norvhost::ConnectionText::Parse(text);
    parsed.Full();
    parsed.Redacted();
  } catch (const norvhost::UsageError&) {
  }
  try {
    norvhost::ResolveDatabase(invocation);
  } catch (const norvhost::UsageError&) {
  }
  try {
    norvhost::ResolveIM(invocation, "/nonexistent");
  } catch (const norvhost::UsageError&) {
  }
  return 0;
}
