#include "dates/calendar.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/errors.h"
#include "platform/texts.h"

namespace kuv {

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
// Day number of 1899-12-30, the zero of TDateTime.
constexpr std::int64_t kDayOfZero = 693594;
// 2^53: keeps the millisecond count exact in a double; far beyond 9999-12-31 either way.
constexpr long double kMaxMs = 9007199254740992.0L;

constexpr long double Power2(int n) {
    long double p = 1;
    while (n-- > 0) p *= 2;
    return p;
}
// 1.5 times the power of two at which the spacing of long doubles becomes 1.
constexpr long double kRoundingShift = 1.5L * Power2(LDBL_MANT_DIG - 1);
// The same for doubles, the range of the double fast path and its distance from a half.
constexpr double kDoubleShift = 1.5 * static_cast<double>(Power2(52));
constexpr double kFastLimit = static_cast<double>(Power2(47));
constexpr double kNearHalf = 0.5 - 1.0 / 32;

int MonthLength(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

bool IsCalendarDay(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= MonthLength(year, month);
}

// The decimal number of text[at, at + count); -1 when any of them is not a digit.
int Digits(std::string_view text, std::size_t at, std::size_t count) {
    int n = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        n = n * 10 + (text[i] - '0');
    }
    return n;
}

}  // namespace

bool IsLeap(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

namespace {

// The millisecond count a, rounded from v * 86400000 computed in extended precision.
std::int64_t ScaledMilliseconds(TDateTime v) {
#if FLT_EVAL_METHOD == 0
    // Fast path in double precision: its product lies within 1/64 of the exact one while
    // |product| < 2^47, so it rounds the same way unless it lies that close to a half.
    const double product = v * static_cast<double>(kMsPerDay);
    if (product > -kFastLimit && product < kFastLimit) {
        const double rounded = (product + kDoubleShift) - kDoubleShift;
        const double rest = product - rounded;
        if (rest > -kNearHalf && rest < kNearHalf) return static_cast<std::int64_t>(rounded);
    }
#endif
    long double scaled = static_cast<long double>(v) * kMsPerDay;
    // NaN and values far outside the calendar must not reach the integer conversion.
    if (std::isnan(scaled)) scaled = 0;
    if (scaled > kMaxMs) scaled = kMaxMs;
    if (scaled < -kMaxMs) scaled = -kMaxMs;
    // Rounded to the nearest integer, halves to the even neighbour: adding and taking away
    // a number whose last mantissa bit is worth 1 rounds in the default rounding mode. This
    // avoids llrintl, whose rounding-mode switch dominates the cost of formatting a date.
    const long double rounded = (scaled + kRoundingShift) - kRoundingShift;
    // |rounded| <= 2^53, so it is exact as a double.
    return static_cast<std::int64_t>(static_cast<double>(rounded));
}

}  // namespace

DaySplit SplitDateTime(TDateTime v) {
    const std::int64_t a = ScaledMilliseconds(v);
    // Unsigned division of the magnitude: the same quotient and rest, and cheaper.
    const std::uint64_t magnitude =
        a >= 0 ? static_cast<std::uint64_t>(a) : static_cast<std::uint64_t>(-a);
    const auto days = static_cast<std::int64_t>(magnitude / kMsPerDay);
    DaySplit s;
    s.day = a >= 0 ? kDayOfZero + days : kDayOfZero - days;
    s.msec = static_cast<std::int64_t>(magnitude % kMsPerDay);
    return s;
}

TDateTime EncodeDateValue(std::uint16_t year, std::uint16_t month, std::uint16_t day) {
    if (!IsCalendarDay(year, month, day)) throw EConvertError(TextOf(TextId::InvalidDate));
    int dayOfYear = day;
    for (int m = 1; m < month; ++m) dayOfYear += MonthLength(year, m);
    const std::int64_t n = year - 1;
    return static_cast<TDateTime>(n * 365 + n / 4 - n / 100 + n / 400 + dayOfYear - kDayOfZero);
}

TDateTime EncodeTimeValue(std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                          std::uint16_t msec) {
    if (hour >= 24 || minute >= 60 || second >= 60 || msec >= 1000) {
        throw EConvertError(TextOf(TextId::InvalidTime));
    }
    const std::int64_t ms = hour * 3600000LL + minute * 60000LL + second * 1000LL + msec;
    return static_cast<TDateTime>(ms) / static_cast<TDateTime>(kMsPerDay);
}

std::optional<DateParts> ParseIsoDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    if (!IsCalendarDay(year, month, day)) return std::nullopt;
    return DateParts{static_cast<std::uint16_t>(year), static_cast<std::uint16_t>(month),
                     static_cast<std::uint16_t>(day)};
}

