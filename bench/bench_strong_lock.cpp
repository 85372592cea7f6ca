// The strong lock's costs against their floors in the same run: opening the
// key at the default Argon2id work (target: at most 1.5 s), and loading a
// 30-year diary for search when every entry is sealed against the same
// diary in plain files (target: at most 1.5 times).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_rounds.h"
#include "diary/search.h"
#include "lock/lock_convert.h"

namespace {

using kuv::bench::Median;
using kuv::bench::Record;
using kuv::bench::Seconds;
using kuv::bench::Times;

constexpr int kYears = 30;

struct Diaries {
    std::string root, plain, sealed;
};

// Two copies of the same diary, a short entry on every day of 30 years: one
// plain, one turned over to the strong lock (at the default work, which the
// unlock rounds then open).
Diaries& Scratch() {
    static Diaries d = [] {
        Diaries made;
        made.root = kuv::bench::MakeScratchFolder("kuv-bench-strong");
        made.plain = made.root + "/plain";
        made.sealed = made.root + "/sealed";
        for (const std::string& dir : {made.plain, made.sealed}) {
            std::filesystem::create_directories(dir);
            for (int y = 1995; y < 1995 + kYears; ++y) {
                const std::string year = dir + "/" + std::to_string(y);
                std::filesystem::create_directories(year);
                for (int m = 1; m <= 12; ++m) {
                    for (int day = 1; day <= 28; ++day) {
                        char name[16];
                        std::snprintf(name, sizeof name, "/%02d%02d.dia", m, day);
                        std::FILE* f = std::fopen((year + name).c_str(), "wb");
                        if (f == nullptr) continue;
                        std::fprintf(f, "Day %d-%d-%d: a walk, some work, a letter to write.\r\n",
                                     y, m, day);
                        std::fclose(f);
                    }
                }
            }
        }
        std::string code;
        const kuv::lock::LockResult r =
            kuv::lock::TurnOn(made.sealed, "password", "", kuv::lock::Argon2Params{}, code);
        if (!r.ok()) std::fprintf(stderr, "cannot lock the test diary: %s\n", r.message.c_str());
        return made;
    }();
    return d;
}

void BM_Unlock(benchmark::State& state) {
    const Diaries& d = Scratch();
    for (auto _ : state) {
        kuv::lock::DiaryKey key;
        Record(state, "unlock", Seconds([&] {
                   kuv::lock::OpenDiaryKey(d.sealed, "password", kuv::lock::SlotKind::Password,
                                           key);
               }));
        kuv::lock::RememberKey(d.sealed, std::move(key));
    }
}

void Load(benchmark::State& state, bool sealed) {
    const Diaries& d = Scratch();
    const std::string& dir = sealed ? d.sealed : d.plain;
    for (auto _ : state) {
        Record(state, sealed ? "sealed load" : "plain load", Seconds([&] {
                   kuv::SearchCorpus corpus(dir);
                   benchmark::DoNotOptimize(corpus.Refresh(""));
               }));
    }
}

void BM_LoadPlain(benchmark::State& state) {
    Load(state, false);
}
void BM_LoadSealed(benchmark::State& state) {
    Load(state, true);
}

}  // namespace

int main(int argc, char** argv) {
    kuv::bench::RegisterRounds("BM_Unlock", BM_Unlock, 5);
    kuv::bench::RegisterRounds("BM_LoadPlain", BM_LoadPlain, 5);
    kuv::bench::RegisterRounds("BM_LoadSealed", BM_LoadSealed, 5);
    if (!kuv::bench::RunBenchmarks(argc, argv)) return 1;
    const double unlock = Median(Times()["unlock"]);
    const double plain = Median(Times()["plain load"]);
    const double sealed = Median(Times()["sealed load"]);
    std::printf("unlock at the default work: %.3f s (target <= 1.5 s)\n", unlock);
    std::printf("30-year load: sealed %.3f s, plain %.3f s, ratio %.2f (target <= 1.5)\n", sealed,
                plain, plain > 0 ? sealed / plain : 0);
    std::error_code ec;
    std::filesystem::remove_all(Scratch().root, ec);
    return 0;
}
