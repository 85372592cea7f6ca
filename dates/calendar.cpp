#include "dates/calendar.h"

#include <cmath>
#include <ctime>

#include "platform/errors.h"

namespace kuv {

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
// Day number of 1899-12-30, the zero of TDateTime.
constexpr std::int64_t kDayOfZero = 693594;
// Keeps the millisecond count inside 64 bits; far beyond 9999-12-31 either way.
constexpr long double kMaxMs = 9.0e18L;

// "日付に変換できない値が渡されました" and "時刻に変換できない値が渡されました" in code page 932.
constexpr const char* kBadDate =
    "\x93\xfa\x95\x74\x82\xc9\x95\xcf\x8a\xb7\x82\xc5\x82\xab\x82\xc8\x82\xa2\x92\x6c\x82\xaa"
    "\x93\x6e\x82\xb3\x82\xea\x82\xdc\x82\xb5\x82\xbd";
constexpr const char* kBadTime =
    "\x8e\x9e\x8d\x8f\x82\xc9\x95\xcf\x8a\xb7\x82\xc5\x82\xab\x82\xc8\x82\xa2\x92\x6c\x82\xaa"
    "\x93\x6e\x82\xb3\x82\xea\x82\xdc\x82\xb5\x82\xbd";

int MonthLength(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool IsLeap(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

DaySplit SplitDateTime(TDateTime v) {
    long double scaled = static_cast<long double>(v) * kMsPerDay;
    // NaN and values far outside the calendar must not reach the integer conversion.
    if (std::isnan(scaled)) scaled = 0;
    if (scaled > kMaxMs) scaled = kMaxMs;
    if (scaled < -kMaxMs) scaled = -kMaxMs;
    // The default rounding mode rounds halves to the even neighbour.
    const std::int64_t a = std::llrint(scaled);
    DaySplit s;
    if (a >= 0) {
        s.day = a / kMsPerDay + kDayOfZero;
        s.msec = a % kMsPerDay;
    } else {
        s.day = kDayOfZero - (-a) / kMsPerDay;
        s.msec = (-a) % kMsPerDay;
    }
    return s;
}

TDateTime EncodeDateValue(std::uint16_t year, std::uint16_t month, std::uint16_t day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > MonthLength(year, month)) {
        throw EConvertError(kBadDate);
    }
    int dayOfYear = day;
    for (int m = 1; m < month; ++m) dayOfYear += MonthLength(year, m);
    const std::int64_t n = year - 1;
    return static_cast<TDateTime>(n * 365 + n / 4 - n / 100 + n / 400 + dayOfYear - kDayOfZero);
}

TDateTime EncodeTimeValue(std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                          std::uint16_t msec) {
    if (hour >= 24 || minute >= 60 || second >= 60 || msec >= 1000) throw EConvertError(kBadTime);
    const std::int64_t ms = hour * 3600000LL + minute * 60000LL + second * 1000LL + msec;
    return static_cast<TDateTime>(ms) / static_cast<TDateTime>(kMsPerDay);
}

DateParts DecodeDateValue(TDateTime v) {
    std::int64_t d = SplitDateTime(v).day;
    DateParts p;
    if (d <= 0) return p;
    d -= 1;
    std::int64_t y = 1;
    // One step instead of the loop: the same result, without a long walk for huge values.
    y += 400 * (d / 146097);
    d %= 146097;
    std::int64_t i = d / 36524;
    d %= 36524;
    if (i == 4) {
        i = 3;
        d += 36524;
    }
    y += 100 * i;
    i = d / 1461;
    d %= 1461;
    y += 4 * i;
    i = d / 365;
    d %= 365;
    if (i == 4) {
        i = 3;
        d += 365;
    }
    y += i;
    int month = 1;
    const int year = static_cast<int>(y);
    while (d >= MonthLength(year, month)) {
        d -= MonthLength(year, month);
        ++month;
    }
    p.year = static_cast<std::uint16_t>(y);
    p.month = static_cast<std::uint16_t>(month);
    p.day = static_cast<std::uint16_t>(d + 1);
    return p;
}

TimeParts DecodeTimeValue(TDateTime v) {
    const std::int64_t t = SplitDateTime(v).msec;
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
    // Kept in 1..7 also for day numbers below 1, so that a name lookup never leaves its table.
    const std::int64_t r = SplitDateTime(v).day % 7;
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
