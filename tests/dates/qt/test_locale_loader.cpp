#include "dates/qt/locale_loader.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>
#include <QString>

#include "dates/date_locale.h"
#include "dates/date_pattern.h"
#include "platform/cp932.h"

namespace kuv {
namespace {

// 2001-01-17 13:05:09.250, a Wednesday.
constexpr TDateTime kValue = 36908.54524594908;

std::string J(const char* utf8) {
    return *cp932::FromUtf8(utf8);
}

DateLocaleTables FromQt(const char* name) {
    return BuildDateLocale(LocaleItemsFromQt(QLocale(QString::fromLatin1(name))));
}

std::string Utf8(const std::string& cp932Bytes) {
    return cp932::ToUtf8(cp932Bytes);
}

TEST(LocaleLoader, JapaneseLocaleGivesTheJapaneseTables) {
    const DateLocaleTables qt = FromQt("ja_JP");
    const DateLocaleTables builtIn = JapaneseDateLocale();
    EXPECT_EQ(qt.shortDayNames, builtIn.shortDayNames);
    EXPECT_EQ(qt.longDayNames, builtIn.longDayNames);
    EXPECT_EQ(qt.shortMonthNames, builtIn.shortMonthNames);
    EXPECT_EQ(qt.longMonthNames, builtIn.longMonthNames);
    EXPECT_EQ(qt.dateSeparator, '/');
    EXPECT_EQ(qt.timeSeparator, ':');
    EXPECT_EQ(qt.shortDateFormat, "yyyy/MM/dd");
    EXPECT_EQ(qt.timeAMString, J("午前"));
    EXPECT_EQ(qt.timePMString, J("午後"));
    EXPECT_EQ(qt.shortTimeFormat, "h:mm");
    EXPECT_EQ(qt.longTimeFormat, "h:mm:ss");
    EXPECT_EQ(qt.leadBytes, builtIn.leadBytes);
    EXPECT_EQ(qt.primaryLanguage, 17);
    EXPECT_EQ(qt.subLanguage, 1);
    EXPECT_EQ(qt.eras, EraCalendar::Japanese);

    EXPECT_EQ(FormatDatePattern("yyyy\"/\"mm\"/\"dd\" (\"aaa\")\"", kValue, qt),
              J("2001/01/17 (水)"));
    // The Japanese system's long date, without the weekday that Qt's adds.
    EXPECT_EQ(qt.longDateFormat, builtIn.longDateFormat);
    EXPECT_EQ(FormatDatePattern("dddddd", kValue, qt), J("2001年1月17日"));
    EXPECT_EQ(FormatDatePattern("gge", kValue, qt), J("平成13"));
}

// The C locale has no items: the formatter takes the fallback tables, with
// the lead bytes of the program's code page.
TEST(LocaleLoader, CLocaleGivesTheFallbackTables) {
    const DateLocaleTables c = BuildDateLocale(LocaleItemsFromQt(QLocale::c()));
    const DateLocaleTables fallback = FallbackDateLocale();
    EXPECT_EQ(c.shortDayNames, fallback.shortDayNames);
    EXPECT_EQ(c.longMonthNames, fallback.longMonthNames);
    EXPECT_EQ(c.shortDateFormat, "m/d/yy");
    EXPECT_EQ(c.longDateFormat, "mmmm d, yyyy");
    EXPECT_EQ(c.shortTimeFormat, "h:mm AMPM");
    EXPECT_EQ(c.timeAMString, "am");
    EXPECT_EQ(c.primaryLanguage, 9);
    EXPECT_EQ(c.leadBytes, JapaneseDateLocale().leadBytes);
    const struct {
        const char* pattern;
        const char* text;
    } cases[] = {
        {"ddddd", "1/17/01"},
        {"dddddd", "January 17, 2001"},
        {"c", "1/17/01 1:05:09 pm"},
        {"tt", "1:05:09 pm"},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(FormatDatePattern(k.pattern, kValue, c), k.text) << k.pattern;
        EXPECT_EQ(FormatDatePattern(k.pattern, kValue, fallback), k.text) << k.pattern;
    }
}

TEST(LocaleLoader, EnglishLocaleGivesEnglishNames) {
    const DateLocaleTables t = FromQt("en_US");
    EXPECT_EQ(t.shortDayNames[1], "Sun");
    EXPECT_EQ(t.longDayNames[4], "Wednesday");
    EXPECT_EQ(t.shortMonthNames[1], "Jan");
    EXPECT_EQ(t.longMonthNames[12], "December");
    EXPECT_EQ(t.shortDateFormat, "M/d/yy");
    EXPECT_EQ(t.longDateFormat, "dddd, MMMM d, yyyy");
    EXPECT_EQ(t.shortTimeFormat, "h:mm AMPM");
    EXPECT_EQ(t.longTimeFormat, "h:mm:ss AMPM");
    EXPECT_EQ(t.timeAMString, "AM");
    EXPECT_EQ(t.timePMString, "PM");
    EXPECT_EQ(t.primaryLanguage, 9);
    EXPECT_EQ(t.subLanguage, 1);
    EXPECT_EQ(t.eras, EraCalendar::None);
    EXPECT_EQ(FormatDatePattern("c", kValue, t), "1/17/01 1:05:09 PM");
    EXPECT_EQ(FormatDatePattern("dddddd|e|g", kValue, t), "Wednesday, January 17, 2001|1|");
}

TEST(LocaleLoader, SeparatorsAndClockComeFromTheFormats) {
    struct Case {
        const char* locale;
        char date, time;
        const char* shortTime;
        const char* shortDate;
    };
    const Case cases[] = {
        {"de_DE", '.', ':', "hh:mm", "17.01.01"},
        {"fi_FI", '.', '.', "h:mm", "17.1.2001"},
        {"en_GB", '/', ':', "hh:mm", "17/01/2001"},
        {"ja_JP", '/', ':', "h:mm", "2001/01/17"},
        // "yy. M. d.": the text between the fields is longer than one byte.
        {"ko_KR", '/', ':', "AMPM h:mm", "01. 1. 17."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        const DateLocaleTables t = FromQt(c.locale);
        EXPECT_EQ(t.dateSeparator, c.date);
        EXPECT_EQ(t.timeSeparator, c.time);
        EXPECT_EQ(t.shortTimeFormat, c.shortTime);
        EXPECT_EQ(FormatDatePattern("ddddd", kValue, t), c.shortDate);
    }
}

TEST(LocaleLoader, TextThatCodePage932CannotHoldFallsBack) {
    // Thai names and texts have no code page 932 bytes.
    const DateLocaleTables th = FromQt("th_TH");
    const DateLocaleTables fallback = FallbackDateLocale();
    EXPECT_EQ(th.shortDayNames, fallback.shortDayNames);
    EXPECT_EQ(th.longDayNames, fallback.longDayNames);
    EXPECT_EQ(th.shortMonthNames, fallback.shortMonthNames);
    EXPECT_EQ(th.longMonthNames, fallback.longMonthNames);
    EXPECT_EQ(th.timeAMString, "am");
    EXPECT_EQ(th.timePMString, "pm");
    EXPECT_EQ(th.longDateFormat, "mmmm d, yyyy");
    EXPECT_EQ(th.shortDateFormat, "d/M/yy");

    // Hangul neither; the Korean long date holds some.
    const DateLocaleTables ko = FromQt("ko_KR");
    EXPECT_EQ(ko.longDayNames, fallback.longDayNames);
    EXPECT_EQ(ko.longDateFormat, "mmmm d, yyyy");
    EXPECT_EQ(ko.primaryLanguage, 18);

    // Cyrillic is in code page 932.
    const DateLocaleTables ru = FromQt("ru_RU");
    EXPECT_EQ(Utf8(ru.longDayNames[4]), "среда");
    EXPECT_EQ(Utf8(FormatDatePattern("dddddd", kValue, ru)), "среда, 17 января 2001 г.");
}

TEST(LocaleLoader, QtFormatsTranslateToTheSameText) {
    // Under the fallback tables the names are the C locale's, so Qt's own formatting of
    // the format must give the same text as the translated pattern.
    const char* formats[] = {
        "yyyy/MM/dd",     "d.M.yyyy",    "dddd, d 'de' MMMM 'de' yyyy",
        "d 'o''clock' M", "''yy''",      "ddddd",
        "MMMMM",          "yyyyy",       "y yyy",
        "dd-MM",          "d\"M\"",      "xaegchnst:z AP",
        "'d''M' d",       "'unclosed d", "d ddd dd",
    };
    const DateLocaleTables t = FallbackDateLocale();
    const QDate date(2001, 1, 17);
    for (const char* f : formats) {
        const QString qtFormat = QString::fromLatin1(f);
        const auto pattern = cp932::FromUtf8(DatePatternFromQt(qtFormat, true).toStdString());
        ASSERT_TRUE(pattern.has_value()) << f;
        EXPECT_EQ(FormatDatePattern(*pattern, kValue, t),
                  QLocale::c().toString(date, qtFormat).toStdString())
            << f << " -> " << *pattern;
    }
    EXPECT_EQ(DatePatternFromQt(QStringLiteral("yyyy/MM/dd"), false),
              QStringLiteral("yyyy'/'MM'/'dd"));
    EXPECT_EQ(DatePatternFromQt(QStringLiteral("yyyy/MM/dd"), true), QStringLiteral("yyyy/MM/dd"));
}

// Sets the locale variables for one test and restores them afterwards.
class LocaleEnvironment : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* v : kVars) {
            const char* old = std::getenv(v);
            saved_.emplace_back(v, old ? std::optional<std::string>(old) : std::nullopt);
            unsetenv(v);
        }
        savedTables_ = DateLocale();
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        DateLocale() = savedTables_;
    }
    static constexpr const char* kVars[] = {"LC_ALL", "LC_TIME", "LANG"};
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
    DateLocaleTables savedTables_;
};

