#include "export/diary_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "diary/diary_book.h"
#include "platform/fileio.h"
#include "tests/support/reference.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;
using test::Exists;
using test::HandContainer;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

bool Holds(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

TEST(EscapeHtml, EscapesMarkupAndControls) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"a & b &amp;", "a &amp; b &amp;amp;"},
        {"\"double\" 'single'", "&quot;double&quot; &#39;single&#39;"},
        {"line\nbreak\tand tab", "line\nbreak\tand tab"},
        {"bell\x07 del\x7f", "bell\xEF\xBF\xBD del\xEF\xBF\xBD"},
        {"日記 ＜＞", "日記 ＜＞"},
    };
    for (const auto& c : cases) EXPECT_EQ(EscapeHtml(c.in), c.out) << c.in;
}

// A diary of a few days: plain, locked under "pw", empty, and one too large
// for a pane.
class ExportTest : public ::testing::Test {
  protected:
    ExportTest() {
        for (const char* year : {"2000", "2001", "2002"}) ::mkdir((data / year).c_str(), 0700);
        WriteBytes(data / "2000/1231.dia", Cp932("大晦日\r\n<b>&\"'</b>"));
        WriteBytes(data / "2001/0117.dia", Cp932("今日は晴れ\r\n# 見出しではない\r\n---\r\n"));
        WriteBytes(data / "2001/0118.xda", HandContainer(Cp932("鍵付き\r\n二行目"), "pw", 0));
        WriteBytes(data / "2001/0119.dia", "");
        WriteBytes(data / "2002/0101.dia", "new year");
        // An entry whose text is larger than a pane takes: it cannot be read.
        WriteBytes(data / "2002/0102.dia", std::string(kMaxPaneBytes + 1, 'x'));
        options.dataPath = data.path();
        options.password = "pw";
        options.headingPattern = "yyyy\"-\"mm\"-\"dd";
    }
    TempDir data, out;
    ExportOptions options;
};

TEST_F(ExportTest, EveryFormatHoldsEveryEntryOfTheRange) {
    options.range.to = DateParts{2001, 12, 31};
    const struct {
        ExportFormat format;
        const char* name;
        std::vector<std::string> held;
    } cases[] = {
        {ExportFormat::Text,
         "d.txt",
         {"2000-12-31\n大晦日\n<b>&\"'</b>\n", "2001-01-17\n今日は晴れ\n# 見出しではない\n---\n",
          "2001-01-18\n鍵付き\n二行目\n"}},
        {ExportFormat::Markdown,
         "d.md",
         {"# 日記 – 2001-12-31\n", "## 2000-12-31\n\n大晦日\n<b>&\"'</b>\n",
          "## 2001-01-17\n\n今日は晴れ\n\\# 見出しではない\n\\---\n",
          "## 2001-01-18\n\n鍵付き\n二行目\n"}},
        {ExportFormat::Html,
         "d.html",
         {"<html lang=\"ja\">", "<meta charset=\"utf-8\">",
          "<h2>2000-12-31</h2>\n<div "
          "class=\"entry\">大晦日\n&lt;b&gt;&amp;&quot;&#39;&lt;/b&gt;</div>",
          "<div class=\"entry\">今日は晴れ\n# 見出しではない\n---</div>",
          "<div class=\"entry\">鍵付き\n二行目</div>"}},
    };
    for (const auto& c : cases) {
        const ExportResult r = ExportDiary(options, c.format, out / c.name);
        EXPECT_EQ(r.status, ExportStatus::Done) << c.name;
        EXPECT_EQ(r.exported, 3u) << c.name;
        EXPECT_EQ(r.empty, 1u) << c.name;
        const std::string text = ReadBytes(out / c.name);
        for (const std::string& piece : c.held) EXPECT_TRUE(Holds(text, piece)) << c.name << piece;
        EXPECT_FALSE(Holds(text, "new year")) << c.name;  // outside the range
        EXPECT_FALSE(Exists(out / (std::string(c.name) + ".$$$")));
    }
}

TEST_F(ExportTest, LockedAndUnreadableEntriesAreLeftOutAndCounted) {
    EXPECT_EQ(SurveyExport(data.path(), options.range).locked, 1u);
    EXPECT_EQ(SurveyExport(data.path(), options.range).days, 6u);
    options.password = "wrong";
    const ExportResult r = ExportDiary(options, ExportFormat::Text, out / "d.txt");
    EXPECT_EQ(r.status, ExportStatus::Done);
    EXPECT_EQ(r.exported, 3u);
    EXPECT_EQ(r.skippedLocked, 1u);
    EXPECT_EQ(r.skippedUnreadable, 1u);
    EXPECT_EQ(r.firstUnreadable, data / "2002/0102.dia");
    EXPECT_FALSE(Holds(ReadBytes(out / "d.txt"), "鍵付き"));
    EXPECT_TRUE(Holds(r.message, Cp932("1 日分は書き出していません")));
}

TEST_F(ExportTest, ACancelledOrFailedExportLeavesNoFile) {
    WriteBytes(out / "old.html", "earlier export");
    for (int stopAt = 0; stopAt < 3; ++stopAt) {
        const ExportResult r = ExportDiary(options, ExportFormat::Html, out / "new.html",
                                           [&](std::uint64_t done, std::uint64_t) {
                                               return done < static_cast<std::uint64_t>(stopAt);
                                           });
        EXPECT_EQ(r.status, ExportStatus::Cancelled);
        const ExportResult again =
            ExportDiary(options, ExportFormat::Html, out / "old.html",
                        [](std::uint64_t done, std::uint64_t total) { return done < total; });
        EXPECT_EQ(again.status, ExportStatus::Cancelled);
    }
    for (auto op : {fsio::fault::Op::NoSpace, fsio::fault::Op::Sync, fsio::fault::Op::Rename}) {
        fsio::fault::FailNth(op, 1);
        const ExportResult r = ExportDiary(options, ExportFormat::Text, out / "old.html");
        EXPECT_EQ(r.status, ExportStatus::Failed);
        EXPECT_TRUE(fsio::fault::Fired());
        fsio::fault::Reset();
    }
    EXPECT_FALSE(Exists(out / "new.html"));
    EXPECT_EQ(ReadBytes(out / "old.html"), "earlier export");
    EXPECT_FALSE(Exists(out / "new.html.$$$"));
    EXPECT_FALSE(Exists(out / "old.html.$$$"));
}

}  // namespace
}  // namespace kuv
