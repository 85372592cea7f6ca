#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The date-time value: days since 1899-12-30 00:00, the fraction the time of
// day, on the proleptic Gregorian calendar.
namespace kuv {

using TDateTime = double;

struct DateParts {
    std::uint16_t year = 0, month = 0, day = 0;
};
struct TimeParts {
    std::uint16_t hour = 0, minute = 0, second = 0, msec = 0;
};

// Midnight of the date; throws EConvertError("日付に変換できない値が渡されました").
TDateTime EncodeDateValue(std::uint16_t year, std::uint16_t month, std::uint16_t day);
// The fraction of the day; throws EConvertError("時刻に変換できない値が渡されました").
TDateTime EncodeTimeValue(std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                          std::uint16_t msec);
DateParts DecodeDateValue(TDateTime v);
TimeParts DecodeTimeValue(TDateTime v);
// 1 = Sunday ... 7 = Saturday.
int WeekdayOf(TDateTime v);
bool IsLeap(int year);
// The current local date and time, with milliseconds.
TDateTime CurrentDateTime();

// A calendar day written exactly YYYY-MM-DD, from 0001-01-01 to 9999-12-31;
// nothing for any other text (a short field, a sign, anything after it) or a
// day the calendar does not have.
std::optional<DateParts> ParseIsoDay(std::string_view text);
// The day written YYYY-MM-DD, as ParseIsoDay reads it.
std::string IsoDayText(int year, int month, int day);
// A month and day written exactly MM-DD that some year has, 29 February
// included; the year is left 0.
std::optional<DateParts> ParseMonthDay(std::string_view text);

// The day number (1 = 0001-01-01) and millisecond of the day of a value.
struct DaySplit {
    std::int64_t day = 0;
    std::int64_t msec = 0;
};
DaySplit SplitDateTime(TDateTime v);

// The steps of the decoding from a split value, for callers that split once. The date
// comes back through out: returning the three 16-bit parts packed costs a stall.
void DecodeDayNumber(std::int64_t day, DateParts& out);
TimeParts DecodeMillisecondOfDay(std::int64_t msec);
int WeekdayOfDayNumber(std::int64_t day);

}  // namespace kuv