TEST_F(LocaleEnvironment, LoadHonoursLcAllThenLcTimeThenLang) {
    struct Case {
        const char* lcAll;
        const char* lcTime;
        const char* lang;
        const char* wednesday;  // UTF-8
    };
    const Case cases[] = {
        {"ja_JP.UTF-8", "en_US.UTF-8", "de_DE.UTF-8", "水曜日"},
        {nullptr, "en_US.UTF-8", "ja_JP.UTF-8", "Wednesday"},
        {"", "de_DE.UTF-8", "ja_JP.UTF-8", "Mittwoch"},
        {nullptr, nullptr, "ja_JP.UTF-8", "水曜日"},
        {nullptr, "", "de_DE", "Mittwoch"},
        {"C", "ja_JP.UTF-8", nullptr, "Wednesday"},
        {"POSIX", nullptr, "ja_JP.UTF-8", "Wednesday"},
        {"th_TH.UTF-8", nullptr, nullptr, "Wednesday"},
    };
    for (const auto& c : cases) {
        const auto set = [](const char* name, const char* value) {
            if (value) {
                setenv(name, value, 1);
            } else {
                unsetenv(name);
            }
        };
        set("LC_ALL", c.lcAll);
        set("LC_TIME", c.lcTime);
        set("LANG", c.lang);
        DateLocale() = FallbackDateLocale();
        LoadDateLocale();
        EXPECT_EQ(Utf8(FormatDatePattern("dddd", kValue)), c.wednesday)
            << (c.lcAll ? c.lcAll : "-") << " " << (c.lcTime ? c.lcTime : "-") << " "
            << (c.lang ? c.lang : "-");
    }
}

TEST_F(LocaleEnvironment, CAndPosixLoadTheFallbackShortDate) {
    for (const char* name : {"C", "POSIX", "C.UTF-8"}) {
        setenv("LC_ALL", name, 1);
        DateLocale() = JapaneseDateLocale();
        LoadDateLocale();
        EXPECT_EQ(FormatDatePattern("ddddd|dddddd", kValue), "1/17/01|January 17, 2001") << name;
    }
}

TEST_F(LocaleEnvironment, LoadWithoutVariablesUsesTheSystemLocale) {
    LoadDateLocale();
    const DateLocaleTables& t = DateLocale();
    for (int j = 1; j <= 7; ++j) EXPECT_FALSE(t.longDayNames[j].empty());
    EXPECT_FALSE(FormatDatePattern("", kValue).empty());
    EXPECT_EQ(t.leadBytes, JapaneseDateLocale().leadBytes);
}

}  // namespace
}  // namespace kuv
