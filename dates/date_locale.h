#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>

// The locale tables of the date patterns. Every text is code page 932 bytes.
namespace kuv {

enum class EraCalendar { None, Japanese };

struct DateLocaleTables {
    std::array<std::string, 8> shortDayNames;  // [1] = Sunday ... [7] = Saturday
    std::array<std::string, 8> longDayNames;
    std::array<std::string, 13> shortMonthNames;  // [1] = January
    std::array<std::string, 13> longMonthNames;
    char dateSeparator = '/';
    char timeSeparator = ':';
    std::string shortDateFormat;  // already translated
    std::string longDateFormat;
    std::string timeAMString;
    std::string timePMString;
    std::string shortTimeFormat;
    std::string longTimeFormat;
    std::bitset<256> leadBytes;  // only bytes 0x80 and above can be lead bytes
    int primaryLanguage = 9;
    int subLanguage = 1;
    EraCalendar eras = EraCalendar::None;
};

// The process-wide tables read by FormatDatePattern.
DateLocaleTables& DateLocale();

// The built-in fallback tables (English names, empty lead-byte set).
DateLocaleTables FallbackDateLocale();
// The Japanese tables as the Japanese locale gives them, with the code page
// 932 lead bytes and the imperial era calendar.
DateLocaleTables JapaneseDateLocale();

// Raw locale items as a locale source gives them, before the loading rules.
// An empty optional means the source could not give the item (the read failed).
struct LocaleItems {
    std::array<std::optional<std::string>, 8> shortDayNames, longDayNames;  // [1] = Sunday
    std::array<std::optional<std::string>, 13> shortMonthNames, longMonthNames;
    std::optional<std::string> dateSeparator, timeSeparator;  // taken only when one byte
    std::optional<std::string> shortDate, longDate;  // in this pattern language, untranslated
    std::optional<std::string> am, pm;
    // Number items as decimal text: leading zero of the hour, 0 = 12-hour clock,
    // non-zero = AM/PM mark before the time, and the calendar type.
    std::optional<std::string> iTLZero, iTime, iTimeMarkPosn, iCalendarType;
    // Windows-style language identifier: primary language in bits 0-9, sublanguage in
    // bits 10-15; 0 = not known.
    std::uint16_t languageId = 0;
    bool doubleByteCodePage = true;  // the lead bytes of code page 932 apply
    EraCalendar eras = EraCalendar::None;
};

// Builds the tables from raw items by the loading rules (fallbacks, the time
// patterns, the translation of the date patterns).
DateLocaleTables BuildDateLocale(const LocaleItems& items);

// The raw items of the Japanese locale as Windows gives them (JapaneseDateLocale
// builds its tables from these).
LocaleItems JapaneseLocaleItems();

// Translates a locale date pattern by the calendar-type rules.
std::string TranslateLocaleDatePattern(const std::string& pattern, int calendarType,
                                       int primaryLanguage, const std::bitset<256>& leadBytes);

}  // namespace kuv
