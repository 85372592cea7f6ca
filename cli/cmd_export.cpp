#include <cstdio>
#include <optional>
#include <string>

#include <QByteArray>
#include <QGuiApplication>
#include <QString>

#include "cli/cli.h"
#include "dates/qt/locale_loader.h"
#include "export/diary_export.h"
#include "export/qt/diary_document.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"

namespace kuv::cli {

namespace {

std::optional<ExportFormat> FormatNamed(const std::string& name) {
    if (name == "txt") return ExportFormat::Text;
    if (name == "md") return ExportFormat::Markdown;
    if (name == "html") return ExportFormat::Html;
    if (name == "pdf") return ExportFormat::Pdf;
    return std::nullopt;
}

// The PDF is laid out by Qt Gui, which needs an application object; without
// a display it draws on the offscreen platform.
ExportResult ExportPdfHeadless(const ExportOptions& options, const std::string& output,
                               const std::string& fontName, const char* argv0) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    }
    int argc = 1;
    char* argv[] = {const_cast<char*>(argv0), nullptr};
    QGuiApplication app(argc, argv);
    return ExportPdf(options, output, QString::fromUtf8(cp932::ToUtf8(fontName)));
}

}  // namespace

int RunExport(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {"password-stdin"},
                          {"app-dir", "data", "password", "from", "to", "format"});
    if (!args) return 2;
    if (args->positional.size() != 1) return Usage();
    const auto formatName = args->Value("format");
    const auto format = formatName ? FormatNamed(*formatName) : std::nullopt;
    if (!format) {
        std::fprintf(stderr, "kuvandoro-cli: --format must be txt, md, html or pdf\n");
        return 2;
    }
    ExportOptions options;
    for (const char* end : {"from", "to"}) {
        if (auto v = args->Value(end)) {
            const auto day = ParseIsoDay(*v);
            if (!day) {
                std::fprintf(stderr, "kuvandoro-cli: not a date of the form YYYY-MM-DD: %s\n",
                             v->c_str());
                return 2;
            }
            (std::string(end) == "from" ? options.range.from : options.range.to) = *day;
        }
    }
    if (!options.range.Contains(options.range.from.year, options.range.from.month,
                                options.range.from.day)) {
        std::fprintf(stderr, "kuvandoro-cli: --from lies after --to\n");
        return 2;
    }
    const auto output = ArgToCp932(args->positional[0], "output file name");
    if (!output) return 2;
    int status = 0;
    const auto diary = ResolveDiary(*args, DiaryNeeds::DataAndPassword, status);
    if (!diary) return status;
    options.dataPath = diary->settings.DataPath;
    options.password = diary->settings.Password;
    options.headingPattern = diary->settings.DateFormat;
    LoadDateLocale();

    // What the window warns of first: locked entries go out unlocked.
    const ExportSurvey survey = SurveyExport(options.dataPath, options.range);
    if (survey.locked > 0 && (!options.password.empty() || lock::HasStrongLock(options.dataPath))) {
        std::fprintf(stderr,
                     "kuvandoro-cli: note: %zu locked entries are written out unlocked, as plain "
                     "text\n",
                     survey.locked);
    }
    const ExportResult result =
        *format == ExportFormat::Pdf
            ? ExportPdfHeadless(options, *output, diary->settings.FontName, argv[0])
            : ExportDiary(options, *format, *output);
    PrintMessage(result.status == ExportStatus::Done ? stdout : stderr, result.message);
    return result.status == ExportStatus::Done ? 0 : 1;
}

}  // namespace kuv::cli
