#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

// Reading many entries on every core: the work is cut into batches of days
// that the threads take in turn, so that they end together however the
// entries' sizes vary.
namespace kuv {

// Threads for reading entries: as many as the machine has, at most four
// (more only wait on the disk).
inline unsigned ReadingThreads() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

// Calls work(begin, end) for consecutive batches of [0, count) on up to
// threads threads (0: ReadingThreads()), this one among them, and returns
// when all are done. work must be safe to run on several threads at once.
template <class Work>
void ForEachBatch(std::size_t count, std::size_t batch, unsigned threads, const Work& work) {
    if (threads == 0) threads = ReadingThreads();
    batch = std::max<std::size_t>(batch, 1);
    threads = static_cast<unsigned>(
        std::max<std::size_t>(1, std::min<std::size_t>(threads, (count + batch - 1) / batch)));
    std::atomic<std::size_t> next{0};
    const auto run = [&] {
        for (;;) {
            const std::size_t begin = next.fetch_add(batch);
            if (begin >= count) return;
            work(begin, std::min(count, begin + batch));
        }
    };
    std::vector<std::jthread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(run);
    run();
}

}  // namespace kuv
