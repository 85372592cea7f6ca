#pragma once

#include <cstdint>
#include <vector>

// Which earlier versions of a day stay: every one of the last 7 days, then
// the newest of each calendar day up to 90 days back, then the newest of
// each calendar month. Days and months are local time.
namespace kuv {

inline constexpr std::int64_t kKeepAllSeconds = 7 * 86400;
inline constexpr std::int64_t kKeepDailySeconds = 90 * 86400;

// times are the versions' seconds since 1970, newest first; the result
// tells for each whether it stays. A version from the future (a clock set
// back) stays.
std::vector<bool> RetainedVersions(const std::vector<std::int64_t>& times, std::int64_t now);

}  // namespace kuv
