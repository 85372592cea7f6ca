#include "dates/date_locale.h"

#include <string>

#include <gtest/gtest.h>

#include "dates/date_pattern.h"
#include "platform/cp932.h"

namespace kuv {
namespace {

std::string J(const char* utf8) {
    return *cp932::FromUtf8(utf8);
}

const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                             "Thursday", "Friday", "Saturday"};
const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};

TEST(DateLocale, FallbackTables) {
    const DateLocaleTables t = FallbackDateLocale();
    for (int j = 1; j <= 7; ++j) {
        EXPECT_EQ(t.longDayNames[j], kDays[j - 1]);
        EXPECT_EQ(t.shortDayNames[j], std::string(kDays[j - 1]).substr(0, 3));
    }
    for (int i = 1; i <= 12; ++i) {
        EXPECT_EQ(t.longMonthNames[i], kMonths[i - 1]);
        EXPECT_EQ(t.shortMonthNames[i], std::string(kMonths[i - 1]).substr(0, 3));
    }
    EXPECT_EQ(t.dateSeparator, '/');
    EXPECT_EQ(t.timeSeparator, ':');
    EXPECT_EQ(t.shortDateFormat, "m/d/yy");
    EXPECT_EQ(t.longDateFormat, "mmmm d, yyyy");
    EXPECT_EQ(t.timeAMString, "am");
    EXPECT_EQ(t.timePMString, "pm");
    EXPECT_EQ(t.shortTimeFormat, "h:mm AMPM");
    EXPECT_EQ(t.longTimeFormat, "h:mm:ss AMPM");
    EXPECT_TRUE(t.leadBytes.none());
    EXPECT_EQ(t.primaryLanguage, 9);
    EXPECT_EQ(t.subLanguage, 1);
    EXPECT_EQ(t.eras, EraCalendar::None);
}

