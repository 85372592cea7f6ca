// One day step of the diary core: the changed 4 KiB entry of the day being
// left is saved (work file, flush, rename), then both panes of the next day
// are loaded. The two days alternate, so every step writes a real entry and
// reads one back. The checked variant adds what guards against other
// writers: the look for a change on disk before the save, and the versions
// of the saved entry and of the loaded one.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/settings.h"
#include "dates/calendar.h"
#include "diary/diary_book.h"
#include "diary/entry_version.h"

namespace {

class ScratchFolder {
  public:
    ScratchFolder() {
        char pattern[] = "/tmp/kuv-bench-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) path_ = pattern;
    }
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

void DayStep(benchmark::State& state, bool locked, bool checked) {
    ScratchFolder dir;
    if (dir.path().empty()) {
        state.SkipWithError("no scratch folder");
        return;
    }
    kuv::TDiarySettings settings;
    settings.DataPath = dir.path();
    settings.UseEncryption = locked;
    settings.Password = "password";
    kuv::DiaryBook book(settings);

    const kuv::TDateTime days[2] = {kuv::EncodeDateValue(2001, 1, 17) + 0.5,
                                    kuv::EncodeDateValue(2001, 1, 18) + 0.5};
    const std::string texts[2] = {EntryText('a'), EntryText('A')};
    // Both days and last year's entries exist, so every load reads two files.
    for (int i = 0; i < 2; ++i) {
        kuv::SaveEntry(kuv::YearFolder(dir.path(), days[i]), kuv::EntryName(days[i]), texts[i],
                       locked, settings.Password);
        kuv::SaveEntry(kuv::YearFolder(dir.path(), days[i] - 365), kuv::EntryName(days[i]),
                       texts[1 - i], locked, settings.Password);
    }
    book.LoadDiary(days[0], days[0]);
    kuv::EntryVersion version =
        kuv::CaptureEntryVersion(kuv::YearFolder(dir.path(), days[0]), kuv::EntryName(days[0]));

    std::size_t step = 0;
    for (auto _ : state) {
        const kuv::TDateTime from = days[step % 2];
        const kuv::TDateTime to = days[(step + 1) % 2];
        const std::string& text = texts[(step / 2) % 2];
        book.MarkChanged();
        if (checked) {
            const std::string folder = kuv::YearFolder(dir.path(), from);
            const std::string name = kuv::EntryName(from);
            if (kuv::EntryChangedSince(version, folder, name) != kuv::EntryChange::None) {
                state.SkipWithError("a change on disk that nobody made");
                return;
            }
            book.SaveDiary(from, text);
            version = kuv::VersionAfterSave(folder, name, text, settings.Password);
            // The load as LoadPaneVersioned does it: a capture on either side.
            const std::string toFolder = kuv::YearFolder(dir.path(), to);
            const std::string toName = kuv::EntryName(to);
            version = kuv::CaptureEntryVersion(toFolder, toName);
            auto loaded = book.LoadDiary(to, to);
            benchmark::DoNotOptimize(loaded);
            const kuv::EntryVersion after = kuv::CaptureEntryVersion(toFolder, toName);
            benchmark::DoNotOptimize(kuv::CompareEntryVersions(version, after));
        } else {
            book.SaveDiary(from, text);
            auto loaded = book.LoadDiary(to, to);
            benchmark::DoNotOptimize(loaded);
        }
        ++step;
    }
}

void BM_DayStep(benchmark::State& state) {
    DayStep(state, false, false);
}
void BM_DayStepLocked(benchmark::State& state) {
    DayStep(state, true, false);
}
void BM_DayStepChecked(benchmark::State& state) {
    DayStep(state, false, true);
}
void BM_DayStepLockedChecked(benchmark::State& state) {
    DayStep(state, true, true);
}

// The look for a change on disk alone, on a 4 KiB entry: what the checked
// step adds before its save.
void BM_ChangeCheck(benchmark::State& state) {
    ScratchFolder dir;
    if (dir.path().empty()) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const kuv::TDateTime day = kuv::EncodeDateValue(2001, 1, 17);
    const std::string folder = kuv::YearFolder(dir.path(), day);
    const std::string name = kuv::EntryName(day);
    kuv::SaveEntry(folder, name, EntryText('a'), false, "");
    const kuv::EntryVersion version = kuv::CaptureEntryVersion(folder, name);
    for (auto _ : state) {
        benchmark::DoNotOptimize(kuv::EntryChangedSince(version, folder, name));
    }
}

BENCHMARK(BM_DayStep)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_DayStepLocked)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DayStepChecked)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DayStepLockedChecked)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ChangeCheck)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::puts("BM_DayStep target: < 1 ms (median), with and without the change check");
    return 0;
}
