#ifndef NORV_CORE_BASE_INTERNAL_UTF8_H_
#define NORV_CORE_BASE_INTERNAL_UTF8_H_

#include <string>

namespace norvutf8 {

// Appends the UTF-8 bytes of one character; a surrogate or a value past
// U+10FFFF is written as U+FFFD, as CString::ToUtf8 does.
void Append(std::string& out, char32_t code);

}  // namespace norvutf8

#endif  // NORV_CORE_BASE_INTERNAL_UTF8_H_
