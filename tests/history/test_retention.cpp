#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "history/retention.h"

namespace kuv {
namespace {

constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 24 * kHour;

// 2026-12-09 12:00 in Tokyo, where the tests run.
std::int64_t Now() {
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 11;
    tm.tm_mday = 9;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

TEST(Retention, KeepsAllRecentThenOnePerDayThenOnePerMonth) {
    struct Case {
        const char* what;
        std::vector<std::int64_t> ages;  // seconds before now, newest first
        std::vector<bool> kept;
    };
    const Case cases[] = {
        {"all of the last week", {0, kHour, 3 * kDay, 7 * kDay - 1}, {true, true, true, true}},
        {"a clock set back", {-kDay, 0}, {true, true}},
        {"two of one day past a week", {10 * kDay, 10 * kDay + kHour}, {true, false}},
        {"two days past a week", {10 * kDay, 11 * kDay}, {true, true}},
        {"the week's end is no day's end",
         {7 * kDay - kHour, 7 * kDay + kHour, 7 * kDay + 2 * kHour},
         {true, true, false}},
        {"last of the daily ones", {89 * kDay, 89 * kDay + kHour}, {true, false}},
        {"one per month past 90 days",
         {100 * kDay, 101 * kDay, 102 * kDay, 140 * kDay},
         {true, false, false, true}},
        {"years back", {400 * kDay, 401 * kDay, 800 * kDay}, {true, false, true}},
        {"none", {}, {}},
    };
    const std::int64_t now = Now();
    for (const Case& c : cases) {
        std::vector<std::int64_t> times;
        for (const std::int64_t age : c.ages) times.push_back(now - age);
        EXPECT_EQ(RetainedVersions(times, now), c.kept) << c.what;
    }
}

}  // namespace
}  // namespace kuv
