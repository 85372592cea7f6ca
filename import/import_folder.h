#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dates/calendar.h"
#include "platform/progress.h"

// Bringing dated text files into the diary: "YYYY-MM-DD....txt" or ".md", in
// UTF-8 or code page 932, each becoming (or added to) that day's entry. The
// user's words are never replaced: a day that has an entry gets the file's
// text after an empty line.
namespace kuv {

enum class TextEncoding { Unknown, Utf8, Cp932 };

// A file's text as an entry: code page 932 bytes with CR LF line breaks.
struct ImportedText {
    enum class Problem { None, NotText, UnknownEncoding, BadChar, Empty };
    Problem problem = Problem::None;
    TextEncoding encoding = TextEncoding::Unknown;
    std::string entry;
    char32_t badChar = 0;  // the first character code page 932 cannot hold
};

// UTF-8 (with or without its byte order mark) when the bytes are valid UTF-8,
// else code page 932 when they are valid as that; a zero byte or a UTF-16
// byte order mark is no text.
ImportedText DecodeImportedText(std::string_view bytes);

// The day a file name begins with ("YYYY-MM-DD", a real day), for names that
// end in ".txt" or ".md"; false for any other name.
bool ImportFileDay(std::string_view name, DateParts& day);
// True for a ".txt" or ".md" name that begins "YYYY-MM-DD" with no such day
// ("2026-02-30.txt"): the user meant it dated, so it is reported, not ignored.
bool ImportFileMisdated(std::string_view name);

struct ImportOptions {
    std::string folder;    // code page 932
    std::string dataPath;  // the settings' data folder
    bool useEncryption = false;
    std::string password;  // saves lock entries with it, as the program does
};

struct ImportFileReport {
    enum class Outcome { Imported, Appended, Skipped };
    std::string name;  // the file's name, code page 932
    DateParts day;
    Outcome outcome = Outcome::Skipped;
    TextEncoding encoding = TextEncoding::Unknown;
    char32_t badChar = 0;  // for a file skipped for a character
    std::string message;   // code page 932
};

enum class ImportStatus { Done, Cancelled, Failed };

struct ImportResult {
    ImportStatus status = ImportStatus::Done;
    std::size_t imported = 0;  // days that had no entry
    std::size_t appended = 0;  // days whose entry got the text added
    std::size_t skipped = 0;   // dated or misdated files left out (see their reports)
    std::size_t ignored = 0;   // other names in the folder, not looked at
    std::vector<ImportFileReport> files;
    std::string message;  // code page 932: the counts, and what stopped it
};

// Imports the dated files of options.folder in name order (files of one day
// go in one after another). Each day is saved whole as the program saves
// an entry; a cancel keeps what was saved before it. A save that fails stops
// the import (Failed) with the save's message.
ImportResult ImportFolder(const ImportOptions& options, const ProgressFn& progress = {});

}  // namespace kuv
