#include "diary/diary_book.h"

namespace kuv {

int YearStepDays(TDateTime current, bool forward) {
    const DateParts d = DecodeDateValue(current);
    // 29 February counts with the rest of the year, so a step from it lands
    // on 28 February.
    const bool beforeLeapDay = d.month == 1 || (d.month == 2 && d.day <= 28);
    const int year = d.year;
    bool longStep = false;
    if (forward) {
        longStep = beforeLeapDay ? IsLeap(year) : IsLeap(year + 1);
    } else {
        longStep = beforeLeapDay ? IsLeap(year - 1) : IsLeap(year);
    }
    return longStep ? 366 : 365;
}

}  // namespace kuv
