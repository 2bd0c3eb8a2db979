#ifndef NORV_CORE_BASE_COLEDATETIME_H_
#define NORV_CORE_BASE_COLEDATETIME_H_

#include "core/base/COleDateTimeSpan.h"
#include "core/base/CString.h"
#include "core/base/NorvExport.h"

enum : unsigned {
  VAR_DATEVALUEONLY = 0x2,  // read the date, ignore any time of day
  VAR_TIMEVALUEONLY = 0x1,  // read a time of day only
};

// A point in time: days since 1899-12-30 00:00 (linear, negative before it)
// and a status. A default-constructed value is null. Earlier and later hold
// only between two valid values; two valid values are equal when less than
// half a second apart, and two null values are equal.
class NORV_EXPORT COleDateTime {
 public:
  enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

  COleDateTime() = default;
  COleDateTime(double days) : m_dt(days), m_status(valid) {}
  COleDateTime(int year, int month, int day, int hour, int minute, int second);

  // Local time of the machine, whole seconds.
  static COleDateTime GetCurrentTime();

  DateTimeStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeStatus status) { m_status = status; }
  int SetDateTime(int year, int month, int day, int hour, int minute, int second);
  int SetDate(int year, int month, int day);
  int SetTime(int hour, int minute, int second);

  // Fields of a valid value; -1 for a value that is not valid.
  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;
  int GetDayOfWeek() const;  // 1 = Sunday ... 7 = Saturday

  // %Y %m %d %H %M %S; a null value gives "", an invalid one "Invalid DateTime".
  CString Format(const wchar_t* format) const;

  // Accepts YYYY-MM-DD, YYYY/MM/DD, an optional time H:M[:S] after a blank or
  // a 'T', single-digit fields, a fractional second and a zone offset. On
  // failure the value becomes invalid and the result is false.
  bool ParseDateTime(const wchar_t* text, unsigned flags = 0);

  // Inline: calendar rules compare dates in tight loops.
  bool operator==(const COleDateTime& other) const {
    if (m_status == null && other.m_status == null) return true;
    const double apart = m_dt - other.m_dt;
    return m_status == valid && other.m_status == valid && apart < kHalfSecond &&
           apart > -kHalfSecond;
  }
  bool operator!=(const COleDateTime& other) const { return !(*this == other); }
  bool operator<(const COleDateTime& other) const {
    return m_status == valid && other.m_status == valid && m_dt < other.m_dt;
  }
  bool operator>(const COleDateTime& other) const;
  bool operator<=(const COleDateTime& other) const;
  bool operator>=(const COleDateTime& other) const;

  // The difference of the two values in days, whatever their status.
  COleDateTimeSpan operator-(const COleDateTime& other) const {
    return COleDateTimeSpan(m_dt - other.m_dt);
  }
  // A null or invalid value stays as it is: there is no point in time to move.
  COleDateTime operator+(const COleDateTimeSpan& span) const {
    COleDateTime result(*this);
    return result += span;
  }
  COleDateTime operator-(const COleDateTimeSpan& span) const {
    COleDateTime result(*this);
    return result -= span;
  }
  COleDateTime& operator+=(const COleDateTimeSpan& span) {
    if (m_status == valid) m_dt += span.m_span;
    return *this;
  }
  COleDateTime& operator-=(const COleDateTimeSpan& span) {
    if (m_status == valid) m_dt -= span.m_span;
    return *this;
  }

  double m_dt = 0.0;
  DateTimeStatus m_status = null;

 private:
  // Half a second, in days: the tolerance of equality.
  static constexpr double kHalfSecond = 1.0 / 172800.0;
};

#endif  // NORV_CORE_BASE_COLEDATETIME_H_
