// Searching the test diary of kuv_make_diary (30 years, some days locked),
// with the file cache warm, each figure against a floor measured in the
// same run:
//   load         read and fold every entry from nothing     target <= 400 ms
//                floor: reading the same files, nothing else
//   query        one query on the loaded diary (median)      target <= 10 ms
//                floor: one memchr pass over the folded copy
//   every year   one day in all 30 years                     target <= 5 ms
//                floor: reading those days' files
//   month marks  the marks of one month                      target <= 1 ms
//                floor: listing the year folder
//   memory       the folded copy against the text            target <= 3
//
// The diary is KUV_BENCH_DIARY when set (written with the default options,
// password "kuvandoro"); otherwise one is written to a scratch folder by the
// kuv_make_diary beside this program and removed at the end.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_rounds.h"
#include "diary/catalog.h"
#include "diary/every_year.h"
#include "diary/search.h"
#include "platform/cp932.h"
#include "platform/fileio.h"

namespace {

using kuv::bench::Median;
using kuv::bench::Times;

const std::string kPassword = "kuvandoro";
constexpr int kMonth = 7, kDay = 17;  // the every-year day

struct Diary {
    std::string path;
    std::string scratch;  // to remove at the end, when written here
    int lastYear = 0;
};

Diary& TheDiary() {
    static Diary diary = [] {
        Diary d;
        if (const char* given = std::getenv("KUV_BENCH_DIARY"); given != nullptr && *given) {
            d.path = given;
        } else {
            char templ[] = "/tmp/kuv-bench-search-XXXXXX";
            if (::mkdtemp(templ) == nullptr) {
                std::perror("mkdtemp");
                std::exit(1);
            }
            d.scratch = templ;
            d.path = d.scratch;
            d.path += "/diary";
            // Built by appending: GCC 12 misreads a chain of + as overlapping copies.
            std::string cmd = "'";
            cmd += kuv::fsio::ExecutableDir();
            cmd += "/kuv_make_diary' --out '";
            cmd += d.path;
            cmd += "' >/dev/null";
            if (std::system(cmd.c_str()) != 0) {
                std::fprintf(stderr, "bench_search: kuv_make_diary failed\n");
                std::exit(1);
            }
        }
        const std::vector<int> years = kuv::ListYears(d.path);
        if (years.empty()) {
            std::fprintf(stderr, "bench_search: no diary in %s\n", d.path.c_str());
            std::exit(1);
        }
        d.lastYear = years.back();
        return d;
    }();
    return diary;
}

double ThreadCpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The wall-clock time of f, and (recorded under name + " cpu") the processor
// time of this thread: on a machine that other work keeps busy, the second
// is what the first would be on an idle one.
struct Timing {
    double wall = 0, cpu = 0;
};

template <typename F>
Timing Seconds(F&& f) {
    const double cpu = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    f();
    const auto end = std::chrono::steady_clock::now();
    return Timing{std::chrono::duration<double>(end - start).count(), ThreadCpuSeconds() - cpu};
}

void Record(benchmark::State& state, const std::string& name, Timing t) {
    state.SetIterationTime(t.wall);
    Times()[name].push_back(t.wall);
    Times()[name + " cpu"].push_back(t.cpu);
}

// The loaded diary that the queries run on.
kuv::SearchCorpus& Loaded() {
    static std::unique_ptr<kuv::SearchCorpus> corpus = [] {
        auto c = std::make_unique<kuv::SearchCorpus>(TheDiary().path);
        c->Refresh(kPassword);
        return c;
    }();
    return *corpus;
}

void BM_ReadFilesFloor(benchmark::State& state) {
    const std::string& path = TheDiary().path;
    for (auto _ : state) {
        std::size_t bytes = 0;
        Record(state, "load floor", Seconds([&] {
                   std::string text;
                   for (const kuv::EntryDay& d : kuv::ListAllEntries(path)) {
                       char name[32];
                       std::snprintf(name, sizeof name, "/%04d/%02d%02d.%s", d.year, d.month, d.day,
                                     d.plain ? "dia" : "xda");
                       kuv::fsio::ReadFileOnce(path + name, text, std::size_t{64} << 20);
                       bytes += text.size();
                   }
               }));
        benchmark::DoNotOptimize(bytes);
    }
}

void BM_LoadFromNothing(benchmark::State& state) {
    for (auto _ : state) {
        kuv::SearchCorpus corpus(TheDiary().path);
        bool done = false;
        Record(state, "load", Seconds([&] { done = corpus.Refresh(kPassword); }));
        if (!done) state.SkipWithError("refresh failed");
    }
}

void BM_RefreshUnchanged(benchmark::State& state) {
    kuv::SearchCorpus& corpus = Loaded();
    for (auto _ : state) Record(state, "refresh", Seconds([&] { corpus.Refresh(kPassword); }));
}

const char* const kQueries[] = {
    "東京",       // a common two-character word
    "雨花",       // a rare one
    "ｶﾞｿﾘﾝ",      // half-width, folded to full-width
    "ねこ 公園",  // two terms
    "図書館 旅行 映画",
    "todo",
    "東京タワー",  // found nowhere
};

void BM_MemchrFloor(benchmark::State& state) {
    // As many bytes as the folded copy holds pass memchr once, in one block.
    const std::string block(Loaded().Stats().foldedBytes, 'x');
    for (auto _ : state) {
        const void* hit = nullptr;
        Record(state, "query floor",
               Seconds([&] { hit = std::memchr(block.data(), '\x01', block.size()); }));
        benchmark::DoNotOptimize(hit);
    }
}

void BM_Query(benchmark::State& state) {
    const char* text = kQueries[state.range(0)];
    const kuv::SearchQuery query = kuv::ParseQuery(*kuv::cp932::FromUtf8(text));
    kuv::SearchCorpus& corpus = Loaded();
    std::size_t found = 0;
    for (auto _ : state) {
        Record(state, std::string("query ") + text,
               Seconds([&] { found = corpus.Search(query).matches.size(); }));
    }
    state.counters["found"] = static_cast<double>(found);
    state.SetLabel(text);
}

void BM_EveryYearFloor(benchmark::State& state) {
    const std::string& path = TheDiary().path;
    for (auto _ : state) {
        std::size_t bytes = 0;
        Record(state, "every year floor", Seconds([&] {
                   std::string text;
                   for (int y : kuv::ListYears(path)) {
                       char name[32];
                       for (const char* ext : {"dia", "xda"}) {
                           std::snprintf(name, sizeof name, "/%04d/%02d%02d.%s", y, kMonth, kDay,
                                         ext);
                           if (kuv::fsio::ReadFileOnce(path + name, text, std::size_t{64} << 20) ==
                               kuv::fsio::ReadStatus::Ok) {
                               bytes += text.size();
                               break;
                           }
                       }
                   }
               }));
        benchmark::DoNotOptimize(bytes);
    }
}

void BM_EveryYear(benchmark::State& state) {
    std::size_t listed = 0;
    for (auto _ : state) {
        Record(state, "every year", Seconds([&] {
                   listed =
                       kuv::ListEveryYear(TheDiary().path, kMonth, kDay, kPassword).entries.size();
               }));
    }
    state.counters["years"] = static_cast<double>(listed);
}

void BM_MarkMonthFloor(benchmark::State& state) {
    char year[8];
    std::snprintf(year, sizeof year, "/%04d", TheDiary().lastYear);
    const std::string folder = TheDiary().path + year;
    std::vector<kuv::fsio::DirEntry> names;
    for (auto _ : state) {
        Record(state, "marks floor", Seconds([&] { kuv::fsio::ListDirectory(folder, names); }));
    }
}

void BM_MarkMonth(benchmark::State& state) {
    kuv::MonthMarks marks;
    for (auto _ : state) {
        Record(state, "marks", Seconds([&] {
                   marks = kuv::MarkMonth(TheDiary().path, TheDiary().lastYear, kMonth);
               }));
    }
    state.counters["days"] = static_cast<double>(marks.written.count());
}

// Floors first: the first one also warms the file cache.
BENCHMARK(BM_ReadFilesFloor)->Iterations(6)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFromNothing)->Iterations(6)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshUnchanged)->Iterations(6)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemchrFloor)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Query)
    ->DenseRange(0, std::size(kQueries) - 1)
    ->Iterations(50)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EveryYearFloor)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EveryYear)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MarkMonthFloor)->Iterations(500)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MarkMonth)->Iterations(500)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The resident memory of this process, from /proc.
