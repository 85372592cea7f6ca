#include "dates/date_pattern.h"

#include <string>

#include <gtest/gtest.h>

#include "dates/calendar.h"
#include "dates/date_locale.h"
#include "platform/cp932.h"

namespace kuv {
namespace {

// 2001-01-17 13:05:09.250, a Wednesday.
constexpr TDateTime kValue = 36908.54524594908;

std::string J(const char* utf8) {
    return *cp932::FromUtf8(utf8);
}

TDateTime At(int y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    // Before 1899-12-30 the time of day is the magnitude of the negative fraction.
    const TDateTime date = EncodeDateValue(y, m, d);
    const TDateTime time = EncodeTimeValue(h, mi, s, ms);
    return date < 0 ? date - time : date + time;
}

struct Case {
    std::string pattern;
    std::string expected;
};

void ExpectAll(const std::vector<Case>& cases, TDateTime value, const DateLocaleTables& tables) {
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDatePattern(c.pattern, value, tables), c.expected)
            << "pattern [" << cp932::ToUtf8(c.pattern) << "]";
    }
}

TEST(DatePattern, FallbackTablesTable) {
    const std::vector<Case> cases = {
        {"yyyy", "2001"},
        {"yy", "01"},
        {"y", "01"},
        {"yyy", "2001"},
        {"yyyyy", "2001"},
        {"mmdd", "0117"},
        {"mdd", "117"},
        {"mmdd\".dia\"", "0117.dia"},
        {"m/d/yy", "1/17/01"},
        {"mmm", "Jan"},
        {"mmmm", "January"},
        {"mmmmm", "January"},
        {"ddd", "Wed"},
        {"dddd", "Wednesday"},
        {"aaa", "Wed"},
        {"aaaa", "Wednesday"},
        {"aAa", "Wed"},
        {"aaaaa", "Wednesdaya"},
        {"ddddd", "1/17/01"},
        {"dddddd", "January 17, 2001"},
        {"ddddddd", "January 17, 2001"},
        {"c", "1/17/01 1:05:09 pm"},
        {"", "1/17/01 1:05:09 pm"},
        {"hh:nn:ss.zzz", "13:05:09.250"},
        {"hhh:nnn:sss.zzzz", "13:05:09.250"},
        {"h:mm", "13:05"},
        {"h:m", "13:5"},
        {"h:mm am/pm", "1:05 pm"},
        {"hh:mm A/P", "01:05 P"},
        {"h:mm ampm", "1:05 pm"},
        {"AM/PM h", "PM 1"},
        {"t", "1:05 pm"},
        {"tt", "1:05:09 pm"},
        {"dDd", "171717"},
        {"Mm", "11"},
        {"Hh", "1313"},
        {"hhxmm", "13x01"},
        {"h m m", "13 5 1"},
        {"hh 'h' mm", "13 h 05"},
        {"yyyy\"/\"mm\"/\"dd\" (\"aaa\")\"", "2001/01/17 (Wed)"},
    };
    ExpectAll(cases, kValue, FallbackDateLocale());
}

