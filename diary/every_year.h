#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "diary/diary_book.h"

// "This day in every year": the entries of one month and day across the
// years of a data folder.
namespace kuv {

struct YearEntry {
    int year = 0;
    PaneSource source = PaneSource::Plain;  // Plain, Locked, Raw, Strong or StrongWide
    std::string firstLines;                 // the first lines, CR LF between them
    std::string text;                       // the whole pane text, CR LF lines
    // A strong-locked entry's own UTF-8, every character in it; empty otherwise.
    std::string utf8, firstLinesUtf8;
};

struct EveryYear {
    std::vector<YearEntry> entries;  // newest first
    std::size_t sealed = 0;          // locked entries the password does not open: left out
    std::size_t unreadable = 0;      // entry files that could not be read: left out
};

// The entries of month/day in every year folder of dataPath, loaded as the
// window loads a pane (LoadPane, password as in the session, empty while the
// diary is locked). 29 February lists leap years only; a blank entry
// (BlankEntryText) is left out. previewLines lines of
// each entry go into firstLines.
EveryYear ListEveryYear(const std::string& dataPath, int month, int day,
                        const std::string& password, int previewLines = 3);

// The first count lines of a pane text, without the last line break.
std::string FirstLines(const std::string& text, int count);

}  // namespace kuv
