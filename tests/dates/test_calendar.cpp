#include <cmath>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "dates/calendar.h"
#include "platform/cp932.h"
#include "platform/errors.h"

namespace kuv {
namespace {

struct EncodeCase {
    int y, m, d;
    TDateTime value;
};

TEST(Calendar, EncodeDateValueGivesTheDayCount) {
    const EncodeCase cases[] = {
        {1899, 12, 30, 0},     {1899, 12, 31, 1},      {1899, 12, 29, -1},
        {2001, 1, 17, 36908},  {2000, 2, 29, 36585},   {2000, 3, 1, 36586},
        {1900, 3, 1, 61},      {1, 1, 1, -693593},     {9999, 12, 31, 2958465},
        {2004, 12, 31, 38352}, {1600, 2, 29, -109512},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeDateValue(c.y, c.m, c.d), c.value) << c.y << "-" << c.m << "-" << c.d;
    }
}

TEST(Calendar, EncodeDateValueRefusesInvalidDates) {
    const EncodeCase cases[] = {
        {1900, 2, 29, 0}, {2001, 2, 29, 0}, {0, 1, 1, 0},     {10000, 1, 1, 0}, {2001, 0, 1, 0},
        {2001, 13, 1, 0}, {2001, 1, 0, 0},  {2001, 4, 31, 0}, {2001, 1, 32, 0},
    };
    const std::string message = *cp932::FromUtf8("日付に変換できない値が渡されました");
    for (const auto& c : cases) {
        try {
            EncodeDateValue(c.y, c.m, c.d);
            ADD_FAILURE() << "accepted " << c.y << "-" << c.m << "-" << c.d;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

TEST(Calendar, EncodeTimeValue) {
    EXPECT_EQ(EncodeTimeValue(0, 0, 0, 0), 0.0);
    EXPECT_EQ(EncodeTimeValue(6, 0, 0, 0), 0.25);
    EXPECT_EQ(EncodeTimeValue(12, 0, 0, 0), 0.5);
    EXPECT_DOUBLE_EQ(EncodeTimeValue(23, 59, 59, 999), 86399999.0 / 86400000.0);
    EXPECT_DOUBLE_EQ(EncodeDateValue(2001, 1, 17) + EncodeTimeValue(13, 5, 9, 250),
                     36908.54524594908);

    const int bad[][4] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}};
    const std::string message = *cp932::FromUtf8("時刻に変換できない値が渡されました");
    for (const auto& b : bad) {
        try {
            EncodeTimeValue(b[0], b[1], b[2], b[3]);
            ADD_FAILURE() << "accepted " << b[0] << ":" << b[1] << ":" << b[2] << "." << b[3];
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

struct DecodeCase {
    TDateTime value;
    int y, m, d, h, mi, s, ms, weekday;
};

TEST(Calendar, DecodeTakesValuesApart) {
    const DecodeCase cases[] = {
        {0, 1899, 12, 30, 0, 0, 0, 0, 7},
        {1, 1899, 12, 31, 0, 0, 0, 0, 1},
        {-1, 1899, 12, 29, 0, 0, 0, 0, 6},
        {-1.25, 1899, 12, 29, 6, 0, 0, 0, 6},
        {-0.5, 1899, 12, 30, 12, 0, 0, 0, 7},
        {0.5, 1899, 12, 30, 12, 0, 0, 0, 7},
        {36908, 2001, 1, 17, 0, 0, 0, 0, 4},
        {36908.54524594908, 2001, 1, 17, 13, 5, 9, 250, 4},
        // Less than half a millisecond before midnight rounds into the next day.
        {36908.99999999999, 2001, 1, 18, 0, 0, 0, 0, 5},
        {36585, 2000, 2, 29, 0, 0, 0, 0, 3},
        {-693593, 1, 1, 1, 0, 0, 0, 0, 2},
        {2958465.5, 9999, 12, 31, 12, 0, 0, 0, 6},
        {61, 1900, 3, 1, 0, 0, 0, 0, 5},
        {60, 1900, 2, 28, 0, 0, 0, 0, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const DateParts d = DecodeDateValue(c.value);
        const TimeParts t = DecodeTimeValue(c.value);
        EXPECT_EQ(d.year, c.y);
        EXPECT_EQ(d.month, c.m);
        EXPECT_EQ(d.day, c.d);
        EXPECT_EQ(t.hour, c.h);
        EXPECT_EQ(t.minute, c.mi);
        EXPECT_EQ(t.second, c.s);
        EXPECT_EQ(t.msec, c.ms);
        EXPECT_EQ(WeekdayOf(c.value), c.weekday);
    }
}

TEST(Calendar, DayNumbersBelowOneDecodeAsZero) {
    for (TDateTime v : {-693594.0, -693594.5, -800000.0}) {
        const DateParts d = DecodeDateValue(v);
        EXPECT_EQ(d.year, 0);
        EXPECT_EQ(d.month, 0);
        EXPECT_EQ(d.day, 0);
        const int w = WeekdayOf(v);
        EXPECT_GE(w, 1);
        EXPECT_LE(w, 7);
    }
}

TEST(Calendar, NonFiniteAndHugeValuesStayInRange) {
    for (TDateTime v : {std::nan(""), 1e300, -1e300, HUGE_VAL}) {
        const TimeParts t = DecodeTimeValue(v);
        EXPECT_LT(t.hour, 24);
        const int w = WeekdayOf(v);
        EXPECT_GE(w, 1);
        EXPECT_LE(w, 7);
        DecodeDateValue(v);
    }
}

TEST(Calendar, SplitDateTime) {
    EXPECT_EQ(SplitDateTime(0).day, 693594);
    EXPECT_EQ(SplitDateTime(36908).day, 730502);
    EXPECT_EQ(SplitDateTime(-693593).day, 1);
    EXPECT_EQ(SplitDateTime(-1.25).day, 693593);
    EXPECT_EQ(SplitDateTime(-1.25).msec, 21600000);
    EXPECT_EQ(SplitDateTime(36908.54524594908).msec, 47109250);
}

// The split rounds v * 86400000 computed in extended precision, halves to even; values
// around half a millisecond and far from it alike.
TEST(Calendar, SplitRoundsLikeExtendedPrecision) {
    const auto reference = [](TDateTime v) {
        const std::int64_t a = std::llrint(static_cast<long double>(v) * 86400000.0L);
        const std::int64_t q = (a >= 0 ? a : -a) / 86400000;
        return DaySplit{a >= 0 ? q + 693594 : 693594 - q, (a >= 0 ? a : -a) % 86400000};
    };
    std::vector<TDateTime> values;
    std::uint64_t seed = 12345;
    const auto next = [&] {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return seed >> 11;
    };
    for (int k = 0; k < 20000; ++k) {
        const double ms = static_cast<double>(next() % 300000000000000ULL) - 60000000000000.0;
        // Exactly on, just beside and far from a half millisecond.
        for (double offset : {0.5, 0.4999999, 0.5000001, 0.0, 0.25}) {
            values.push_back((ms + offset) / 86400000.0);
        }
    }
    for (double v : {0.5 / 86400000, 1.5 / 86400000, 2.5 / 86400000, -0.5 / 86400000,
                     -1.5 / 86400000, 36908.99999999999, 2958465.999999994, -693593.999999994}) {
        values.push_back(v);
    }
    for (TDateTime v : values) {
        const DaySplit got = SplitDateTime(v);
        const DaySplit want = reference(v);
        if (got.day != want.day || got.msec != want.msec) FAIL() << std::hexfloat << v;
    }
}

// Every day of the valid range decodes to the day after its predecessor and encodes back.
TEST(Calendar, EveryDayOfTheRangeRoundTrips) {
    int y = 1, m = 1, d = 1;
    const auto monthLength = [](int year, int month) {
        static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
    };
    for (int v = -693593; v <= 2958465; ++v) {
        // The time of day of a negative value is the magnitude of its fraction.
        const DateParts p = DecodeDateValue(v < 0 ? v - 0.75 : v + 0.75);
        if (p.year != y || p.month != m || p.day != d) {
            FAIL() << "value " << v << " decodes as " << p.year << "-" << p.month << "-" << p.day
                   << ", expected " << y << "-" << m << "-" << d;
        }
        if (EncodeDateValue(p.year, p.month, p.day) != v) FAIL() << "value " << v;
        if (WeekdayOf(v) != (v + 693594) % 7 + 1) FAIL() << "weekday of " << v;
        if (++d > monthLength(y, m)) {
            d = 1;
            if (++m > 12) {
                m = 1;
                ++y;
            }
        }
    }
}

TEST(Calendar, IsLeap) {
    const std::pair<int, bool> cases[] = {{2000, true},  {2004, true}, {1900, false},
                                          {2001, false}, {1600, true}, {2100, false},
                                          {4, true},     {9996, true}, {1, false}};
    for (const auto& [year, leap] : cases) EXPECT_EQ(IsLeap(year), leap) << year;
}

// Written days: the parts of a valid one (year 0 where the form has none),
// written back as the same text; nothing for anything else.
TEST(Calendar, ParseIsoDayAndMonthDay) {
    const struct {
        const char* text;
        bool monthDay;         // MM-DD rather than YYYY-MM-DD
        int year, month, day;  // month 0: refused
    } cases[] = {
        {"2001-01-17", false, 2001, 1, 17},
        {"0001-01-01", false, 1, 1, 1},
        {"9999-12-31", false, 9999, 12, 31},
        {"2000-02-29", false, 2000, 2, 29},
        {"1600-02-29", false, 1600, 2, 29},
        {"1900-02-29", false, 0, 0, 0},
        {"2001-02-29", false, 0, 0, 0},
        {"2001-02-30", false, 0, 0, 0},
        {"2001-04-31", false, 0, 0, 0},
        {"0000-01-01", false, 0, 0, 0},
        {"2001-13-01", false, 0, 0, 0},
        {"2001-00-10", false, 0, 0, 0},
        {"2001-01-00", false, 0, 0, 0},
        {"2001-1-17", false, 0, 0, 0},
        {"2001/01/17", false, 0, 0, 0},
        {"20010117", false, 0, 0, 0},
        {"2001-01-1x", false, 0, 0, 0},
        {"+001-01-17", false, 0, 0, 0},
        {"2001-01-170", false, 0, 0, 0},
        {"2001-01-17 ", false, 0, 0, 0},
        {" 2001-01-17", false, 0, 0, 0},
        {"", false, 0, 0, 0},
        {"02-29", true, 0, 2, 29},
        {"12-31", true, 0, 12, 31},
        {"01-01", true, 0, 1, 1},
        {"02-30", true, 0, 0, 0},
        {"13-01", true, 0, 0, 0},
        {"00-01", true, 0, 0, 0},
        {"04-31", true, 0, 0, 0},
        {"2-29", true, 0, 0, 0},
        {"02-2x", true, 0, 0, 0},
        {"02/29", true, 0, 0, 0},
        {"02-290", true, 0, 0, 0},
        {"2001-02-28", true, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const std::optional<DateParts> got =
            c.monthDay ? ParseMonthDay(c.text) : ParseIsoDay(c.text);
        if (c.month == 0) {
            EXPECT_FALSE(got.has_value()) << c.text;
            continue;
        }
        ASSERT_TRUE(got.has_value()) << c.text;
        EXPECT_EQ(got->year, c.year) << c.text;
        EXPECT_EQ(got->month, c.month) << c.text;
        EXPECT_EQ(got->day, c.day) << c.text;
        // And written back the same way.
        if (!c.monthDay) {
            EXPECT_EQ(IsoDayText(c.year, c.month, c.day), c.text);
        }
    }
    // A string_view is read to its end only: the byte after it is not part of the day.
    const std::string_view longer = "2001-01-17T00";
    EXPECT_TRUE(ParseIsoDay(longer.substr(0, 10)).has_value());
}

TEST(Calendar, CurrentDateTimeIsLocalTime) {
    // Bracketed with the clock CurrentDateTime reads: std::time() reads a coarser clock that can
    // lag a second behind near a second boundary.
    const auto realSeconds = [] {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return ts.tv_sec;
    };
    const std::time_t before = realSeconds();
    const TDateTime now = CurrentDateTime();
    const std::time_t after = realSeconds();
    std::tm tb{}, ta{};
    localtime_r(&before, &tb);
    localtime_r(&after, &ta);
    const auto value = [](const std::tm& tm) {
        return EncodeDateValue(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
               EncodeTimeValue(tm.tm_hour, tm.tm_min, tm.tm_sec, 0);
    };
    EXPECT_GE(now, value(tb));
    EXPECT_LT(now, value(ta) + 1.0 / 86400);
}

}  // namespace
}  // namespace kuv
