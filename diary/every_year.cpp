#include "diary/every_year.h"

#include <cstdio>

#include "dates/calendar.h"
#include "diary/catalog.h"
#include "platform/errors.h"

namespace kuv {

std::string FirstLines(const std::string& text, int count) {
    std::size_t end = 0;
    for (int line = 0; line < count && end < text.size(); ++line) {
        const std::size_t br = text.find('\n', end);
        end = br == std::string::npos ? text.size() : br + 1;
    }
    std::string lines = text.substr(0, end);
    while (!lines.empty() && (lines.back() == '\n' || lines.back() == '\r')) lines.pop_back();
    return lines;
}

EveryYear ListEveryYear(const std::string& dataPath, int month, int day,
                        const std::string& password, int previewLines) {
    EveryYear out;
    if (month < 1 || month > 12 || day < 1 || day > 31) return out;
    char name[8];
    std::snprintf(name, sizeof name, "%02d%02d", month, day);
    const std::vector<int> years = ListYears(dataPath);
    for (auto y = years.rbegin(); y != years.rend(); ++y) {
        // Only a day the calendar has: the window never shows 0229 of a
        // common year, nor 0431 of any.
        if (day > DaysInMonth(*y, month)) continue;
        char folder[8];
        std::snprintf(folder, sizeof folder, "/%04d", *y);
        PaneContent pane;
        try {
            pane = LoadPane(dataPath + folder, name, password);
        } catch (const AppError&) {
            ++out.unreadable;
            continue;
        }
        if (pane.source == PaneSource::None) continue;
        // An entry emptied by its writer keeps its file but is no entry.
        if (pane.source != PaneSource::Sealed && BlankEntryText(pane.text)) continue;
        if (pane.source == PaneSource::Sealed) {
            ++out.sealed;
            continue;
        }
        YearEntry e;
        e.year = *y;
        e.source = pane.source;
        e.firstLines = FirstLines(pane.text, previewLines);
        e.text = std::move(pane.text);
        e.firstLinesUtf8 = FirstLines(pane.utf8, previewLines);
        e.utf8 = std::move(pane.utf8);
        out.entries.push_back(std::move(e));
    }
    return out;
}

}  // namespace kuv
