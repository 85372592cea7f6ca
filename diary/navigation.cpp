#include "diary/navigation.h"

#include "platform/errors.h"

namespace kuv {

namespace {

// The date and the time of day of a value put together again.
TDateTime Compose(TDateTime midnight, TDateTime timeOfDay) {
    return midnight >= 0 ? midnight + timeOfDay : midnight - timeOfDay;
}

TDateTime TimeOfDayOf(TDateTime value) {
    const TimeParts t = DecodeTimeValue(value);
    return EncodeTimeValue(t.hour, t.minute, t.second, t.msec);
}

bool InRange(int year) {
    return year >= kFirstYear && year <= kLastYear;
}

}  // namespace

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

std::optional<TDateTime> ShiftDays(TDateTime value, int days) {
    const DateParts d = DecodeDateValue(value);
    TDateTime midnight = 0;
    try {
        midnight = EncodeDateValue(d.year, d.month, d.day) + days;
    } catch (const EConvertError&) {
        return std::nullopt;
    }
    const DateParts to = DecodeDateValue(midnight);
    if (!InRange(to.year)) return std::nullopt;
    return Compose(midnight, TimeOfDayOf(value));
}

std::optional<TDateTime> WithDay(TDateTime value, int year, int month, int day) {
    if (!InRange(year)) return std::nullopt;
    try {
        return Compose(
            EncodeDateValue(static_cast<std::uint16_t>(year), static_cast<std::uint16_t>(month),
                            static_cast<std::uint16_t>(day)),
            TimeOfDayOf(value));
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

}  // namespace kuv
