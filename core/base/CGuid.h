#ifndef NORV_CORE_BASE_CGUID_H_
#define NORV_CORE_BASE_CGUID_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/base/CString.h"
#include "core/base/NorvExport.h"

// A 128-bit identifier; the all-zero value is the empty, invalid identifier.
class NORV_EXPORT CGuid {
 public:
  CGuid() = default;

  bool IsValid() const;
  // Fills this identifier with a clock tick and 90 bits from the kernel's
  // random source (version 8). Later identifiers mostly compare greater,
  // which nothing may rely on. Thread-safe.
  bool NewID();

  CString GetString() const;   // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  CString GetString1() const;  // the same without braces; used in SQL
  // Both accept either form, in either case; false leaves the value as it was.
  bool FromString(const wchar_t* text);
  bool FromString1(const wchar_t* text);

  bool operator==(const CGuid& other) const { return m_bytes == other.m_bytes; }
  bool operator!=(const CGuid& other) const { return m_bytes != other.m_bytes; }
  // Byte order. Compared as two numbers rather than byte by byte: maps of
  // identifiers compare on every step of a lookup.
  bool operator<(const CGuid& other) const {
    const uint64_t high = Half(0);
    const uint64_t otherHigh = other.Half(0);
    return high != otherHigh ? high < otherHigh : Half(8) < other.Half(8);
  }

 private:
  // Eight bytes from `first` as a big-endian number (compilers make this
  // one load and a byte swap).
  uint64_t Half(size_t first) const {
    uint64_t value = 0;
    for (size_t i = first; i < first + 8; ++i) value = value << 8 | m_bytes[i];
    return value;
  }

  std::array<uint8_t, 16> m_bytes{};
};

#endif  // NORV_CORE_BASE_CGUID_H_
