#ifndef NORV_CORE_BASE_INTERNAL_CIVILDATE_H_
#define NORV_CORE_BASE_INTERNAL_CIVILDATE_H_

#include "core/base/COleDateTime.h"

// The calendar date of a point in time, for code that needs several of its
// fields at once: one breakdown instead of one per field.
struct CivilDate {
  int year;
  int month;
  int day;
};

// False, leaving `date` alone, for a value whose fields are not defined
// (GetYear would give -1).
bool CivilDateOf(const COleDateTime& value, CivilDate& date);

#endif  // NORV_CORE_BASE_INTERNAL_CIVILDATE_H_
