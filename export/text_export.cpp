// The three text formats of an export: plain text, Markdown and one HTML page.
#include <cstdio>
#include <string>
#include <string_view>

#include "export/diary_export.h"
#include "platform/work_file.h"

namespace kuv {

namespace {

// Each format as the pieces written around the days.
class Layout {
  public:
    virtual ~Layout() = default;
    virtual std::string Begin(const std::string& title) const = 0;
    virtual std::string Day(const ExportedDay& day, bool first) const = 0;
    virtual std::string End() const = 0;
};

// One heading line per day, the entry under it, an empty line between days.
class TextLayout final : public Layout {
  public:
    std::string Begin(const std::string&) const override { return {}; }
    std::string Day(const ExportedDay& day, bool first) const override {
        return (first ? "" : "\n") + day.heading + "\n" + day.text + "\n";
    }
    std::string End() const override { return {}; }
};

// The characters that CommonMark (or a GitHub-flavoured reader: ~ and |)
// may read as inline markup wherever they stand; each gets a backslash.
// Parentheses, "!" and ">" mean nothing without "[" or "<" before them.
bool InlineMark(char c) {
    switch (c) {
        case '\\':
        case '`':
        case '*':
        case '_':
        case '[':
        case ']':
        case '<':
        case '&':
        case '~':
        case '|':
            return true;
        default:
            return false;
    }
}

// The characters, beside the inline marks, that open a block (a list, a
// quote, a heading, a setext underline, a thematic break) when a line starts
// with them.
bool BlockStart(char c) {
    return c == '-' || c == '+' || c == '=' || c == '#' || c == '>';
}

// A line of text as Markdown that renders as typed: marks escaped, the
// leading spaces and tabs (an indented code block, or dropped) written as
// character references, and "1." or "1)" kept from starting a list.
void AppendMarkdownLine(std::string& out, std::string_view line) {
    std::size_t i = 0;
    for (; i < line.size() && (line[i] == ' ' || line[i] == '\t'); ++i) {
        out += line[i] == ' ' ? "&nbsp;" : "&#9;";
    }
    if (i < line.size() && BlockStart(line[i])) out += '\\';
    std::size_t digits = 0;
    while (i + digits < line.size() && line[i + digits] >= '0' && line[i + digits] <= '9') {
        ++digits;
    }
    for (std::size_t at = i; at < line.size(); ++at) {
        const char c = line[at];
        const bool listMark = digits > 0 && at == i + digits && (c == '.' || c == ')');
        if (InlineMark(c) || listMark) out += '\\';
        out += c;
    }
}

// A level-two heading per day under the title. The entry is one paragraph
// whose lines end in hard breaks (a lone backslash stands for an empty line),
// so every line shows as typed, one per line, and none turns into markup.
class MarkdownLayout final : public Layout {
  public:
    std::string Begin(const std::string& title) const override { return "# " + title + "\n"; }
    std::string Day(const ExportedDay& day, bool) const override {
        std::string out = "\n## ";
        AppendMarkdownLine(out, day.heading);
        out += "\n\n";
        const std::string_view text = day.text;
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            AppendMarkdownLine(out, text.substr(start, end - start));
            // A backslash at the end of a paragraph would be shown, not break.
            out += end < text.size() ? "\\\n" : "\n";
            start = end + 1;
        }
        return out;
    }
    std::string End() const override { return {}; }
};

// A page that needs nothing beside it: the style is inline, and every
// character of the entries is escaped; "pre-wrap" keeps the line breaks and
// the spaces as they were typed.
class HtmlLayout final : public Layout {
  public:
    std::string Begin(const std::string& title) const override {
        return "<!DOCTYPE html>\n"
               "<html lang=\"ja\">\n"
               "<head>\n"
               "<meta charset=\"utf-8\">\n"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
               "<title>" +
               EscapeHtml(title) +
               "</title>\n"
               "<style>\n"
               "body { font-family: \"IPAPGothic\", \"IPA Pゴシック\", \"MS PGothic\", "
               "sans-serif; max-width: 46em; margin: 2em auto; padding: 0 1em; "
               "line-height: 1.7; color: #222; background: #fff; }\n"
               "h1 { font-size: 1.5em; }\n"
               "h2 { font-size: 1.1em; margin: 2em 0 0.5em; padding-bottom: 0.2em; "
               "border-bottom: 1px solid #ccc; }\n"
               ".entry { white-space: pre-wrap; overflow-wrap: anywhere; }\n"
               "</style>\n"
               "</head>\n"
               "<body>\n"
               "<h1>" +
               EscapeHtml(title) + "</h1>\n";
    }
    std::string Day(const ExportedDay& day, bool) const override {
        char id[32];
        std::snprintf(id, sizeof id, "d%04d-%02d-%02d", day.day.year, day.day.month, day.day.day);
        return std::string("<section id=\"") + id + "\">\n<h2>" + EscapeHtml(day.heading) +
               "</h2>\n<div class=\"entry\">" + EscapeHtml(day.text) + "</div>\n</section>\n";
    }
    std::string End() const override { return "</body>\n</html>\n"; }
};

}  // namespace

ExportResult ExportDiary(const ExportOptions& options, ExportFormat format,
                         const std::string& outputPath, const ProgressFn& progress) {
    static const TextLayout text;
    static const MarkdownLayout markdown;
    static const HtmlLayout html;
    const Layout* layout = nullptr;
    switch (format) {
        case ExportFormat::Text:
            layout = &text;
            break;
        case ExportFormat::Markdown:
            layout = &markdown;
            break;
        case ExportFormat::Html:
            layout = &html;
            break;
        case ExportFormat::Pdf:
            break;
    }
    ExportResult result;
    fsio::WorkFileOutput out(outputPath);
    if (layout == nullptr || !out.Open() || !out.Write(layout->Begin(ExportTitle(options.range)))) {
        result.status = ExportStatus::Failed;
        result.message = ExportMessage(result, outputPath);
        return result;
    }
    bool first = true;
    result = ForEachExportedDay(
        options,
        [&](const ExportedDay& day) {
            const bool ok = out.Write(layout->Day(day, first));
            first = false;
            return ok;
        },
        progress);
    if (result.status == ExportStatus::Done && !(out.Write(layout->End()) && out.Commit())) {
        result.status = ExportStatus::Failed;
    }
    // A cancelled or failed export leaves no file behind: the work file goes
    // when out does.
    result.message = ExportMessage(result, outputPath);
    return result;
}

}  // namespace kuv
