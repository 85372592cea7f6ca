// Encoding and decoding a 100 MiB file in place, flushed to the disk, against
// copying the same file with cp and flushing the copy with sync, in one run.
// The container should cost at most 1.5 times the copy.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_rounds.h"
#include "crypt/cryptogram.h"

namespace {

using kuv::bench::Median;
using kuv::bench::Record;
using kuv::bench::Seconds;
using kuv::bench::Times;

constexpr std::size_t kFileSize = std::size_t{100} << 20;
const std::string kKey = "718306925461";

struct Files {
    std::string dir, plain, copy;
};

Files& Scratch() {
    static Files files = [] {
        const std::string templ = kuv::bench::MakeScratchFolder("kuv-bench");
        if (templ.empty()) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        Files f{templ, templ + "/0101.dia", templ + "/0101.copy"};
        std::vector<char> bytes(kFileSize);
        std::mt19937_64 rng(42);
        for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
            const std::uint64_t r = rng();
            std::copy_n(reinterpret_cast<const char*>(&r), 8, bytes.data() + i);
        }
        std::FILE* out = std::fopen(f.plain.c_str(), "wb");
        if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
            std::fclose(out) != 0) {
            std::perror(f.plain.c_str());
            std::exit(1);
        }
        return f;
    }();
    return files;
}

void BM_CopyAndSync(benchmark::State& state) {
    const Files& f = Scratch();
    const std::string cmd = "cp -- '" + f.plain + "' '" + f.copy + "' && sync -- '" + f.copy + "'";
    for (auto _ : state) {
        int rc = 0;
        Record(state, "copy", Seconds([&] { rc = std::system(cmd.c_str()); }));
        if (rc != 0) state.SkipWithError("cp or sync failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void BM_Encode(benchmark::State& state) {
    const Files& f = Scratch();
    for (auto _ : state) {
        bool ok = false;
        Record(state, "encode", Seconds([&] { ok = kuv::CryptEncodeFile(f.plain, kKey, false); }));
        // Back to the plain file for the next round, outside the time.
        if (!ok || kuv::CryptDecodeFile(f.plain, kKey, false) != kuv::CryptResult::Decoded) {
            state.SkipWithError("encoding failed");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void BM_Decode(benchmark::State& state) {
    const Files& f = Scratch();
    for (auto _ : state) {
        if (!kuv::CryptEncodeFile(f.plain, kKey, false)) state.SkipWithError("encoding failed");
        kuv::CryptResult result = kuv::CryptResult::Failed;
        Record(state, "decode",
               Seconds([&] { result = kuv::CryptDecodeFile(f.plain, kKey, false); }));
        if (result != kuv::CryptResult::Decoded) state.SkipWithError("decoding failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

// Few rounds of a large file: each one writes and flushes 100 MiB.
BENCHMARK(BM_CopyAndSync)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!kuv::bench::RunBenchmarks(argc, argv)) return 1;

    const double copy = Median(Times()["copy"]);
    if (copy > 0) {
        std::printf("\nmedian of each round, 100 MiB flushed to disk:\n");
        std::printf("  copy   %8.1f ms\n", copy * 1e3);
        for (const char* name : {"encode", "decode"}) {
            const double t = Median(Times()[name]);
            if (t > 0) {
                std::printf("  %-6s %8.1f ms   ratio to copy %.2f\n", name, t * 1e3, t / copy);
            }
        }
        std::printf("target: <= 1.5\n");
    }
    std::error_code ec;
    std::filesystem::remove_all(Scratch().dir, ec);
    return 0;
}
