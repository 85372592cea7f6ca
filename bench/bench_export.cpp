// Exporting a whole diary: to one HTML page (target <= 1 s), to Markdown and
// to plain text (target <= 0.5 s each), and one year of it to a PDF (target
// <= 10 s).
// usage: bench_export --diary=DIR [--password=P] [--year=YYYY] [benchmark options]
//   DIR is a diary folder (bench/run.sh makes the 30-year one); P opens its
//   locked entries; YYYY is the PDF's year (default: the diary's first).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <QByteArray>
#include <QGuiApplication>

#include "bench/bench_rounds.h"
#include "diary/catalog.h"
#include "export/diary_export.h"
#include "export/qt/diary_document.h"

namespace {

std::string g_diary, g_password = "kuvandoro", g_scratch;
int g_year = 0;

kuv::ExportOptions Options() {
    kuv::ExportOptions options;
    options.dataPath = g_diary;
    options.password = g_password;
    return options;
}

template <typename F>
void Time(benchmark::State& state, const char* name, F&& run) {
    for (auto _ : state) {
        kuv::ExportResult r;
        kuv::bench::Record(state, name, kuv::bench::Seconds([&] { r = run(); }));
        if (r.status != kuv::ExportStatus::Done) state.SkipWithError("export failed");
        state.counters["days"] = static_cast<double>(r.exported);
    }
}

void BM_Export(benchmark::State& state, kuv::ExportFormat format, const char* name) {
    const std::string out = g_scratch + "/diary." + name;
    Time(state, name, [&] { return kuv::ExportDiary(Options(), format, out); });
}

void BM_PdfOfOneYear(benchmark::State& state) {
    kuv::ExportOptions options = Options();
    options.range.from = kuv::DateParts{static_cast<std::uint16_t>(g_year), 1, 1};
    options.range.to = kuv::DateParts{static_cast<std::uint16_t>(g_year), 12, 31};
    const std::string out = g_scratch + "/year.pdf";
    Time(state, "pdf", [&] { return kuv::ExportPdf(options, out, QString()); });
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--diary=", 8) == 0) {
            g_diary = argv[i] + 8;
        } else if (std::strncmp(argv[i], "--password=", 11) == 0) {
            g_password = argv[i] + 11;
        } else if (std::strncmp(argv[i], "--year=", 7) == 0) {
            g_year = std::atoi(argv[i] + 7);
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (g_diary.empty()) {
        std::fprintf(stderr, "usage: %s --diary=DIR [--password=P] [--year=YYYY]\n", argv[0]);
        return 2;
    }
    const std::vector<int> years = kuv::ListYears(g_diary);
    if (years.empty()) {
        std::fprintf(stderr, "no diary in %s\n", g_diary.c_str());
        return 1;
    }
    if (g_year == 0) g_year = years.front();
    g_scratch = kuv::bench::MakeScratchFolder("kuv-bench-export");
    if (g_scratch.empty()) return 1;

    // The PDF is laid out by Qt Gui, on the offscreen platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    }
    int qargc = 1;
    QGuiApplication app(qargc, argv);

    const struct {
        const char* name;
        kuv::ExportFormat format;
    } formats[] = {{"html", kuv::ExportFormat::Html},
                   {"md", kuv::ExportFormat::Markdown},
                   {"txt", kuv::ExportFormat::Text}};
    for (const auto& f : formats) {
        kuv::bench::RegisterRounds(
            std::string("BM_Export/") + f.name,
            [f](benchmark::State& state) { BM_Export(state, f.format, f.name); }, 5);
    }
    kuv::bench::RegisterRounds("BM_PdfOfOneYear", BM_PdfOfOneYear, 3);

    if (!kuv::bench::RunBenchmarks(static_cast<int>(rest.size()), rest.data())) return 1;

    std::printf("\nmedian of each round, %s (%d years), PDF of %d:\n", g_diary.c_str(),
                static_cast<int>(years.size()), g_year);
    const struct {
        const char* name;
        double target;
    } figures[] = {{"html", 1.0}, {"md", 0.5}, {"txt", 0.5}, {"pdf", 10.0}};
    for (const auto& f : figures) {
        const double t = kuv::bench::Median(kuv::bench::Times()[f.name]);
        std::printf("  %-5s %8.3f s   target <= %4.1f s   %s\n", f.name, t, f.target,
                    t > 0 && t <= f.target ? "ok" : "MISSED");
    }
    std::error_code ec;
    std::filesystem::remove_all(g_scratch, ec);
    return 0;
}
