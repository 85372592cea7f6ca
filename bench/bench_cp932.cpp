// The code page 932 edge on the largest entry a pane holds (64 MiB): the
// pane's text written back to bytes, plain and with bytes kept as escapes
// (one lead byte that starts no character in every line), and read again.
// Then a save of a 64 KiB entry that holds second codes of duplicated
// characters, against a load and a plain save of the same entry as its floor.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/cp932.h"

namespace {

constexpr std::size_t kEntryBytes = std::size_t{64} << 20;

std::string Entry(bool withEscapes) {
    // 日記を書く, ASCII, half-width katakana, a duplicated code (U+2160) and a
    // line break; with escapes, 0xEE 0xEE before a character of the
    // NEC-selected IBM rows (U+92FF) as well.
    std::string line = "\x93\xfa\x8b\x4c\x82\xf0\x8f\x91\x82\xad diary \xb1\xb2 \x87\x54";
    if (withEscapes) line += "\xee\xee\xc0";
    line += "\r\n";
    std::string text;
    text.reserve(kEntryBytes + line.size());
    while (text.size() < kEntryBytes) text += line;
    return text;
}

void BM_FromUtf16(benchmark::State& state) {
    const std::u16string text = kuv::cp932::ToUtf16(Entry(state.range(0) != 0));
    for (auto _ : state) {
        kuv::cp932::Encoded e = kuv::cp932::FromUtf16(text);
        benchmark::DoNotOptimize(e.bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kEntryBytes));
}
BENCHMARK(BM_FromUtf16)->ArgName("escapes")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ToUtf16(benchmark::State& state) {
    const std::string bytes = Entry(state.range(0) != 0);
    for (auto _ : state) {
        std::u16string u = kuv::cp932::ToUtf16(bytes);
        benchmark::DoNotOptimize(u.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kEntryBytes));
}
BENCHMARK(BM_ToUtf16)->ArgName("escapes")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

constexpr std::size_t kDayEntryBytes = std::size_t{64} << 10;

// A day's entry in which every line holds 纊 ≒ ￢ in their second codes.
std::string DayEntry() {
    const std::string line =
        "\x93\xfa\x8b\x4c\x82\xf0\x8f\x91\x82\xad diary \xed\x40\x87\x90\xfa\x54\r\n";
    std::string text;
    while (text.size() < kDayEntryBytes) text += line;
    return text;
}

// The entry with one character typed in its middle (Arg 0), or with every
// line changed, beyond what the alignment searches (Arg 1).
std::u16string Edited(const std::string& entry, bool rewritten) {
    std::u16string text = kuv::cp932::ToUtf16(entry);
    if (!rewritten) return text.insert(text.size() / 2, u"Z");
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'y') text[i] = u'Y';
    }
    return text;
}

// The floor: reading the entry and writing the edited text in the
// converter's forms, the work of one load and one plain save.
void BM_SaveDayEntry_LoadAndPlainSave(benchmark::State& state) {
    const std::string entry = DayEntry();
    const std::u16string text = Edited(entry, state.range(0) != 0);
    for (auto _ : state) {
        std::u16string loaded = kuv::cp932::ToUtf16(entry);
        benchmark::DoNotOptimize(loaded.data());
        kuv::cp932::Encoded e = kuv::cp932::FromUtf16(text);
        benchmark::DoNotOptimize(e.bytes.data());
    }
}
BENCHMARK(BM_SaveDayEntry_LoadAndPlainSave)
    ->ArgName("rewritten")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

void BM_SaveDayEntry_KeepingCodes(benchmark::State& state) {
    const std::string entry = DayEntry();
    const std::u16string text = Edited(entry, state.range(0) != 0);
    for (auto _ : state) {
        kuv::cp932::Encoded e = kuv::cp932::FromUtf16Keeping(text, entry);
        benchmark::DoNotOptimize(e.bytes.data());
    }
}
BENCHMARK(BM_SaveDayEntry_KeepingCodes)
    ->ArgName("rewritten")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