TEST(DateLocale, JapaneseTables) {
    const DateLocaleTables t = JapaneseDateLocale();
    const char* days[] = {"日", "月", "火", "水", "木", "金", "土"};
    for (int j = 1; j <= 7; ++j) {
        EXPECT_EQ(t.shortDayNames[j], J(days[j - 1]));
        EXPECT_EQ(t.longDayNames[j], J(days[j - 1]) + J("曜日"));
    }
    for (int i = 1; i <= 12; ++i) {
        EXPECT_EQ(t.shortMonthNames[i], std::to_string(i) + J("月"));
        EXPECT_EQ(t.longMonthNames[i], std::to_string(i) + J("月"));
    }
    EXPECT_EQ(t.shortDateFormat, "yyyy/MM/dd");
    EXPECT_EQ(t.longDateFormat, J("yyyy'年'M'月'd'日'"));
    EXPECT_EQ(t.timeAMString, J("午前"));
    EXPECT_EQ(t.timePMString, J("午後"));
    EXPECT_EQ(t.shortTimeFormat, "h:mm");
    EXPECT_EQ(t.longTimeFormat, "h:mm:ss");
    EXPECT_EQ(t.primaryLanguage, 17);
    EXPECT_EQ(t.subLanguage, 1);
    EXPECT_EQ(t.eras, EraCalendar::Japanese);
    EXPECT_EQ(t.leadBytes.count(), (0x9Fu - 0x81 + 1) + (0xFCu - 0xE0 + 1));
    for (int b : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_TRUE(t.leadBytes.test(b)) << b;
    for (int b : {0x00, 0x7F, 0x80, 0xA0, 0xDF, 0xFD, 0xFF}) EXPECT_FALSE(t.leadBytes.test(b)) << b;
}

TEST(DateLocale, NamesTakeTheFallbackWhenFailedOrEmpty) {
    LocaleItems items;
    items.shortDayNames[1] = "So";
    items.shortDayNames[2] = "";
    items.longDayNames[4] = "Mittwoch";
    items.longDayNames[5] = std::string(256, 'x');  // does not fit the buffer
    items.longDayNames[6] = std::string(255, 'x');
    items.shortMonthNames[12] = "Dez";
    items.longMonthNames[1] = std::string("Jan\0uar", 7);
    const DateLocaleTables t = BuildDateLocale(items);
    EXPECT_EQ(t.shortDayNames[1], "So");
    EXPECT_EQ(t.shortDayNames[2], "Mon");
    EXPECT_EQ(t.shortDayNames[3], "Tue");
    EXPECT_EQ(t.longDayNames[4], "Mittwoch");
    EXPECT_EQ(t.longDayNames[5], "Thursday");
    EXPECT_EQ(t.longDayNames[6], std::string(255, 'x'));
    EXPECT_EQ(t.shortMonthNames[12], "Dez");
    EXPECT_EQ(t.longMonthNames[1], "Jan");
    EXPECT_EQ(t.longMonthNames[2], "February");
}

TEST(DateLocale, TextItems) {
    struct Case {
        std::optional<std::string> item;
        std::string expected;
    };
    const Case cases[] = {
        {std::nullopt, "am"},
        {"", ""},  // an empty text from the locale is taken
        {"AM", "AM"},
        {std::string(255, 'a'), std::string(255, 'a')},
        {std::string(256, 'a'), "am"},
        {std::string("v\0w", 3), "v"},
    };
    for (const auto& c : cases) {
        LocaleItems items;
        items.am = c.item;
        items.shortDate = c.item;
        const DateLocaleTables t = BuildDateLocale(items);
        EXPECT_EQ(t.timeAMString, c.expected);
        EXPECT_EQ(t.shortDateFormat, c.expected == "am" ? "m/d/yy" : c.expected);
        EXPECT_EQ(t.timePMString, "pm");
        EXPECT_EQ(t.longDateFormat, "mmmm d, yyyy");
    }
}

TEST(DateLocale, SeparatorsAreOneByteItems) {
    struct Case {
        std::optional<std::string> item;
        char date, time;
    };
    const Case cases[] = {
        {std::nullopt, '/', ':'}, {".", '.', '.'}, {"-", '-', '-'},
        {". ", '/', ':'},         {"", '/', ':'},  {std::string(1, '\0'), '/', ':'},
    };
    for (const auto& c : cases) {
        LocaleItems items;
        items.dateSeparator = c.item;
        items.timeSeparator = c.item;
        const DateLocaleTables t = BuildDateLocale(items);
        EXPECT_EQ(t.dateSeparator, c.date);
        EXPECT_EQ(t.timeSeparator, c.time);
    }
}

TEST(DateLocale, TimePatternsFromTheClockItems) {
    using O = std::optional<std::string>;
    struct Case {
        O leadingZero, clock, markFirst;
        std::string shortTime, longTime;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, std::nullopt, "h:mm AMPM", "h:mm:ss AMPM"},
        {"1", "1", "0", "hh:mm", "hh:mm:ss"},
        {"0", "1", "1", "h:mm", "h:mm:ss"},
        {"1", "0", "1", "AMPM hh:mm", "AMPM hh:mm:ss"},
        {"2", "0", "0", "hh:mm AMPM", "hh:mm:ss AMPM"},
        {"x", "0", "-1", "AMPM h:mm", "AMPM h:mm:ss"},
        {"", "2", "1", "h:mm", "h:mm:ss"},
        {"0", "abc", "1", "AMPM h:mm", "AMPM h:mm:ss"},  // not a number counts as 0
        {"+1", "01", "0", "hh:mm", "hh:mm:ss"},
        {"1 ", "1", "0", "h:mm", "h:mm:ss"},
    };
    for (const auto& c : cases) {
        LocaleItems items;
        items.iTLZero = c.leadingZero;
        items.iTime = c.clock;
        items.iTimeMarkPosn = c.markFirst;
        const DateLocaleTables t = BuildDateLocale(items);
        EXPECT_EQ(t.shortTimeFormat, c.shortTime)
            << c.leadingZero.value_or("(none)") << " " << c.clock.value_or("(none)");
        EXPECT_EQ(t.longTimeFormat, c.longTime);
    }
}

TEST(DateLocale, LanguageIdentity) {
    struct Case {
        std::uint16_t id;
        int primary, sub;
    };
    const Case cases[] = {
        {0, 9, 1}, {0x0411, 17, 1}, {0x0804, 4, 2}, {0x0809, 9, 2}, {0x0407, 7, 1}, {0x0400, 0, 1},
    };
    for (const auto& c : cases) {
        LocaleItems items;
        items.languageId = c.id;
        const DateLocaleTables t = BuildDateLocale(items);
        EXPECT_EQ(t.primaryLanguage, c.primary) << c.id;
        EXPECT_EQ(t.subLanguage, c.sub) << c.id;
    }
}