double ResidentMB() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (f == nullptr) return 0;
    const int n = std::fscanf(f, "%ld %ld", &pages, &resident);
    std::fclose(f);
    return n == 2
               ? static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1e6
               : 0;
}

double Ms(const std::string& name) {
    return Median(Times()[name]) * 1e3;
}

// One figure: wall-clock and processor-time medians, the floor's, and the
// ratios to the floor.
void Line(const std::string& what, const std::string& name, const std::string& floor,
          const char* target) {
    const double wall = Ms(name), cpu = Ms(name + " cpu");
    const double floorWall = Ms(floor), floorCpu = Ms(floor + " cpu");
    std::printf(
        "  %-24s %9.3f ms (cpu %8.3f)  floor %8.3f ms (cpu %8.3f)  ratio %5.2f (cpu %5.2f)"
        "  target: %s\n",
        what.c_str(), wall, cpu, floorWall, floorCpu, floorWall > 0 ? wall / floorWall : 0,
        floorCpu > 0 ? cpu / floorCpu : 0, target);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TheDiary();
    // The loaded diary's cost in resident memory, before anything else grows.
    const double before = ResidentMB();
    Loaded();
    const double resident = ResidentMB() - before;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\nmedians, warm file cache, %s:\n", TheDiary().path.c_str());
    Line("load from nothing", "load", "load floor", "<= 400 ms");
    Line("refresh, nothing changed", "refresh", "load floor", "(none)");
    std::string slowest;
    for (const char* q : kQueries) {
        const std::string name = std::string("query ") + q;
        if (slowest.empty() || Ms(name) > Ms(slowest)) slowest = name;
        Line(name, name, "query floor", "<= 10 ms");
    }
    Line("slowest query", slowest, "query floor", "<= 10 ms");
    Line("every year (30 years)", "every year", "every year floor", "<= 5 ms");
    Line("month marks", "marks", "marks floor", "<= 1 ms");

    const kuv::CorpusStats s = Loaded().Stats();
    const double text = static_cast<double>(s.textBytes);
    std::printf(
        "  memory: %zu entries, text %.1f MB, folded copy %.1f MB (%.2f x text, target: "
        "<= 3), everything held %.1f MB (%.2f x text)\n",
        s.entries, text / 1e6, static_cast<double>(s.foldedBytes) / 1e6,
        static_cast<double>(s.foldedBytes) / text, static_cast<double>(s.memoryBytes) / 1e6,
        static_cast<double>(s.memoryBytes) / text);
    std::printf("  resident memory of the loaded diary: %.1f MB (%.2f x text)\n", resident,
                resident * 1e6 / text);
    if (!TheDiary().scratch.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(TheDiary().scratch, ec);
    }
    return 0;
}
