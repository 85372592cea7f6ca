#include "platform/text_align.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace kuv::text {

// The greedy shortest-edit search (Myers 1986): round d holds, for every
// diagonal k = x - y in -d..d, the furthest x reached with d edits. Each
// round is kept so that the path can be walked back.
std::optional<std::vector<std::pair<std::size_t, std::size_t>>> KeptCharacters(
    std::u16string_view before, std::u16string_view after, std::size_t maxEdits,
    std::size_t maxSteps) {
    using Index = std::int32_t;
    constexpr auto kLimit = static_cast<std::size_t>(std::numeric_limits<Index>::max() / 2);
    if (before.size() > kLimit || after.size() > kLimit) return std::nullopt;
    const auto n = static_cast<Index>(before.size());
    const auto m = static_cast<Index>(after.size());
    const auto dmax = static_cast<Index>(
        std::min<std::size_t>(maxEdits, static_cast<std::size_t>(n) + static_cast<std::size_t>(m)));

    // v[k + dmax + 1]: the furthest x on diagonal k.
    std::vector<Index> v(static_cast<std::size_t>(2 * dmax + 3), 0);
    const auto at = [&](Index k) -> Index& { return v[static_cast<std::size_t>(k + dmax + 1)]; };
    std::vector<std::vector<Index>> rounds;
    Index found = -1;
    std::size_t steps = 0;
    for (Index d = 0; d <= dmax && found < 0; ++d) {
        for (Index k = -d; k <= d; k += 2) {
            // Down (an insertion) from diagonal k + 1, or right (a deletion) from k - 1.
            Index x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
            Index y = x - k;
            const Index from = x;
            while (x < n && y < m &&
                   before[static_cast<std::size_t>(x)] == after[static_cast<std::size_t>(y)]) {
                ++x;
                ++y;
            }
            steps += static_cast<std::size_t>(x - from) + 1;
            at(k) = x;
            if (x >= n && y >= m) found = d;
        }
        if (found < 0 && steps > maxSteps) return std::nullopt;
        rounds.emplace_back(v.begin() + (dmax + 1 - d), v.begin() + (dmax + 2 + d));
    }
    if (found < 0) return std::nullopt;

    std::vector<std::pair<std::size_t, std::size_t>> kept;
    Index x = n;
    Index y = m;
    const auto slide = [&](Index toX, Index toY) {
        while (x > toX && y > toY) {
            --x;
            --y;
            kept.emplace_back(static_cast<std::size_t>(x), static_cast<std::size_t>(y));
        }
    };
    for (Index d = found; d > 0; --d) {
        const std::vector<Index>& prev = rounds[static_cast<std::size_t>(d - 1)];
        const auto was = [&](Index k) { return prev[static_cast<std::size_t>(k + d - 1)]; };
        const Index k = x - y;
        const bool down = k == -d || (k != d && was(k - 1) < was(k + 1));
        const Index fromK = down ? k + 1 : k - 1;
        const Index fromX = was(fromK);
        const Index edgeX = down ? fromX : fromX + 1;
        slide(edgeX, edgeX - k);
        x = fromX;
        y = fromX - fromK;
    }
    slide(0, 0);
    return std::vector<std::pair<std::size_t, std::size_t>>(kept.rbegin(), kept.rend());
}

}  // namespace kuv::text
