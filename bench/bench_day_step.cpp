// One day step of the diary core: the changed 4 KiB entry of the day being
// left is saved (work file, flush, rename), then both panes of the next day
// are loaded. The two days alternate, so every step writes a real entry and
// reads one back.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/settings.h"
#include "bench/bench_rounds.h"
#include "dates/calendar.h"
#include "diary/diary_book.h"
#include "diary/session.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"

namespace {

class ScratchFolder {
  public:
    ScratchFolder() { path_ = kuv::bench::MakeScratchFolder("kuv-bench"); }
    ~ScratchFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

std::string EntryText(char seed) {
    std::string text;
    while (text.size() < 4096) {
        for (int i = 0; i < 62 && text.size() < 4094; ++i) text += static_cast<char>(seed + i % 20);
        text += "\r\n";
    }
    return text.substr(0, 4096);
}

class Pane final : public kuv::UpperPane {
  public:
    std::u16string text;
    std::u16string Text() const override { return text; }
};

enum class Lock { None, Windows, Strong };

void DayStep(benchmark::State& state, Lock how) {
    const bool locked = how == Lock::Windows;
    ScratchFolder dir;
    if (dir.path().empty()) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const kuv::AppPaths paths = kuv::FixedAppPaths(dir.path() + "/app");
    // Every save keeps the text it replaces: on the scratch folder's disk, as
    // the diary itself.
    ::setenv("XDG_DATA_HOME", (dir.path() + "/share").c_str(), 1);
    kuv::TDiarySettings settings = kuv::DefaultSettings(paths);
    settings.DataPath = dir.path();
    settings.UseEncryption = locked;
    settings.Password = "password";
    if (how == Lock::Strong) {
        // The key's derivation is the unlock's cost, not the step's: light work.
        kuv::lock::KeyFile file;
        kuv::lock::DiaryKey key;
        std::string code;
        kuv::lock::NewKeyFile("password", {1, 8192}, file, key.key, code);
        key.id = file.keyId;
        kuv::lock::StoreKeyFile(dir.path(), file);
        kuv::lock::RememberKey(dir.path(), std::move(key));
    }
    kuv::DiarySession session(paths, settings);
    Pane pane;
    session.SetUpperPane(&pane);

    const kuv::TDateTime days[2] = {kuv::EncodeDateValue(2001, 1, 17) + 0.5,
                                    kuv::EncodeDateValue(2001, 1, 18) + 0.5};
    const std::string texts[2] = {EntryText('a'), EntryText('A')};
    const std::u16string typed[2] = {kuv::cp932::ToUtf16(texts[0]), kuv::cp932::ToUtf16(texts[1])};
    // Both days and last year's entries exist, so every load reads two files.
    for (int i = 0; i < 2; ++i) {
        kuv::SaveEntry(kuv::YearFolder(dir.path(), days[i]), kuv::EntryName(days[i]), texts[i],
                       locked, settings.Password);
        kuv::SaveEntry(kuv::YearFolder(dir.path(), days[i] - 365), kuv::EntryName(days[i]),
                       texts[1 - i], locked, settings.Password);
    }
    session.SetClock([&days] { return days[0]; });
    session.Open();

    // Every step saves a changed entry of 4 KiB, then loads both panes.
    std::size_t step = 0;
    for (auto _ : state) {
        pane.text = typed[(step / 2) % 2];
        session.UpperChanged();
        session.StepDays(step % 2 == 0 ? 1 : -1);
        benchmark::DoNotOptimize(session.Upper());
        ++step;
    }
}

void BM_DayStep(benchmark::State& state) {
    DayStep(state, Lock::None);
}
void BM_DayStepLocked(benchmark::State& state) {
    DayStep(state, Lock::Windows);
}
void BM_DayStepStrong(benchmark::State& state) {
    DayStep(state, Lock::Strong);
}

BENCHMARK(BM_DayStep)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_DayStepLocked)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DayStepStrong)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    if (!kuv::bench::RunBenchmarks(argc, argv)) return 1;
    std::puts("BM_DayStep target: < 1 ms (median)");
    return 0;
}
