#pragma once

#include <QDate>

#include "dates/calendar.h"

namespace kuv {

// A day of the diary as Qt's date.
inline QDate QDateOf(TDateTime value) {
    const DateParts d = DecodeDateValue(value);
    return QDate(d.year, d.month, d.day);
}

}  // namespace kuv
