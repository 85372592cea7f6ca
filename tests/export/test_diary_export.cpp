#include "export/diary_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

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
        WriteBytes(data / "2001/0120.dia", Cp932(" \r\n\u3000\t"));
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
         {"# 日記 – 2001-12-31\n", "## 2000-12-31\n\n大晦日\\\n\\<b>\\&\"'\\</b>\n",
          "## 2001-01-17\n\n今日は晴れ\\\n\\# 見出しではない\\\n\\---\n",
          "## 2001-01-18\n\n鍵付き\\\n二行目\n"}},
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
        EXPECT_EQ(r.empty, 2u) << c.name;
        const std::string text = ReadBytes(out / c.name);
        for (const std::string& piece : c.held) EXPECT_TRUE(Holds(text, piece)) << c.name << piece;
        EXPECT_FALSE(Holds(text, "new year")) << c.name;  // outside the range
        EXPECT_FALSE(Exists(out / (std::string(c.name) + ".$$$")));
    }
}

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

std::size_t Count(const std::string& haystack, const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1)) {
        ++n;
    }
    return n;
}

// Rendered by the CommonMark reference (raw HTML let through, as a lax
// viewer would), an entry of lines that Markdown reads as markup shows every
// line as typed, one per line, as text.
TEST_F(ExportTest, MarkdownRendersEveryLineAsTyped) {
    const std::vector<std::string> lines = {
        "- a list",
        "+ plus",
        "* star",
        "1. first",
        "2026) paren",
        "> quote",
        "# heading",
        "###### six",
        "a line",
        "---",
        "===",
        "    indented",
        "\ttab",
        "```",
        "~~~ fence",
        "**bold** _under_",
        "*em* __x__",
        "[link](x.md)",
        "![img](y.png)",
        "`code`",
        "<script>alert(1)</script>",
        "<b onclick=\"x()\">b</b>",
        "&amp; &#65; &lt;",
        "back\\slash\\",
        "a | b",
        "|-|-|",
        "",
        "   ",
        "* * *",
        "___",
        "<!-- c -->",
        "<http://x.example/>",
        "[ref]: /url",
        "  - nested",
        "日本語 ＊全角＊",
        "a (b) !c > d",
        "last",
    };
    std::string entry;
    for (const std::string& line : lines) entry += line + "\r\n";
    ::mkdir((data / "2003").c_str(), 0700);
    WriteBytes(data / "2003/0101.dia", Cp932(entry));
    options.range = {{2003, 1, 1}, {2003, 12, 31}};
    ASSERT_EQ(ExportDiary(options, ExportFormat::Markdown, out / "d.md").status,
              ExportStatus::Done);

    const std::string html = Output("cmark --unsafe '" + out / "d.md" + "'");
    for (const char* element :
         {"<ul", "<ol", "<li", "<blockquote", "<h3", "<h6", "<pre", "<code", "<em", "<strong",
          "<a ", "<img", "<hr", "<script", "<b ", "<!--", "<table"}) {
        EXPECT_EQ(html.find(element), std::string::npos) << element << "\n" << html;
    }
    EXPECT_EQ(Count(html, "<h1>"), 1u);
    EXPECT_EQ(Count(html, "<h2>"), 1u);
    ASSERT_EQ(Count(html, "<p>"), 1u) << html;
    std::string shown = html.substr(html.find("<p>") + 3);
    shown.erase(shown.find("</p>"));
    for (const auto& [from, to] :
         std::vector<std::pair<std::string, std::string>>{{"<br />\n", "\n"},
                                                          {"\u00a0", " "},
                                                          {"&lt;", "<"},
                                                          {"&gt;", ">"},
                                                          {"&quot;", "\""},
                                                          {"&amp;", "&"}}) {
        for (std::size_t at = shown.find(from); at != std::string::npos;
             at = shown.find(from, at + to.size())) {
            shown.replace(at, from.size(), to);
        }
    }
    std::string typed;
    for (const std::string& line : lines) typed += (typed.empty() ? "" : "\n") + line;
    EXPECT_EQ(shown, typed) << html;
}

TEST_F(ExportTest, LockedAndUnreadableEntriesAreLeftOutAndCounted) {
    EXPECT_EQ(SurveyExport(data.path(), options.range).locked, 1u);
    EXPECT_EQ(SurveyExport(data.path(), options.range).days, 7u);
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
    for (auto op : {fsio::fault::Op::NoSpace, fsio::fault::Op::Sync, fsio::fault::Op::Close,
                    fsio::fault::Op::Rename}) {
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
