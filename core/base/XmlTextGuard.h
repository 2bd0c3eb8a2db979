#ifndef NORV_CORE_BASE_XMLTEXTGUARD_H_
#define NORV_CORE_BASE_XMLTEXTGUARD_H_

#include <string_view>

// Internal: what the XML parser lets through but the system cannot keep.
namespace norvxml {

// False when the text holds a NUL, written out or as a character reference
// (a database text cannot store it, and the parser would cut the value
// there), or when its declaration names an encoding other than one the text
// can have been decoded from: UTF-8, UTF-16, US-ASCII or ISO-8859-1. The
// text is already characters, so those four are honoured by whoever decoded
// it; any other is refused rather than ignored.
bool IsStorableXmlText(std::wstring_view text);

}  // namespace norvxml

#endif  // NORV_CORE_BASE_XMLTEXTGUARD_H_
