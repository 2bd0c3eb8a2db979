#ifndef NORV_CORE_BASE_CGUID_H_
#define NORV_CORE_BASE_CGUID_H_

#include <array>
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
  bool operator<(const CGuid& other) const { return m_bytes < other.m_bytes; }

 private:
  std::array<uint8_t, 16> m_bytes{};
};

#endif  // NORV_CORE_BASE_CGUID_H_
