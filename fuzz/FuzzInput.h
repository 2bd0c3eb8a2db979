#ifndef NORV_FUZZ_FUZZINPUT_H_
#define NORV_FUZZ_FUZZINPUT_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/base/CNorvCommFun.h"
#include "core/base/CNorvXmlDocument.h"
#include "core/base/CString.h"

// The fuzzer's bytes as the text a caller would hand the library.
inline CString FuzzText(const uint8_t* data, size_t size) {
  return CString::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
}

// The root element of the bytes parsed as XML; null when they do not parse.
inline CNorvXmlNode FuzzRoot(const uint8_t* data, size_t size, CNorvXmlDocument& document) {
  if (!CNorvCommFun::ParseXML(FuzzText(data, size), document)) return CNorvXmlNode();
  return document.GetRootElement();
}

#endif  // NORV_FUZZ_FUZZINPUT_H_