std::string IsoDayText(int year, int month, int day) {
    char buf[36];  // any three ints fit
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
    return buf;
}

std::optional<DateParts> ParseMonthDay(std::string_view text) {
    if (text.size() != 5 || text[2] != '-') return std::nullopt;
    const int month = Digits(text, 0, 2), day = Digits(text, 3, 2);
    // 2000 is a leap year: its calendar has every month and day.
    if (!IsCalendarDay(2000, month, day)) return std::nullopt;
    return DateParts{0, static_cast<std::uint16_t>(month), static_cast<std::uint16_t>(day)};
}

DateParts DecodeDateValue(TDateTime v) {
    DateParts p;
    DecodeDayNumber(SplitDateTime(v).day, p);
    return p;
}

void DecodeDayNumber(std::int64_t day, DateParts& out) {
    if (day <= 0) {
        out = DateParts{};
        return;
    }
    // The 400-, 100-, 4- and 1-year walk and the month walk in closed form, over years
    // that begin on 1 March so that the leap day ends a year (Neri and Schneider's
    // Euclidean affine functions): the same dates in a few multiplications.
    // Day numbers of split values stay far below 2^30; larger ones are out of any calendar.
    if (day > 0x3FFF0000) day = 0x3FFF0000;
    const std::uint32_t z = static_cast<std::uint32_t>(day) + 305;  // days since 0000-03-01
    const std::uint32_t n1 = 4 * z + 3;
    const std::uint32_t century = n1 / 146097;
    const std::uint32_t n2 = (n1 % 146097) | 3;  // 4 * (day of the century) + 3
    const std::uint64_t p2 = std::uint64_t{2939745} * n2;
    const auto yearOfCentury = static_cast<std::uint32_t>(p2 >> 32);
    const std::uint32_t dayOfYear = static_cast<std::uint32_t>(p2) / 2939745 / 4;  // 0 = 1 March
    const std::uint32_t n3 = 2141 * dayOfYear + 197913;
    const bool janOrFeb = dayOfYear >= 306;
    out.year = static_cast<std::uint16_t>(100 * century + yearOfCentury + (janOrFeb ? 1 : 0));
    out.month = static_cast<std::uint16_t>((n3 >> 16) - (janOrFeb ? 12 : 0));
    out.day = static_cast<std::uint16_t>((n3 & 0xFFFF) / 2141 + 1);
}

TimeParts DecodeTimeValue(TDateTime v) {
    return DecodeMillisecondOfDay(SplitDateTime(v).msec);
}

TimeParts DecodeMillisecondOfDay(std::int64_t t) {
    const std::int64_t minutes = t / 60000;
    const std::int64_t rest = t % 60000;
    TimeParts p;
    p.hour = static_cast<std::uint16_t>(minutes / 60);
    p.minute = static_cast<std::uint16_t>(minutes % 60);
    p.second = static_cast<std::uint16_t>(rest / 1000);
    p.msec = static_cast<std::uint16_t>(rest % 1000);
    return p;
}

int WeekdayOf(TDateTime v) {
    return WeekdayOfDayNumber(SplitDateTime(v).day);
}

int WeekdayOfDayNumber(std::int64_t day) {
    // Kept in 1..7 also for day numbers below 1, so that a name lookup never leaves its table.
    const std::int64_t r = day % 7;
    return static_cast<int>(r < 0 ? r + 7 : r) + 1;
}

TDateTime CurrentDateTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    // A leap second (tm_sec 60) is shown as the last second of the minute.
    const int sec = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    return EncodeDateValue(static_cast<std::uint16_t>(tm.tm_year + 1900),
                           static_cast<std::uint16_t>(tm.tm_mon + 1),
                           static_cast<std::uint16_t>(tm.tm_mday)) +
           EncodeTimeValue(static_cast<std::uint16_t>(tm.tm_hour),
                           static_cast<std::uint16_t>(tm.tm_min), static_cast<std::uint16_t>(sec),
                           static_cast<std::uint16_t>(ts.tv_nsec / 1000000));
}

}  // namespace kuv
