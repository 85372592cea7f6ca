// Drafts and earlier versions, each against a figure of the same run:
//   draft write of a 4 KiB entry (plain and sealed)   target: < 1 ms,
//     beside a plain work-file write of the same bytes
//   the history of a 30-year diary after 20 edits a day for the last year,
//     thinned by the retention rules                 target: < 1.5 x the diary on disk
//   listing the versions of one day                  target: < 10 ms, and
//     the tool's `history` of that day beside its `--version` (the process alone)
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_rounds.h"
#include "drafts/draft_store.h"
#include "history/entry_history.h"
#include "platform/fileio.h"

namespace {

using kuv::bench::Median;
using kuv::bench::Record;
using kuv::bench::Seconds;
using kuv::bench::Times;

constexpr int kYears = 30;
constexpr int kEditsPerDay = 20;
constexpr int kFirstYear = 1997;

std::string g_scratch;

// Code page 932 text of about n bytes: kana and kanji rows with line breaks,
// as a diary holds.
std::string DiaryText(std::mt19937& rng, std::size_t n) {
    std::string text;
    std::uniform_int_distribution<int> lead(0x88, 0x9f), trail(0x40, 0x7e), line(20, 60);
    while (text.size() < n) {
        for (int i = line(rng); i > 0; --i) {
            text += static_cast<char>(lead(rng));
            text += static_cast<char>(trail(rng));
        }
        text += "\r\n";
    }
    return text;
}

// Bytes a folder takes on disk, in blocks.
std::uint64_t DiskBytes(const std::string& folder) {
    std::uint64_t bytes = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder, ec)) {
        struct stat st {};
        if (::lstat(e.path().c_str(), &st) == 0)
            bytes += static_cast<std::uint64_t>(st.st_blocks) * 512;
    }
    return bytes;
}

void BM_DraftWrite(benchmark::State& state) {
    const bool sealed = state.range(0) != 0;
    std::mt19937 rng(7);
    kuv::Draft draft;
    draft.dataPath = g_scratch + "/data";
    draft.year = 2026;
    draft.month = 12;
    draft.day = 8;
    draft.utf8 = DiaryText(rng, 4096).substr(0, 4096);
    for (auto _ : state) {
        bool ok = false;
        Record(state, sealed ? "draft sealed" : "draft",
               Seconds([&] { ok = kuv::WriteDraft(g_scratch + "/state", draft, sealed, "pw"); }));
        if (!ok) state.SkipWithError("draft not written");
    }
}

void BM_PlainWrite(benchmark::State& state) {
    std::mt19937 rng(7);
    const std::string bytes = DiaryText(rng, 4096).substr(0, 4096);
    const std::string path = g_scratch + "/plain.txt";
    for (auto _ : state) {
        bool ok = false;
        Record(state, "plain write",
               Seconds([&] { ok = kuv::fsio::WriteFileAtomic(path, bytes, path + ".$$$"); }));
        if (!ok) state.SkipWithError("file not written");
    }
}

BENCHMARK(BM_PlainWrite)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DraftWrite)->Arg(0)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DraftWrite)->Arg(1)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The diary and its history: every day of 30 years holds an entry; each day
// of the last year was edited 20 times on that day, every edit keeping the
// text before it. Returns the history folder.
std::string SimulateHistory(std::uint64_t& diaryBytes, std::uint64_t& historyBytes,
                            std::string& lastDay) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> size(300, 1500);
    const std::string data = g_scratch + "/data";
    // Where the tool looks for it, under XDG_DATA_HOME.
    const std::string history = kuv::DiaryHistoryFolder(*kuv::UserHistoryRoot(), data);
    std::tm tm{};
    tm.tm_year = kFirstYear - 1900;
    tm.tm_mon = 0;
    tm.tm_mday = 1;
    tm.tm_hour = 9;
    tm.tm_isdst = -1;
    const std::time_t first = std::mktime(&tm);
    const int days = kYears * 365;
    const std::time_t end = first + static_cast<std::time_t>(days) * 86400;
    for (int i = 0; i < days; ++i) {
        const std::time_t t = first + static_cast<std::time_t>(i) * 86400;
        std::tm day{};
        localtime_r(&t, &day);
        char year[24], name[24];
        std::snprintf(year, sizeof year, "%04d", day.tm_year + 1900);
        std::snprintf(name, sizeof name, "%02d%02d", day.tm_mon + 1, day.tm_mday);
        std::string text = DiaryText(rng, static_cast<std::size_t>(size(rng)));
        if (i >= days - 365) {
            for (int edit = 0; edit < kEditsPerDay; ++edit) {
                const std::time_t when = t + edit * 1800;
                kuv::KeepEntryVersion(history, year, name, text, false, when, when);
                text += DiaryText(rng, 40);
            }
        }
        // The diary itself is only measured: written without a flush each.
        kuv::fsio::MakeDirectories(data + "/" + year);
        std::FILE* out = std::fopen((data + "/" + year + "/" + name + ".dia").c_str(), "wb");
        if (out != nullptr) {
            std::fwrite(text.data(), 1, text.size(), out);
            std::fclose(out);
        }
        if (i == days - 1) lastDay = std::string(year) + "/" + name;
    }
    kuv::PruneDiaryHistory(history, end);
    diaryBytes = DiskBytes(data);
    historyBytes = DiskBytes(history);
    return history;
}

}  // namespace

