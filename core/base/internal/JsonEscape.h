#ifndef NORV_CORE_BASE_INTERNAL_JSONESCAPE_H_
#define NORV_CORE_BASE_INTERNAL_JSONESCAPE_H_

namespace norvjson {

// Appends the escape of a JSON string's character that must not appear raw
// (a quote, a backslash or a control character); false for any other, which
// the caller appends in its own encoding. One rule for the wide renderers and
// the outbox's narrow line.
template <class Text>
bool AppendEscape(Text& out, char32_t code) {
  using Char = typename Text::value_type;
  const char* named = nullptr;
  switch (code) {
    case U'"':
      named = "\\\"";
      break;
    case U'\\':
      named = "\\\\";
      break;
    case U'\n':
      named = "\\n";
      break;
    case U'\t':
      named = "\\t";
      break;
    case U'\r':
      named = "\\r";
      break;
    case U'\b':
      named = "\\b";
      break;
    case U'\f':
      named = "\\f";
      break;
    default:
      if (code >= 0x20) return false;
  }
  if (named != nullptr) {
    for (; *named != '\0'; ++named) out += static_cast<Char>(*named);
    return true;
  }
  constexpr char kHex[] = "0123456789ABCDEF";
  for (char ch : {'\\', 'u', '0', '0', kHex[code >> 4], kHex[code & 0xF]}) {
    out += static_cast<Char>(ch);
  }
  return true;
}

}  // namespace norvjson

#endif  // NORV_CORE_BASE_INTERNAL_JSONESCAPE_H_
