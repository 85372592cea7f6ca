#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "app/settings.h"
#include "dates/calendar.h"
#include "platform/progress.h"

// Taking the diary out: the entries of a span of days as plain text, Markdown
// or one HTML page (the PDF and the printed page are laid out in export/qt).
// Entries are read as the window reads them; output files are UTF-8 and go
// through a work file that only a finished export renames into place.
namespace kuv {

// A span of calendar days, both ends included; by default every day.
struct DayRange {
    DateParts from{1, 1, 1};
    DateParts to{9999, 12, 31};
    bool Contains(int year, int month, int day) const;
};

enum class ExportFormat { Text, Markdown, Html, Pdf };

// What the window needs to know before an export, from the folder names
// alone: how many days of the range hold an entry, and how many of those are
// held by a locked file only (they go out as plain text when the password
// opens them, so the window warns first).
struct ExportSurvey {
    std::size_t days = 0;
    std::size_t locked = 0;
};
ExportSurvey SurveyExport(const std::string& dataPath, const DayRange& range);

struct ExportOptions {
    std::string dataPath;  // code page 932, as in the settings
    // Opens the locked entries; an entry it does not open (and every locked
    // entry when it is empty) is left out and counted.
    std::string password;
    DayRange range;
    // The date pattern of the day headings, code page 932.
    std::string headingPattern = kDefaultDateFormat;
};

// One day's entry ready to be laid out, in UTF-8 with "\n" line breaks and
// no line break at the end.
struct ExportedDay {
    DateParts day;
    std::string heading;
    std::string text;
};

enum class ExportStatus { Done, Cancelled, Failed };

struct ExportResult {
    ExportStatus status = ExportStatus::Done;
    std::size_t exported = 0;           // days that went out
    std::size_t empty = 0;              // empty or white-space-only entries, left out
    std::size_t skippedLocked = 0;      // locked entries the password does not open
    std::size_t skippedUnreadable = 0;  // entry files that could not be read
    std::string firstUnreadable;        // the first of them, code page 932
    std::string message;                // code page 932, for the window
};

// Reads every entry of the range, oldest first, and hands each one to visit;
// progress counts the days that hold an entry. Stops with Cancelled when
// progress says so, and with Failed when visit returns false (the caller
// then sets the message). The message is left empty.
using ExportVisitor = std::function<bool(const ExportedDay&)>;
ExportResult ForEachExportedDay(const ExportOptions& options, const ExportVisitor& visit,
                                const ProgressFn& progress);

// Writes the range to outputPath (code page 932) as Text, Markdown or Html;
// Pdf is export/qt's. Nothing stands at outputPath unless the whole export
// was written and flushed; an earlier file of that name stays until then.
ExportResult ExportDiary(const ExportOptions& options, ExportFormat format,
                         const std::string& outputPath, const ProgressFn& progress = {});

// The window's summary of a finished, cancelled or failed export.
std::string ExportMessage(const ExportResult& result, const std::string& outputPath);

// The title of an exported diary, UTF-8: "日記", with the ends of the range
// that were set ("日記 2001-01-01 – 2001-12-31").
std::string ExportTitle(const DayRange& range);

// UTF-8 text with &, <, >, " and ' written as character references, and
// control characters other than line breaks and tabs as U+FFFD, which HTML
// does not allow.
std::string EscapeHtml(std::string_view utf8);

}  // namespace kuv