int main(int argc, char** argv) {
    g_scratch = kuv::bench::MakeScratchFolder("kuv-bench-keeping");
    if (g_scratch.empty()) {
        std::perror("mkdtemp");
        return 1;
    }
    ::setenv("XDG_DATA_HOME", (g_scratch + "/share").c_str(), 1);
    if (!kuv::bench::RunBenchmarks(argc, argv)) return 1;

    std::printf("\nmedian of each round, a 4 KiB text:\n");
    for (const char* name : {"plain write", "draft", "draft sealed"}) {
        std::printf("  %-13s %8.3f ms\n", name, Median(Times()[name]) * 1e3);
    }
    std::printf("target: draft < 1 ms\n");

    std::uint64_t diary = 0, kept = 0;
    std::string lastDay;  // yyyy/mmdd
    const std::string history = SimulateHistory(diary, kept, lastDay);
    std::printf("\n30-year diary, 20 edits a day for the last year:\n");
    std::printf("  diary   %10.1f KiB on disk\n", static_cast<double>(diary) / 1024);
    std::printf("  history %10.1f KiB on disk   ratio %.2f\n", static_cast<double>(kept) / 1024,
                static_cast<double>(kept) / static_cast<double>(diary));
    std::printf("target: <= 1.5\n");

    // The last day of the simulation keeps all its versions (under a week old).
    std::vector<double> rounds;
    for (int i = 0; i < 50; ++i) {
        kuv::VersionList list;
        rounds.push_back(Seconds([&] {
            list = kuv::ListEntryVersions(history, lastDay.substr(0, 4), lastDay.substr(5));
        }));
        if (list.versions.empty()) {
            std::printf("no versions listed\n");
            break;
        }
    }
    std::printf("\nlisting one day's versions: %.3f ms   target: < 10 ms\n", Median(rounds) * 1e3);

    const std::string cli = kuv::fsio::ExecutableDir() + "/kuvandoro-cli";
    const std::string day =
        lastDay.substr(0, 4) + "-" + lastDay.substr(5, 2) + "-" + lastDay.substr(7, 2);
    const std::string listing =
        "'" + cli + "' history --data '" + g_scratch + "/data' " + day + " > /dev/null";
    const std::string bare = "'" + cli + "' --version > /dev/null";
    std::vector<double> tool, floor;
    for (int i = 0; i < 20; ++i) {
        int rc = 0;
        tool.push_back(Seconds([&] { rc |= std::system(listing.c_str()); }));
        floor.push_back(Seconds([&] { rc |= std::system(bare.c_str()); }));
        if (rc != 0) {
            std::printf("the tool failed: %s\n", listing.c_str());
            break;
        }
    }
    std::printf(
        "kuvandoro-cli history: %.2f ms, --version: %.2f ms, difference %.2f ms"
        "   target: < 10 ms\n",
        Median(tool) * 1e3, Median(floor) * 1e3, (Median(tool) - Median(floor)) * 1e3);

    std::error_code ec;
    std::filesystem::remove_all(g_scratch, ec);
    return 0;
}
