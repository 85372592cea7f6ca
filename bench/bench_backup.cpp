// A backup of a diary (the data folder and the settings file) against
// "tar czf" of the same folders, and its restore against "tar xzf", in one
// run. Targets: backup <= 1.5 times tar czf, restore <= 2 times tar xzf.
// usage: bench_backup --diary=DIR [benchmark options]
//   DIR is a diary folder (bench/run.sh makes the 30-year one); it is only read.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "backup/backup.h"
#include "bench/bench_rounds.h"

namespace {

namespace fs = std::filesystem;
using kuv::bench::Median;
using kuv::bench::Record;
using kuv::bench::Seconds;
using kuv::bench::Times;

std::string g_diary, g_scratch;

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

// The settings file that goes with the diary, as the program keeps it.
std::string SettingsFile() {
    return g_scratch + "/app/diary.ini";
}

void BM_TarCzf(benchmark::State& state) {
    const fs::path diary(g_diary);
    const std::string cmd = "tar czf " + Quote(g_scratch + "/tar.tar.gz") + " -C " +
                            Quote(diary.parent_path().string()) + " " +
                            Quote(diary.filename().string()) + " -C " + Quote(g_scratch + "/app") +
                            " diary.ini";
    for (auto _ : state) {
        int rc = 0;
        Record(state, "tar czf", Seconds([&] { rc = std::system(cmd.c_str()); }));
        if (rc != 0) state.SkipWithError("tar czf failed");
    }
}

void BM_Backup(benchmark::State& state) {
    const kuv::BackupSources sources{g_diary, SettingsFile(), {}};
    for (auto _ : state) {
        kuv::BackupResult r;
        Record(state, "backup",
               Seconds([&] { r = kuv::CreateBackup(sources, g_scratch + "/backup.tar.gz"); }));
        if (r.status != kuv::BackupStatus::Done) state.SkipWithError("backup failed");
        state.counters["files"] = static_cast<double>(r.files);
    }
}

// tar xzf and the restore take turns, each into a folder that the round
// before emptied: unpacking is mostly the file system's creating of files,
// whose cost follows what was deleted just before, so both must meet the
// same state.
void BM_RestoreAgainstTar(benchmark::State& state) {
    const std::string tarInto = g_scratch + "/tar-out";
    const std::string cmd = "tar xzf " + Quote(g_scratch + "/tar.tar.gz") + " -C " + Quote(tarInto);
    const std::string into = g_scratch + "/restored";
    const kuv::RestoreTarget target{into + "/data", into + "/diary.ini", {}};
    for (auto _ : state) {
        fs::remove_all(tarInto);
        fs::remove_all(into);
        fs::create_directory(tarInto);
        // A diary in place, as a restore finds one.
        fs::create_directories(into + "/data");
        int rc = 0;
        Record(state, "tar xzf", Seconds([&] { rc = std::system(cmd.c_str()); }));
        if (rc != 0) state.SkipWithError("tar xzf failed");
        fs::remove_all(tarInto);
        kuv::RestoreResult r;
        Record(state, "restore",
               Seconds([&] { r = kuv::RestoreBackup(g_scratch + "/backup.tar.gz", target); }));
        if (r.status != kuv::RestoreStatus::Done) state.SkipWithError("restore failed");
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--diary=", 8) == 0) {
            g_diary = argv[i] + 8;
        } else {
            rest.push_back(argv[i]);
        }
    }
    while (g_diary.size() > 1 && g_diary.back() == '/') g_diary.pop_back();
    if (g_diary.empty() || !fs::is_directory(g_diary)) {
        std::fprintf(stderr, "usage: %s --diary=DIR\n", argv[0]);
        return 2;
    }
    g_scratch = kuv::bench::MakeScratchFolder("kuv-bench-backup");
    if (g_scratch.empty()) return 1;
    fs::create_directory(g_scratch + "/app");
    {
        // A settings file of the usual size; its bytes do not matter here.
        std::FILE* f = std::fopen(SettingsFile().c_str(), "wb");
        const std::string ini(600, 'x');
        if (f == nullptr || std::fwrite(ini.data(), 1, ini.size(), f) != ini.size()) return 1;
        std::fclose(f);
    }

    // Each pair in turn, so that both sides of a ratio see the same machine.
    kuv::bench::RegisterRounds("BM_TarCzf", BM_TarCzf, 5);
    kuv::bench::RegisterRounds("BM_Backup", BM_Backup, 5);
    kuv::bench::RegisterRounds("BM_RestoreAgainstTar", BM_RestoreAgainstTar, 5);

    if (!kuv::bench::RunBenchmarks(static_cast<int>(rest.size()), rest.data())) return 1;

    const double czf = Median(Times()["tar czf"]), backup = Median(Times()["backup"]);
    const double xzf = Median(Times()["tar xzf"]), restore = Median(Times()["restore"]);
    std::printf("\nmedian of each round, %s:\n", g_diary.c_str());
    std::printf("  tar czf %8.1f ms   backup  %8.1f ms   ratio %.2f   target <= 1.5   %s\n",
                czf * 1e3, backup * 1e3, czf > 0 ? backup / czf : 0.0,
                czf > 0 && backup <= 1.5 * czf ? "ok" : "MISSED");
    std::printf("  tar xzf %8.1f ms   restore %8.1f ms   ratio %.2f   target <= 2.0   %s\n",
                xzf * 1e3, restore * 1e3, xzf > 0 ? restore / xzf : 0.0,
                xzf > 0 && restore <= 2.0 * xzf ? "ok" : "MISSED");
    std::error_code ec;
    fs::remove_all(g_scratch, ec);
    return 0;
}