TEST(DatePattern, FallbackTablesMoreBehaviour) {
    const std::vector<Case> cases = {
        // Letters that are no specifiers print as written but still count as letters.
        {"BFIJKLOPQRUVWX", "BFIJKLOPQRUVWX"},
        {"bfijklopqruvwx", "bfijklopqruvwx"},
        {"h:x:m", "13:x:1"},
        {"hh'x'mm", "13x05"},
        {"h\"x\"mm", "13x05"},
        // An h before AM/PM in quotes is no 12-hour hour; the quoted a does not count.
        {"h 'am/pm'", "13 am/pm"},
        // Either quote character flips the same state: here the a is inside.
        {"h \"'\" am/pm", "13 ' pm"},
        {"h\"'\"am/pm", "13'pm"},
        // An h ends the look-ahead, so only the later hour gets the 12-hour clock.
        {"h h am/pm", "13 1 pm"},
        // Once on, the 12-hour clock stays on for the level.
        {"am/pm h hh", "pm 1 01"},
        {"AmPm h", "pm 1"},
        {"a/p h", "p 1"},
        {"A/p", "p"},
        {"a", "a"},
        {"ab", "ab"},
        {"aa", "aa"},
        {"am", "a1"},
        {"a/", "a/"},
        {"''", ""},
        {"\"\"", ""},
        {"'a\"b'", "a\"b"},
        {"\"a'b\"", "a'b"},
        {"yyyy\"abc", "2001abc"},
        {"yyyy'", "2001"},
        {"nn", "05"},
        {"n", "5"},
        {"s", "9"},
        {"z", "250"},
        {"Y", "01"},
        {"YYYY", "2001"},
        {"EEE", "2001"},
        {"ee", "01"},
        {"e", "1"},
        {"g", ""},
        {"gg", ""},
        {"T", "1:05 pm"},
        {"C", "1/17/01 1:05:09 pm"},
        {"cc", "1/17/01 1:05:09 pm"},
        {"d/m", "17/1"},
        {"12:34", "12:34"},
        {"%&!", "%&!"},
    };
    ExpectAll(cases, kValue, FallbackDateLocale());
}

TEST(DatePattern, TwelveHourClockAtTheEdgesOfTheDay) {
    const DateLocaleTables t = FallbackDateLocale();
    struct TimeCase {
        int h, mi;
        std::string pattern, expected;
    };
    const TimeCase cases[] = {
        {0, 30, "h:nn am/pm", "12:30 am"},
        {0, 30, "hh:nn", "00:30"},
        {12, 30, "h:nn am/pm", "12:30 pm"},
        {11, 59, "h:nn ampm", "11:59 am"},
        {23, 0, "hh A/P", "11 P"},
        {1, 0, "h AM/PM", "1 AM"},
        {0, 0, "t", "12:00 am"},
        {12, 0, "tt", "12:00:00 pm"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDatePattern(c.pattern, At(2001, 1, 17, c.h, c.mi), t), c.expected)
            << c.pattern << " at " << c.h << ":" << c.mi;
    }
}

TEST(DatePattern, DatesAndTimesAtTheEdges) {
    const DateLocaleTables t = FallbackDateLocale();
    struct ValueCase {
        TDateTime value;
        std::string pattern, expected;
    };
    const ValueCase cases[] = {
        {At(2000, 2, 29), "mdd", "229"},
        {At(2000, 3, 1), "mdd", "301"},
        {At(2000, 12, 31), "mdd", "1231"},
        {At(2001, 1, 1), "mdd", "101"},
        {At(2000, 2, 29), "mmdd", "0229"},
        {At(2000, 3, 1), "mmdd", "0301"},
        {At(2000, 12, 31), "mmdd", "1231"},
        {At(2001, 1, 1), "mmdd", "0101"},
        // c leaves out the time at midnight, milliseconds or not.
        {At(2001, 1, 17, 0, 0, 0, 999), "c", "1/17/01"},
        {At(2001, 1, 17, 0, 0, 1), "c", "1/17/01 12:00:01 am"},
        {At(2001, 1, 17, 0, 0, 0, 5), "z", "5"},
        {At(2001, 1, 17, 0, 0, 0, 5), "zz", "05"},
        {At(2001, 1, 17, 0, 0, 0, 5), "zzz", "005"},
        {At(999, 6, 1), "yyyy", "0999"},
        {At(999, 6, 1), "yy", "99"},
        {At(5, 6, 1), "yyyy/y", "0005/05"},
        {At(9999, 12, 31, 23, 59, 59, 999), "yyyy-mm-dd hh:nn:ss.zzz", "9999-12-31 23:59:59.999"},
        {At(1, 1, 1), "yyyy-mm-dd dddd", "0001-01-01 Monday"},
        {36908.99999999999, "yyyy-mm-dd hh:nn:ss.zzz", "2001-01-18 00:00:00.000"},
        {-1.25, "yyyy-mm-dd hh:nn ddd", "1899-12-29 06:00 Fri"},
        {kValue - 365, "yyyy-mm-dd", "2000-01-18"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDatePattern(c.pattern, c.value, t), c.expected) << c.pattern;
    }
}

