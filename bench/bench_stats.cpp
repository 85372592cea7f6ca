// The diary's statistics on a test diary of kuv_make_diary (30 years, some
// days locked), with the file cache warm, each figure against a floor
// measured in the same run:
//   first heatmap   days and sizes from the folder listings   target <= 50 ms
//                   floor: listing the year folders alone
//   from the text   every entry read and counted              target <= 1 x floor
//                   floor: loading the window's search corpus from nothing
//
// usage: bench_stats --diary=DIR [--password=P] [benchmark options]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_rounds.h"
#include "diary/catalog.h"
#include "diary/diary_stats.h"
#include "diary/search.h"

namespace {

using kuv::bench::Median;
using kuv::bench::Record;
using kuv::bench::RegisterRounds;
using kuv::bench::Seconds;
using kuv::bench::Times;

std::string diary;
std::string password = "kuvandoro";

double Ms(const std::string& name) {
    return Median(Times()[name]) * 1e3;
}

void Line(const char* what, const std::string& name, const std::string& floor, const char* target) {
    const double ms = Ms(name), floorMs = Ms(floor);
    std::printf("  %-16s %9.2f ms   floor %9.2f ms   ratio %5.2f   target: %s\n", what, ms, floorMs,
                floorMs > 0 ? ms / floorMs : 0, target);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--diary=", 8) == 0) {
            diary = argv[i] + 8;
        } else if (std::strncmp(argv[i], "--password=", 11) == 0) {
            password = argv[i] + 11;
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (diary.empty()) {
        std::fprintf(stderr, "usage: %s --diary=DIR [--password=P]\n", argv[0]);
        return 2;
    }
    int n = static_cast<int>(rest.size());
    benchmark::Initialize(&n, rest.data());

    int days = 0;
    // Floors first: the first one also warms the file cache.
    RegisterRounds(
        "ListingFloor",
        [](benchmark::State& state) {
            for (auto _ : state) {
                std::size_t listed = 0;
                Record(state, "listing",
                       Seconds([&] { listed = kuv::ListAllEntries(diary).size(); }));
                benchmark::DoNotOptimize(listed);
            }
        },
        20);
    RegisterRounds(
        "FirstHeatmap",
        [&days](benchmark::State& state) {
            for (auto _ : state) {
                Record(state, "heatmap", Seconds([&] {
                           days = kuv::Summarise(kuv::CountDaysFromSizes(diary), 2024, 12, 31).days;
                       }));
            }
        },
        20);
    RegisterRounds(
        "CorpusLoadFloor",
        [](benchmark::State& state) {
            for (auto _ : state) {
                kuv::SearchCorpus corpus(diary);
                Record(state, "corpus", Seconds([&] { corpus.Refresh(password); }));
            }
        },
        6);
    RegisterRounds(
        "FromText",
        [&days](benchmark::State& state) {
            for (auto _ : state) {
                Record(state, "text", Seconds([&] {
                           days =
                               kuv::Summarise(kuv::CountDaysFromText(diary, password), 2024, 12, 31)
                                   .days;
                       }));
            }
        },
        6);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\nmedians, warm file cache, %s (%d days written):\n", diary.c_str(), days);
    Line("first heatmap", "heatmap", "listing", "<= 50 ms");
    Line("from the text", "text", "corpus", "ratio <= 1");
    return 0;
}
