#pragma once

#include <cstdint>
#include <functional>

namespace kuv {

// How far a long operation has come: done of total steps (files, days,
// pages). Called on the thread that does the work, now and then; returning
// false asks the operation to stop at its next step, leaving nothing half
// written. An empty function neither hears nor stops anything.
using ProgressFn = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// True when the operation may go on.
inline bool KeepGoing(const ProgressFn& progress, std::uint64_t done, std::uint64_t total) {
    return !progress || progress(done, total);
}

}  // namespace kuv
