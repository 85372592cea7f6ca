#include "export/qt/diary_document.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QPdfWriter>

#include "platform/fileio.h"
#include "tests/support/reference.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;
using test::Exists;
using test::TempDir;
using test::WriteBytes;

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
        ::pclose(pipe);
    }
    return out;
}

class PdfExportTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_pdf_export";
        static char* argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
    }
    PdfExportTest() {
        ::mkdir((data / "2004").c_str(), 0700);
        // Sixty days of a dozen lines each: several pages.
        for (int day = 1; day <= 60; ++day) {
            char name[32];
            std::snprintf(name, sizeof name, "2004/%02d%02d.dia", day <= 31 ? 1 : 2,
                          day <= 31 ? day : day - 31);
            std::string text;
            for (int line = 0; line < 12; ++line) {
                text += "日記 " + std::to_string(day) + " の " + std::to_string(line) + " 行目\r\n";
            }
            WriteBytes(data / name, Cp932(text));
        }
        options.dataPath = data.path();
        options.headingPattern = "yyyy\"-\"mm\"-\"dd";
    }
    TempDir data, out;
    ExportOptions options;
};

TEST_F(PdfExportTest, HoldsEveryDayWithPageNumbersInAnEmbeddedJapaneseFont) {
    const std::string pdf = out / "diary.pdf";
    const ExportResult r = ExportPdf(options, pdf, QStringLiteral("No Such Family"));
    ASSERT_EQ(r.status, ExportStatus::Done) << r.message;
    EXPECT_EQ(r.exported, 60u);
    EXPECT_FALSE(Exists(pdf + ".$$$"));

    const std::string text = Output("pdftotext -layout '" + pdf + "' -");
    for (const char* piece : {"2004-01-01", "日記 1 の 0 行目", "2004-01-31", "2004-02-29",
                              "日記 60 の 11 行目", "1 / "}) {
        EXPECT_NE(text.find(piece), std::string::npos) << piece;
    }
    EXPECT_EQ(text.find("2004-03-01"), std::string::npos);
    const std::string info = Output("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("A4"), std::string::npos) << info;
    const int pages = std::atoi(info.substr(info.find("Pages:") + 6).c_str());
    EXPECT_GT(pages, 2);
    EXPECT_NE(text.find(std::to_string(pages) + " / " + std::to_string(pages)), std::string::npos);
    const std::string fonts = Output("pdffonts '" + pdf + "'");
    EXPECT_NE(fonts.find("IPAPGothic"), std::string::npos) << fonts;
    EXPECT_NE(fonts.find(" yes "), std::string::npos) << fonts;  // embedded
}

// A paragraph that runs over page breaks: every character on exactly one page.
TEST_F(PdfExportTest, ALongLineGoesOverPageBreaksWholeAndOnce) {
    std::string line;
    for (int n = 1; n <= 700; ++n) {
        char unit[8];
        std::snprintf(unit, sizeof unit, "%04d", n);
        line += std::string(unit) + "あ";
    }
    WriteBytes(data / "2004/0301.dia", Cp932(line + "\r\n"));
    options.range = {{2004, 3, 1}, {2004, 3, 1}};
    const std::string pdf = out / "line.pdf";
    ASSERT_EQ(ExportPdf(options, pdf, {}).status, ExportStatus::Done);

    // The text of the pages without their page numbers and line breaks.
    std::string pages;
    const std::string text = Output("pdftotext '" + pdf + "' -");
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string row = text.substr(at, end - at);
        at = end + 1;
        std::erase(row, '\f');
        const bool number = row.find('/') != std::string::npos &&
                            row.find_first_not_of("0123456789 /") == std::string::npos;
        if (!number) pages += row;
    }
    EXPECT_GT(std::atoi(Output("pdfinfo '" + pdf + "' | sed -n 's/^Pages: *//p'").c_str()), 1);
    EXPECT_EQ(pages, ExportTitle(options.range) + "2004-03-01" + line);
}

TEST_F(PdfExportTest, ACancelOrAFailedWriteLeavesNoFile) {
    WriteBytes(out / "diary.pdf", "earlier");
    const ExportResult r = ExportPdf(options, out / "diary.pdf", {},
                                     [](std::uint64_t done, std::uint64_t) { return done < 700; });
    EXPECT_EQ(r.status, ExportStatus::Cancelled);
    options.range = {{2004, 1, 1}, {2004, 1, 3}};
    for (auto op : {fsio::fault::Op::NoSpace, fsio::fault::Op::Sync, fsio::fault::Op::Close,
                    fsio::fault::Op::Rename}) {
        fsio::fault::FailNth(op, 1);
        EXPECT_EQ(ExportPdf(options, out / "diary.pdf", {}).status, ExportStatus::Failed);
        EXPECT_TRUE(fsio::fault::Fired());
        fsio::fault::Reset();
    }
    EXPECT_EQ(test::ReadBytes(out / "diary.pdf"), "earlier");
    EXPECT_FALSE(Exists(out / "diary.pdf.$$$"));
}

// Every page drawn moves the progress on, so that the print preview's
// progress answers and can be cancelled between any two pages, also over
// several years.
TEST_F(PdfExportTest, EveryPageMovesTheProgressOn) {
    for (const int years : {1, 3}) {
        std::vector<ExportedDay> days;
        for (int y = 0; y < years; ++y) {
            for (std::uint16_t d = 1; d <= 20; ++d) {
                const auto year = static_cast<std::uint16_t>(2004 + y);
                std::string text;
                for (int line = 0; line < 12; ++line) text += "日記の行\n";
                days.push_back(
                    {{year, 1, d}, std::to_string(year) + "-01-" + std::to_string(d), text});
            }
        }
        QPdfWriter writer(QString::fromStdString(out / "progress.pdf"));
        writer.setResolution(300);
        DiaryLayout layout;
        layout.fontFamily = DocumentFontFamily({});
        std::vector<double> seen;
        ASSERT_TRUE(
            PrintDiary(days, layout, writer, [&seen](std::uint64_t done, std::uint64_t total) {
                seen.push_back(static_cast<double>(done) / static_cast<double>(total));
                return true;
            }));
        const std::string info = Output("pdfinfo '" + (out / "progress.pdf") + "'");
        const std::size_t pages = std::stoul(info.substr(info.find("Pages:") + 6));
        ASSERT_GT(pages, static_cast<std::size_t>(2 * years)) << years;
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << years;
        EXPECT_EQ(seen.back(), 1.0) << years;
        // A new value for each page at least.
        EXPECT_GE(static_cast<std::size_t>(std::unique(seen.begin(), seen.end()) - seen.begin()),
                  pages)
            << years;
    }
}

}  // namespace
}  // namespace kuv