TEST(DateLocale, LeadBytesOfTheCodePage) {
    LocaleItems items;
    items.doubleByteCodePage = true;
    const DateLocaleTables t = BuildDateLocale(items);
    for (int b = 0; b < 256; ++b) {
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        EXPECT_EQ(t.leadBytes.test(b), lead) << b;
    }
    items.doubleByteCodePage = false;
    EXPECT_TRUE(BuildDateLocale(items).leadBytes.none());
}

TEST(DateLocale, TranslationByCalendarType) {
    std::bitset<256> lead;
    for (int b = 0x81; b <= 0x9F; ++b) lead.set(b);
    for (int b = 0xE0; b <= 0xFC; ++b) lead.set(b);
    struct Case {
        std::string pattern;
        int calendarType, language;
        std::string expected;
    };
    const Case cases[] = {
        {"gg yyyy/MM/dd", 3, 17, "ggg eeee/MM/dd"},
        {"GG YYYY yy Y", 4, 9, "ggg eeee ee e"},
        {"gG yYyY", 5, 4, "ggg eeee"},
        {"yyy", 3, 17, "eee"},
        {"yyyyy", 3, 17, "eeeee"},
        {"g y", 3, 17, "g e"},
        {"ggg", 3, 17, "gggg"},
        {"m/d/yy", 3, 9, "m/d/ee"},
        // 土 is 0x93 0x79: its second byte is no year.
        {"\x93\x79y", 3, 17,
         "\x93\x79"
         "e"},
        {"\x93", 3, 17, "\x93"},
        {"gg yyyy", 1, 17, " yyyy"},
        {"Gg'g'yyyy", 2, 4, "''yyyy"},
        {"ggyy", 6, 18, "yy"},
        // 0x93 0x67 is one character whose second byte is a g.
        {"\x93gg", 1, 17, "\x93g"},
        {"gg yyyy", 1, 9, "gg yyyy"},
        {"gg yyyy", 2, 7, "gg yyyy"},
        {"gg yyyy", 6, 9, "gg yyyy"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TranslateLocaleDatePattern(c.pattern, c.calendarType, c.language, lead),
                  c.expected)
            << c.pattern << " type " << c.calendarType << " language " << c.language;
    }
}

TEST(DateLocale, BuildTranslatesByTheCalendarTypeItem) {
    struct Case {
        std::optional<std::string> calendarType;
        std::uint16_t id;
        std::string shortDate, longDate;
    };
    const Case cases[] = {
        {std::nullopt, 0, "gg yy", "yyyy g"}, {"3", 0x0411, "ggg ee", "eeee g"},
        {"1", 0x0411, " yy", "yyyy "},        {"x", 0x0411, " yy", "yyyy "},
        {"x", 0x0409, "gg yy", "yyyy g"},     {"4", 0, "ggg ee", "eeee g"},
    };
    for (const auto& c : cases) {
        LocaleItems items;
        items.shortDate = "gg yy";
        items.longDate = "yyyy g";
        items.iCalendarType = c.calendarType;
        items.languageId = c.id;
        const DateLocaleTables t = BuildDateLocale(items);
        EXPECT_EQ(t.shortDateFormat, c.shortDate) << c.calendarType.value_or("(none)");
        EXPECT_EQ(t.longDateFormat, c.longDate);
    }
    // The fallback patterns are translated the same way.
    LocaleItems items;
    items.iCalendarType = "3";
    const DateLocaleTables t = BuildDateLocale(items);
    EXPECT_EQ(t.shortDateFormat, "m/d/ee");
    EXPECT_EQ(t.longDateFormat, "mmmm d, eeee");
}

TEST(DateLocale, BuiltTablesDriveTheFormatter) {
    LocaleItems items = JapaneseLocaleItems();
    items.iTime = "0";
    items.iTimeMarkPosn = "1";
    items.iTLZero = "1";
    items.iCalendarType = "3";
    const DateLocaleTables t = BuildDateLocale(items);
    EXPECT_EQ(t.longDateFormat, J("eeee'年'M'月'd'日'"));
    // 2001-01-17 13:05:09.250
    EXPECT_EQ(FormatDatePattern("t", 36908.54524594908, t), J("午後 01:05"));
    EXPECT_EQ(FormatDatePattern("ddddd", 36908.54524594908, t), "13/01/17");
    EXPECT_EQ(FormatDatePattern("dddddd", 36908.54524594908, t), J("13年1月17日"));
}

}  // namespace
}  // namespace kuv