TEST(DatePattern, OutputIsCutAt256Bytes) {
    const DateLocaleTables fallback = FallbackDateLocale();
    EXPECT_EQ(FormatDatePattern(std::string(300, 'x'), kValue, fallback), std::string(256, 'x'));
    EXPECT_EQ(FormatDatePattern(std::string(256, 'x'), kValue, fallback), std::string(256, 'x'));
    // A piece that does not fit is cut, and nothing after it is added.
    EXPECT_EQ(FormatDatePattern(std::string(254, 'x') + "yyyy" + "x", kValue, fallback),
              std::string(254, 'x') + "20");
    EXPECT_EQ(FormatDatePattern(std::string(250, 'x') + "dddd", kValue, fallback),
              std::string(250, 'x') + "Wednes");
    // Quoted text and nested levels write into the same buffer.
    EXPECT_EQ(FormatDatePattern("'" + std::string(300, 'q') + "'", kValue, fallback),
              std::string(256, 'q'));
    EXPECT_EQ(FormatDatePattern(std::string(250, 'x') + "c", kValue, fallback),
              std::string(250, 'x') + "1/17/0");
    // At the cut a double-byte character loses its second byte.
    EXPECT_EQ(FormatDatePattern(std::string(255, 'x') + J("\"日\""), kValue, JapaneseDateLocale()),
              std::string(255, 'x') + "\x93");
    EXPECT_EQ(FormatDatePattern(std::string(255, 'x') + J("日"), kValue, JapaneseDateLocale()),
              std::string(255, 'x') + "\x93");
}

TEST(DatePattern, LocalePatternsNestOneLevelOnly) {
    DateLocaleTables t = FallbackDateLocale();
    t.shortDateFormat = "m/d/yy c|ddddd|dddddd|t|tt|";
    t.longTimeFormat = "hh:nn";
    EXPECT_EQ(FormatDatePattern("ddddd", kValue, t), "1/17/01 |||||");
    // The nested c prints nothing, not even its blank.
    EXPECT_EQ(FormatDatePattern("c", kValue, t), "1/17/01 ||||| 13:05");
    // Every level has its own previous letter and its own 12-hour clock.
    t.shortTimeFormat = "mm";
    EXPECT_EQ(FormatDatePattern("h:t", kValue, t), "13:01");
    t.shortTimeFormat = "h";
    EXPECT_EQ(FormatDatePattern("am/pm h t", kValue, t), "pm 1 13");
    EXPECT_EQ(FormatDatePattern("t am/pm h", kValue, t), "13 pm 1");
    // A quoted text in a locale pattern is handled there.
    t.longDateFormat = "'d'd\"'\"";
    EXPECT_EQ(FormatDatePattern("dddddd", kValue, t), "d17'");
}

TEST(DatePattern, SeparatorsComeFromTheTables) {
    DateLocaleTables t = FallbackDateLocale();
    t.dateSeparator = '.';
    t.timeSeparator = 'h';
    EXPECT_EQ(FormatDatePattern("d/m/yyyy h:nn", kValue, t), "17.1.2001 13h05");
    EXPECT_EQ(FormatDatePattern("ddddd", kValue, t), "1.17.01");
    EXPECT_EQ(FormatDatePattern("'/:'", kValue, t), "/:");
}

