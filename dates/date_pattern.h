#pragma once

#include <string>
#include <string_view>

#include "dates/calendar.h"

namespace kuv {

struct DateLocaleTables;

// Formats value by the pattern language, with the process-wide DateLocale.
// Never fails; the result holds at most 256 bytes.
std::string FormatDatePattern(std::string_view pattern, TDateTime value);
// The same with explicit tables (tests, the command-line tool).
std::string FormatDatePattern(std::string_view pattern, TDateTime value,
                              const DateLocaleTables& locale);

// The imperial era of a date for E and G: false before 1868-01-01.
struct EraDate {
    std::string name;  // code page 932, e.g. "平成"
    int year = 0;
};
bool JapaneseEraOf(int year, int month, int day, EraDate& out);

}  // namespace kuv
