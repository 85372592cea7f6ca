#pragma once

#include <array>
#include <bitset>
#include <string>

// The locale tables of the date patterns. Every text is code page 932 bytes.
namespace kuv {

enum class EraCalendar { None, Japanese };

struct DateLocaleTables {
    std::array<std::string, 8> shortDayNames;     // [1] = Sunday ... [7] = Saturday
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
    std::bitset<256> leadBytes;
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
struct LocaleItems {
    // Each optional item: empty optional = the call failed.
    std::array<std::string, 8> shortDayNames, longDayNames;  // "" = failed or empty
    std::array<std::string, 13> shortMonthNames, longMonthNames;
    std::string dateSeparator, timeSeparator;  // taken only when exactly one byte
    bool hasShortDate = false, hasLongDate = false;
    std::string shortDate, longDate;  // in this pattern language, untranslated
    bool hasAM = false, hasPM = false;
    std::string am, pm;
    std::string iTLZero, iTime, iTimeMarkPosn;  // number items as text ("" = failed)
    std::string iCalendarType;                   // "" = failed
    int primaryLanguage = 0, subLanguage = 0;   // 0,0 = not known
    bool cp932LeadBytes = true;
    EraCalendar eras = EraCalendar::None;
};

// Builds the tables from raw items by the loading rules (fallbacks, the time
// patterns, the translation of the date patterns).
DateLocaleTables BuildDateLocale(const LocaleItems& items);

// Translates a locale date pattern by the calendar-type rules.
std::string TranslateLocaleDatePattern(const std::string& pattern, int calendarType,
                                       int primaryLanguage, const std::bitset<256>& leadBytes);

}  // namespace kuv
