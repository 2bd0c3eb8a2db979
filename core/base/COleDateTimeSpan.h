#ifndef NORV_CORE_BASE_COLEDATETIMESPAN_H_
#define NORV_CORE_BASE_COLEDATETIMESPAN_H_

#include "core/base/NorvExport.h"

// A length of time as a fractional number of days.
class NORV_EXPORT COleDateTimeSpan {
 public:
  COleDateTimeSpan() = default;
  explicit COleDateTimeSpan(double days) : m_span(days) {}
  COleDateTimeSpan(long days, int hours, int minutes, int seconds);

  double GetTotalDays() const { return m_span; }
  operator double() const { return m_span; }

  double m_span = 0.0;
};

#endif  // NORV_CORE_BASE_COLEDATETIMESPAN_H_
