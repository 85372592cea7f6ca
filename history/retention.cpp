#include "history/retention.h"

#include <ctime>
#include <set>

namespace kuv {

namespace {

// The local calendar day (or month) a time falls on, as one number.
std::int64_t Bucket(std::int64_t seconds, bool monthly) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return seconds;
    const std::int64_t month = std::int64_t{tm.tm_year} * 12 + tm.tm_mon;
    return monthly ? month : month * 32 + tm.tm_mday;
}

}  // namespace

std::vector<bool> RetainedVersions(const std::vector<std::int64_t>& times, std::int64_t now) {
    std::vector<bool> keep(times.size(), false);
    std::set<std::int64_t> days, months;
    for (std::size_t i = 0; i < times.size(); ++i) {
        const std::int64_t age = now - times[i];
        if (age < kKeepAllSeconds) {
            keep[i] = true;
        } else if (age < kKeepDailySeconds) {
            // Newest first: the first of a day is its newest.
            keep[i] = days.insert(Bucket(times[i], false)).second;
        } else {
            keep[i] = months.insert(Bucket(times[i], true)).second;
        }
    }
    return keep;
}

}  // namespace kuv
