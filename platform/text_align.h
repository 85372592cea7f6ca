#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

// Which characters of an edited text are the characters of the text it was
// made from: the pairs of a shortest edit between the two.
namespace kuv::text {

// Index pairs (in before, in after) of the characters that a shortest edit
// from before to after leaves in place, in ascending order. Nothing when that
// edit takes more than maxEdits insertions and deletions (the memory grows
// with their square) or the search more than maxSteps character steps.
std::optional<std::vector<std::pair<std::size_t, std::size_t>>> KeptCharacters(
    std::u16string_view before, std::u16string_view after, std::size_t maxEdits,
    std::size_t maxSteps);

}  // namespace kuv::text
