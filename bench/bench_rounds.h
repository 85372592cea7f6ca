#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The timed rounds of the benchmarks that hold a figure against a floor
// measured in the same run: each round's seconds are kept by name, and their
// medians are printed after the run, beside the targets.
namespace kuv::bench {

// Seconds of every timed round, by name.
inline std::map<std::string, std::vector<double>>& Times() {
    static std::map<std::string, std::vector<double>> times;
    return times;
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The wall-clock seconds that f takes.
template <typename F>
double Seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Gives the round its manual time and keeps it under name.
inline void Record(benchmark::State& state, const std::string& name, double seconds) {
    state.SetIterationTime(seconds);
    Times()[name].push_back(seconds);
}

// Registers fn as a benchmark of the given number of rounds, each timed by
// Record, shown in milliseconds.
template <typename F>
void RegisterRounds(const std::string& name, F&& fn, int rounds) {
    benchmark::RegisterBenchmark(name.c_str(), std::forward<F>(fn))
        ->Iterations(rounds)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

// A fresh folder $TMPDIR/prefix-XXXXXX (/tmp without TMPDIR) for the run's
// files; empty when none can be made.
inline std::string MakeScratchFolder(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string templ =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    return ::mkdtemp(templ.data()) != nullptr ? templ : std::string();
}

// Runs the registered benchmarks with the arguments that are left for them;
// false, after Google Benchmark's message, on one it does not know.
inline bool RunBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return false;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return true;
}

}  // namespace kuv::bench