TEST(DatePattern, LeadBytesMakeDoubleByteCharacters) {
    const DateLocaleTables ja = JapaneseDateLocale();
    const DateLocaleTables fallback = FallbackDateLocale();
    struct LeadCase {
        std::string pattern, japanese, fallback;
    };
    const LeadCase cases[] = {
        // 土 is 0x93 0x79: its second byte is a y.
        {"\x93\x79", "\x93\x79",
         "\x93"
         "01"},
        // 0x93 0x6D: a second byte m is no month.
        {"\x93m", "\x93m",
         "\x93"
         "1"},
        // ソ is 0x83 0x5C: the second byte is a backslash.
        {"\"\x83\x5c\"yyyy",
         "\x83\x5c"
         "2001",
         "\x83\x5c"
         "2001"},
        // A lead byte inside quotes takes a quote byte along, so the text goes on.
        {"\"\x81\"yyyy\"", "\x81\"yyyy",
         "\x81"
         "2001"},
        {"'\x81'd'", "\x81'd",
         "\x81"
         "17"},
        // A lead byte at the very end: the scanner stops, a quoted text keeps it.
        {"yyyy\x81", "2001", "2001\x81"},
        {"\"ab\x81", "ab\x81", "ab\x81"},
        // The double-byte character resets the previous letter: an m after it is a month.
        {"h\x93\x79m",
         "13\x93\x79"
         "1",
         "13\x93"
         "011"},
        // The 12-hour look-ahead passes over a double-byte character as a whole.
        {"h\x81"
         "AM/PM",
         "13\x81"
         "A1/P1",
         "1\x81PM"},
        {"h\x81", "13", "13\x81"},
        {J("\"▲ \"yyyy\"年\""), J("▲ 2001年"), J("▲ 2001年")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDatePattern(c.pattern, kValue, ja), c.japanese)
            << "japanese [" << cp932::ToUtf8(c.pattern) << "]";
        EXPECT_EQ(FormatDatePattern(c.pattern, kValue, fallback), c.fallback)
            << "fallback [" << cp932::ToUtf8(c.pattern) << "]";
    }
}

TEST(DatePattern, PatternEndsAtNul) {
    const DateLocaleTables t = FallbackDateLocale();
    EXPECT_EQ(FormatDatePattern(std::string("yy\0yy", 5), kValue, t), "01");
    EXPECT_EQ(FormatDatePattern(std::string("\0yy", 3), kValue, t), "");
    EXPECT_EQ(FormatDatePattern(std::string("'a\0b'", 5), kValue, t), "a");
}

TEST(DatePattern, JapaneseTables) {
    const std::vector<Case> cases = {
        {"yyyy\"/\"mm\"/\"dd\" (\"aaa\")\"", J("2001/01/17 (水)")},
        {"ddd", J("水")},
        {"dddd", J("水曜日")},
        {"aaaa", J("水曜日")},
        {"mmm", J("1月")},
        {"mmmm", J("1月")},
        {"ddddd", "2001/01/17"},
        {"dddddd", J("2001年1月17日")},
        {"t", "13:05"},
        {"tt", "13:05:09"},
        {"c", "2001/01/17 13:05:09"},
        {"ampm", J("午後")},
        {"h:nn ampm", J("1:05 午後")},
        {J("\"▲ \"yyyy\"年\""), J("▲ 2001年")},
        {J("yyyy年mm月dd日"), J("2001年01月17日")},
    };
    ExpectAll(cases, kValue, JapaneseDateLocale());
    EXPECT_EQ(FormatDatePattern(J("\"  ▼ \"yyyy\"年\""), kValue - 365, JapaneseDateLocale()),
              J("  ▼ 2000年"));
    EXPECT_EQ(FormatDatePattern("ampm", At(2001, 1, 17, 9), JapaneseDateLocale()), J("午前"));

    const char* days[] = {"日", "月", "火", "水", "木", "金", "土"};
    for (int k = 0; k < 7; ++k) {
        // 2001-01-14 is a Sunday.
        EXPECT_EQ(FormatDatePattern("aaa", At(2001, 1, 14 + k), JapaneseDateLocale()), J(days[k]));
    }
}

struct EraCase {
    int y, m, d;
    const char* pattern;
    const char* expected;  // UTF-8
};

