#ifndef NORV_CORE_BASE_NORVEXPORT_H_
#define NORV_CORE_BASE_NORVEXPORT_H_

// Everything the library builds is hidden unless marked with this macro.
#define NORV_EXPORT __attribute__((visibility("default")))

#endif  // NORV_CORE_BASE_NORVEXPORT_H_
