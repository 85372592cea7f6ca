// The date insertion pattern against the C library's strftime for the same text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dates/calendar.h"
#include "dates/date_locale.h"
#include "dates/date_pattern.h"

namespace {

// 2001-01-17 13:05:09.250
constexpr kuv::TDateTime kValue = 36908.54524594908;
const char* const kPattern = "yyyy\"/\"mm\"/\"dd\" (\"aaa\")\"";

void BM_FormatDatePattern(benchmark::State& state) {
    const kuv::DateLocaleTables tables = kuv::JapaneseDateLocale();
    kuv::TDateTime value = kValue;
    for (auto _ : state) {
        std::string text = kuv::FormatDatePattern(kPattern, value, tables);
        benchmark::DoNotOptimize(text);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_FormatDatePattern);

void BM_Strftime(benchmark::State& state) {
    std::tm tm{};
    tm.tm_year = 2001 - 1900;
    tm.tm_mon = 0;
    tm.tm_mday = 17;
    tm.tm_hour = 13;
    tm.tm_min = 5;
    tm.tm_sec = 9;
    tm.tm_wday = 3;
    tm.tm_yday = 16;
    for (auto _ : state) {
        char buf[64];
        const std::size_t n = std::strftime(buf, sizeof buf, "%Y/%m/%d (%a)", &tm);
        std::string text(buf, n);
        benchmark::DoNotOptimize(text);
        benchmark::DoNotOptimize(tm);
    }
}
BENCHMARK(BM_Strftime);

// Prints as usual and keeps the CPU time per iteration of each benchmark (the median when
// repetitions are asked for), which a busy machine disturbs less than the wall time.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const std::string name = r.run_name.function_name;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                medians_[name] = r.GetAdjustedCPUTime();
            } else if (r.run_type == Run::RT_Iteration && r.iterations > 0) {
                samples_[name].push_back(r.GetAdjustedCPUTime());
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::optional<double> Time(const std::string& name) const {
        if (auto m = medians_.find(name); m != medians_.end()) return m->second;
        auto s = samples_.find(name);
        if (s == samples_.end() || s->second.empty()) return std::nullopt;
        std::vector<double> v = s->second;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }

  private:
    std::map<std::string, double> medians_;
    std::map<std::string, std::vector<double>> samples_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto pattern = reporter.Time("BM_FormatDatePattern");
    const auto strftime = reporter.Time("BM_Strftime");
    if (pattern && strftime && *strftime > 0) {
        std::printf("ratio (pattern time / strftime time): %.3f\n", *pattern / *strftime);
        std::printf("target: <= 1.0\n");
    }
    return 0;
}
