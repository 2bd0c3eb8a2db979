// The date-time reader, with every flag combination the first byte picks.
#include "FuzzInput.h"
#include "core/base/COleDateTime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  COleDateTime time;
  if (time.ParseDateTime(FuzzText(data + 1, size - 1), data[0])) {
    time.Format(L"%Y-%m-%d %H:%M:%S");
  }
  return 0;
}