TEST(DatePattern, JapaneseErasAtTheirBoundaries) {
    const EraCase cases[] = {
        {1867, 12, 31, "gg|ee|e|eeee|g", "||||"},
        {1, 1, 1, "gg e", " "},
        {1868, 1, 1, "gg|ee|e|eeee|g", "明治|01|1|1|明"},
        {1912, 7, 29, "gg|ee|e|eeee|g", "明治|45|45|45|明"},
        {1912, 7, 30, "gg|ee|e|eeee|g", "大正|01|1|1|大"},
        {1926, 12, 24, "gg|ee|e|eeee|g", "大正|15|15|15|大"},
        {1926, 12, 25, "gg|ee|e|eeee|g", "昭和|01|1|1|昭"},
        {1989, 1, 7, "gg|ee|e|eeee|g", "昭和|64|64|64|昭"},
        {1989, 1, 8, "gg|ee|e|eeee|g", "平成|01|1|1|平"},
        {2001, 1, 17, "gg|ee|e|eeee|g", "平成|13|13|13|平"},
        {2019, 4, 30, "gg|ee|e|eeee|g", "平成|31|31|31|平"},
        {2019, 5, 1, "gg|ee|e|eeee|g", "令和|01|1|1|令"},
        {2118, 1, 1, "gg|ee|e|eeee|g", "令和|100|100|100|令"},
        {2001, 1, 17, "ggg'x'GGGG'x'G", "平成x平成x平"},
        {2001, 1, 17, "EE", "13"},
    };
    const DateLocaleTables t = JapaneseDateLocale();
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDatePattern(c.pattern, At(c.y, c.m, c.d, 23, 59), t), J(c.expected))
            << c.y << "-" << c.m << "-" << c.d << " " << c.pattern;
    }
    EraDate era;
    ASSERT_TRUE(JapaneseEraOf(1989, 1, 8, era));
    EXPECT_EQ(era.name, J("平成"));
    EXPECT_EQ(era.year, 1);
    EXPECT_FALSE(JapaneseEraOf(1867, 12, 31, era));
}

TEST(DatePattern, EraNameShorteningFollowsTheLanguage) {
    DateLocaleTables t = JapaneseDateLocale();
    t.primaryLanguage = 9;
    EXPECT_EQ(FormatDatePattern("g", kValue, t), J("平成"));
    // The Chinese rule takes the third and fourth of exactly four characters.
    t.primaryLanguage = 4;
    t.subLanguage = 1;
    EXPECT_EQ(FormatDatePattern("g", kValue, t), J("平成"));
    // Without double-byte support the name counts four characters.
    t.leadBytes.reset();
    EXPECT_EQ(FormatDatePattern("g", kValue, t), "\x90\xac");
    t.primaryLanguage = 17;
    EXPECT_EQ(FormatDatePattern("g", kValue, t), "\x95");
}

TEST(DatePattern, GregorianEraWithoutAnEraCalendar) {
    const DateLocaleTables t = FallbackDateLocale();
    EXPECT_EQ(FormatDatePattern("e|ee|eee|g|gg", At(2001, 1, 17), t), "1|01|2001||");
    EXPECT_EQ(FormatDatePattern("e|ee|eeee", At(2010, 1, 17), t), "10|10|2010");
    EXPECT_EQ(FormatDatePattern("e|eeee", At(999, 1, 17), t), "99|0999");
    // A day number below 1 has no date the calendar can give.
    EXPECT_EQ(FormatDatePattern("e|g", -693594, t), "|");
}

TEST(DatePattern, ProcessWideTablesAreUsedByDefault) {
    const DateLocaleTables saved = DateLocale();
    DateLocale() = JapaneseDateLocale();
    EXPECT_EQ(FormatDatePattern("aaa", kValue), J("水"));
    DateLocale() = FallbackDateLocale();
    EXPECT_EQ(FormatDatePattern("aaa", kValue), "Wed");
    DateLocale() = saved;
}

}  // namespace
}  // namespace kuv
