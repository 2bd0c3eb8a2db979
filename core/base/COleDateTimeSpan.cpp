#include "core/base/COleDateTimeSpan.h"

COleDateTimeSpan::COleDateTimeSpan(long days, int hours, int minutes, int seconds)
    : m_span(static_cast<double>(days) + (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0) {}
