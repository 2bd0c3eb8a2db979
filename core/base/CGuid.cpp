#include "core/base/CGuid.h"

#include <sys/random.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <string_view>

namespace {

// Positions of the hyphens in the unbraced form 8-4-4-4-12.
constexpr size_t kHyphens[] = {8, 13, 18, 23};
constexpr size_t kUnbracedLength = 36;

bool IsHyphenPosition(size_t pos) {
  for (size_t hyphen : kHyphens) {
    if (pos == hyphen) return true;
  }
  return false;
}

// The unbraced form, upper-case, into out[0..35]: statements and
// renderings write identifiers by the thousand.
void WriteUnbraced(const std::array<uint8_t, 16>& bytes, wchar_t* out) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  size_t at = 0;
  for (uint8_t byte : bytes) {
    if (IsHyphenPosition(at)) out[at++] = L'-';
    out[at++] = kDigits[byte >> 4];
    out[at++] = kDigits[byte & 0x0F];
  }
}

int HexValue(wchar_t ch) {
  if (ch >= L'0' && ch <= L'9') return ch - L'0';
  if (ch >= L'a' && ch <= L'f') return ch - L'a' + 10;
  if (ch >= L'A' && ch <= L'F') return ch - L'A' + 10;
  return -1;
}

bool FillRandom(uint8_t* out, size_t size) {
  while (size > 0) {
    ssize_t got = getrandom(out, size, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    out += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

// Microseconds, and one more than the last at least: identifiers made one
// after another sort together, so an index keyed by them takes them on
// neighbouring pages instead of random ones (which, once the index outgrows
// the page cache, cost a read and a write each), and the eight leading
// digits a host shows differ between any two one process makes within the
// 71 minutes before the count wraps.
uint32_t NextTick() {
  static std::atomic<uint64_t> last{0};
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto micros =
      static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
  uint64_t previous = last.load();
  uint64_t next;
  do {
    next = std::max(micros, previous + 1);
  } while (!last.compare_exchange_weak(previous, next));
  return static_cast<uint32_t>(next);
}

}  // namespace

bool CGuid::IsValid() const {
  for (uint8_t byte : m_bytes) {
    if (byte != 0) return true;
  }
  return false;
}

bool CGuid::NewID() {
  constexpr size_t kTickBytes = 4;
  std::array<uint8_t, 16> bytes;
  if (!FillRandom(bytes.data() + kTickBytes, bytes.size() - kTickBytes)) return false;
  const uint32_t tick = NextTick();
  for (size_t i = 0; i < kTickBytes; ++i) {
    bytes[i] = static_cast<uint8_t>(tick >> (8 * (kTickBytes - 1 - i)));
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x80);  // version 8: a layout of our own
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  m_bytes = bytes;
  return true;
}

CString CGuid::GetString() const {
  wchar_t text[kUnbracedLength + 2];
  text[0] = L'{';
  WriteUnbraced(m_bytes, text + 1);
  text[kUnbracedLength + 1] = L'}';
  return CString(text, static_cast<int>(std::size(text)));
}

CString CGuid::GetString1() const {
  wchar_t text[kUnbracedLength];
  WriteUnbraced(m_bytes, text);
  return CString(text, static_cast<int>(std::size(text)));
}

bool CGuid::FromString(const wchar_t* text) {
  if (text == nullptr) return false;
  std::wstring_view view(text);
  if (view.size() == kUnbracedLength + 2 && view.front() == L'{' && view.back() == L'}') {
    view = view.substr(1, kUnbracedLength);
  }
  if (view.size() != kUnbracedLength) return false;
  std::array<uint8_t, 16> bytes{};
  size_t next = 0;
  for (size_t pos = 0; pos < view.size(); ++pos) {
    if (IsHyphenPosition(pos)) {
      if (view[pos] != L'-') return false;
      continue;
    }
    int high = HexValue(view[pos]);
    int low = HexValue(view[++pos]);
    if (high < 0 || low < 0) return false;
    bytes[next++] = static_cast<uint8_t>(high << 4 | low);
  }
  m_bytes = bytes;
  return true;
}

bool CGuid::FromString1(const wchar_t* text) { return FromString(text); }
