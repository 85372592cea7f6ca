#include "import/import_folder.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>

#include "diary/diary_book.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"

namespace kuv {

namespace {

// "%s を %s の日記として取り込みました（%s）。"
const char* const kImported =
    "%s \x82\xf0 %s "
    "\x82\xcc\x93\xfa\x8b\x4c\x82\xc6\x82\xb5\x82\xc4\x8e\xe6\x82\xe8\x8d\x9e\x82\xdd\x82\xdc\x82"
    "\xb5\x82\xbd\x81\x69%s\x81\x6a\x81\x42";
// "%s を %s の日記に追記しました（%s）。"
const char* const kAppended =
    "%s \x82\xf0 %s "
    "\x82\xcc\x93\xfa\x8b\x4c\x82\xc9\x92\xc7\x8b\x4c\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x69%"
    "s\x81\x6a\x81\x42";
// "%s: 文字 %s はコードページ 932 で書けないため、取り込んでいません。"
const char* const kBadChar =
    "%s: \x95\xb6\x8e\x9a %s \x82\xcd\x83\x52\x81\x5b\x83\x68\x83\x79\x81\x5b\x83\x57 932 "
    "\x82\xc5\x8f\x91\x82\xaf\x82\xc8\x82\xa2\x82\xbd\x82\xdf\x81\x41\x8e\xe6\x82\xe8\x8d\x9e\x82"
    "\xf1\x82\xc5\x82\xa2\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// "%s: UTF-8 でもコードページ 932 でもないため、取り込んでいません。"
const char* const kUnknownEncoding =
    "%s: UTF-8 \x82\xc5\x82\xe0\x83\x52\x81\x5b\x83\x68\x83\x79\x81\x5b\x83\x57 932 "
    "\x82\xc5\x82\xe0\x82\xc8\x82\xa2\x82\xbd\x82\xdf\x81\x41\x8e\xe6\x82\xe8\x8d\x9e\x82\xf1\x82"
    "\xc5\x82\xa2\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// "%s: テキストファイルではないため、取り込んでいません。"
const char* const kNotText =
    "%s: "
    "\x83\x65\x83\x4c\x83\x58\x83\x67\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc5\x82\xcd\x82\xc8\x82"
    "\xa2\x82\xbd\x82\xdf\x81\x41\x8e\xe6\x82\xe8\x8d\x9e\x82\xf1\x82\xc5\x82\xa2\x82\xdc\x82\xb9"
    "\x82\xf1\x81\x42";
// "%s: 空のため、取り込んでいません。"
const char* const kEmptyFile =
    "%s: "
    "\x8b\xf3\x82\xcc\x82\xbd\x82\xdf\x81\x41\x8e\xe6\x82\xe8\x8d\x9e\x82\xf1\x82\xc5\x82\xa2\x82"
    "\xdc\x82\xb9\x82\xf1\x81\x42";
// "%s: その日の日記にもう入っているため、取り込んでいません。"
const char* const kAlreadyThere =
    "%s: "
    "\x82\xbb\x82\xcc\x93\xfa\x82\xcc\x93\xfa\x8b\x4c\x82\xc9\x82\xe0\x82\xa4\x93\xfc\x82\xc1\x82"
    "\xc4\x82\xa2\x82\xe9\x82\xbd\x82\xdf\x81\x41\x8e\xe6\x82\xe8\x8d\x9e\x82\xf1\x82\xc5\x82\xa2"
    "\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// "%s: その日の鍵付きの日記がパスワードで開けないため、取り込んでいません。"
const char* const kSealedDay =
    "%s: "
    "\x82\xbb\x82\xcc\x93\xfa\x82\xcc\x8c\xae\x95\x74\x82\xab\x82\xcc\x93\xfa\x8b\x4c\x82\xaa\x83"
    "\x70\x83\x58\x83\x8f\x81\x5b\x83\x68\x82\xc5\x8a\x4a\x82\xaf\x82\xc8\x82\xa2\x82\xbd\x82\xdf"
    "\x81\x41\x8e\xe6\x82\xe8\x8d\x9e\x82\xf1\x82\xc5\x82\xa2\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// "%s: 大きすぎるため、取り込んでいません。"
const char* const kTooLarge =
    "%s: "
    "\x91\xe5\x82\xab\x82\xb7\x82\xac\x82\xe9\x82\xbd\x82\xdf\x81\x41\x8e\xe6\x82\xe8\x8d\x9e\x82"
    "\xf1\x82\xc5\x82\xa2\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// "%s: 読めないため、取り込んでいません。"
const char* const kCannotRead =
    "%s: "
    "\x93\xc7\x82\xdf\x82\xc8\x82\xa2\x82\xbd\x82\xdf\x81\x41\x8e\xe6\x82\xe8\x8d\x9e\x82\xf1\x82"
    "\xc5\x82\xa2\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// "%s: 名前の日付が暦にない日のため、取り込んでいません。"
const char* const kNoSuchDay =
    "%s: "
    "\x96\xbc\x91\x4f\x82\xcc\x93\xfa\x95\x74\x82\xaa\x97\xef\x82\xc9\x82\xc8\x82\xa2\x93"
    "\xfa\x82\xcc\x82\xbd\x82\xdf\x81\x41\x8e\xe6\x82\xe8\x8d\x9e\x82\xf1\x82\xc5\x82\xa2"
    "\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// "取り込み: 新しい日記 %s 件、追記 %s 件、取り込まなかったファイル %s 件。"
const char* const kSummary =
    "\x8e\xe6\x82\xe8\x8d\x9e\x82\xdd: \x90\x56\x82\xb5\x82\xa2\x93\xfa\x8b\x4c %s "
    "\x8c\x8f\x81\x41\x92\xc7\x8b\x4c %s "
    "\x8c\x8f\x81\x41\x8e\xe6\x82\xe8\x8d\x9e\x82\xdc\x82\xc8\x82\xa9\x82\xc1\x82\xbd\x83\x74\x83"
    "\x40\x83\x43\x83\x8b %s \x8c\x8f\x81\x42";
// "取り込みを取り消しました。"
const char* const kCancelled =
    "\x8e\xe6\x82\xe8\x8d\x9e\x82\xdd\x82\xf0\x8e\xe6\x82\xe8\x8f\xc1\x82\xb5\x82\xdc\x82\xb5\x82"
    "\xbd\x81\x42";
// "フォルダ %s を読めません。"
const char* const kNoFolder =
    "\x83\x74\x83\x48\x83\x8b\x83\x5f %s \x82\xf0\x93\xc7\x82\xdf\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// "コードページ 932"
const char* const kCodePage932 = "\x83\x52\x81\x5b\x83\x68\x83\x79\x81\x5b\x83\x57 932";

// "。"
const char* const kFullStop = "\x81\x42";

// UTF-8 to UTF-16 through iconv; nothing when the bytes are not valid UTF-8.
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
    iconv_t cd = ::iconv_open("UTF-16LE", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    const std::size_t r = ::iconv(cd, &in, &inLeft, &to, &outLeft);
    ::iconv_close(cd);
    if (r == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
    const std::size_t bytes = out.size() - outLeft;
    std::u16string text(bytes / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(out[2 * i]) |
                                        (static_cast<unsigned char>(out[2 * i + 1]) << 8));
    }
    return text;
}

// Code page 932 bytes that every one read as a character: ToUtf16 keeps each
// byte that starts none as a lone surrogate U+DC80 to U+DCFF.
bool IsValidCp932(std::string_view bytes) {
    const std::u16string text = cp932::ToUtf16(bytes);
    return std::none_of(text.begin(), text.end(),
                        [](char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; });
}

bool EndsWithNoCase(std::string_view s, std::string_view tail) {
    if (s.size() < tail.size()) return false;
    return std::equal(
        tail.begin(), tail.end(), s.end() - static_cast<std::ptrdiff_t>(tail.size()),
        [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b + 32) : b); });
}

std::string EncodingName(TextEncoding encoding) {
    return encoding == TextEncoding::Utf8 ? "UTF-8" : kCodePage932;
}

std::string Digits(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

std::string ShownDay(const DateParts& d) {
    return Digits(d.year, 4) + "/" + Digits(d.month, 2) + "/" + Digits(d.day, 2);
}

std::string Summary(const ImportResult& r) {
    return FormatMessage(kSummary, {std::to_string(r.imported), std::to_string(r.appended),
                                    std::to_string(r.skipped)});
}

}  // namespace

ImportedText DecodeImportedText(std::string_view bytes) {
    ImportedText out;
    if (bytes.find('\0') != std::string_view::npos || bytes.substr(0, 2) == "\xFF\xFE" ||
        bytes.substr(0, 2) == "\xFE\xFF") {
        out.problem = ImportedText::Problem::NotText;
        return out;
    }
    const bool bom = bytes.substr(0, 3) == "\xEF\xBB\xBF";
    if (bom) bytes.remove_prefix(3);
    if (std::optional<std::u16string> utf16 = Utf8ToUtf16(bytes)) {
        out.encoding = TextEncoding::Utf8;
        cp932::Encoded encoded = cp932::FromUtf16(*utf16);
        if (!encoded.ok) {
            out.problem = ImportedText::Problem::BadChar;
            out.badChar = encoded.badChar;
            return out;
        }
        out.entry = PaneTextFromFile(encoded.bytes);
    } else if (!bom && IsValidCp932(bytes)) {
        out.encoding = TextEncoding::Cp932;
        out.entry = PaneTextFromFile(bytes);
    } else {
        out.problem = ImportedText::Problem::UnknownEncoding;
        return out;
    }
    if (out.entry.find_first_not_of(" \t\r\n") == std::string::npos) {
        out.problem = ImportedText::Problem::Empty;
        out.entry.clear();
    }
    return out;
}

bool ImportFileDay(std::string_view name, DateParts& day) {
    if (!EndsWithNoCase(name, ".txt") && !EndsWithNoCase(name, ".md")) return false;
    const std::optional<DateParts> named = ParseIsoDay(name.substr(0, 10));
    if (!named) return false;
    day = *named;
    return true;
}

bool ImportFileMisdated(std::string_view name) {
    if (!EndsWithNoCase(name, ".txt") && !EndsWithNoCase(name, ".md")) return false;
    if (name.size() < 10) return false;
    for (std::size_t i = 0; i < 10; ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? name[i] != '-' : (name[i] < '0' || name[i] > '9')) return false;
    }
    DateParts day;
    return !ImportFileDay(name, day);
}

ImportResult ImportFolder(const ImportOptions& options, const ProgressFn& progress) {
    ImportResult result;
    std::vector<fsio::DirEntry> entries;
    if (!fsio::ListDirectory(options.folder, entries)) {
        result.status = ImportStatus::Failed;
        result.message = FormatMessage(kNoFolder, options.folder);
        return result;
    }
    std::vector<std::pair<std::string, DateParts>> dated;
    for (const fsio::DirEntry& e : entries) {
        DateParts day;
        if (e.kind == fsio::Kind::File && ImportFileDay(e.name, day)) {
            dated.emplace_back(e.name, day);
        } else if (e.kind == fsio::Kind::File && ImportFileMisdated(e.name)) {
            // Year 0 marks a file meant for a day that is none: it is reported.
            dated.emplace_back(e.name, DateParts{});
        } else {
            ++result.ignored;
        }
    }
    std::sort(dated.begin(), dated.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });

    const std::uint64_t total = dated.size();
    std::uint64_t done = 0;
    for (const auto& [name, day] : dated) {
        if (!KeepGoing(progress, done++, total)) {
            result.status = ImportStatus::Cancelled;
            result.message = std::string(kCancelled) + Summary(result);
            return result;
        }
        ImportFileReport report;
        report.name = name;
        report.day = day;
        const auto skip = [&](const char* why) {
            report.outcome = ImportFileReport::Outcome::Skipped;
            report.message = FormatMessage(why, name);
            ++result.skipped;
            result.files.push_back(report);
        };

        if (day.year == 0) {
            skip(kNoSuchDay);
            continue;
        }
        std::string bytes;
        switch (fsio::ReadWholeFile(options.folder + "/" + name, bytes, kMaxPaneBytes)) {
            case fsio::ReadStatus::Ok:
                break;
            case fsio::ReadStatus::TooLarge:
                skip(kTooLarge);
                continue;
            default:
                skip(kCannotRead);
                continue;
        }
        const ImportedText text = DecodeImportedText(bytes);
        report.encoding = text.encoding;
        switch (text.problem) {
            case ImportedText::Problem::None:
                break;
            case ImportedText::Problem::NotText:
                skip(kNotText);
                continue;
            case ImportedText::Problem::UnknownEncoding:
                skip(kUnknownEncoding);
                continue;
            case ImportedText::Problem::Empty:
                skip(kEmptyFile);
                continue;
            case ImportedText::Problem::BadChar:
                report.badChar = text.badChar;
                report.outcome = ImportFileReport::Outcome::Skipped;
                report.message =
                    FormatMessage(kBadChar, {name, cp932::CodePointName(text.badChar)});
                ++result.skipped;
                result.files.push_back(report);
                continue;
        }

        const std::string folder = options.dataPath + "/" + Digits(day.year, 4);
        const std::string entryName = Digits(day.month, 2) + Digits(day.day, 2);
        PaneContent existing;
        try {
            existing = LoadPane(folder, entryName, options.password);
        } catch (const AppError& e) {
            // The day's entry cannot be read, so nothing may be added to it.
            report.outcome = ImportFileReport::Outcome::Skipped;
            report.message = name + ": " + e.what();
            ++result.skipped;
            result.files.push_back(report);
            continue;
        }
        if (existing.source == PaneSource::Sealed) {
            skip(kSealedDay);
            continue;
        }
        const std::string& old = existing.text;
        std::string merged;
        if (old.empty()) {
            merged = text.entry;
        } else if (old.size() >= text.entry.size() &&
                   old.compare(old.size() - text.entry.size(), text.entry.size(), text.entry) ==
                       0) {
            // Imported before: the same text twice would be no help.
            skip(kAlreadyThere);
            continue;
        } else {
            // After an empty line: the last line ended, then one more break.
            const bool endsLine = old.size() >= 2 && old.compare(old.size() - 2, 2, "\r\n") == 0;
            merged = old + (endsLine ? "\r\n" : "\r\n\r\n") + text.entry;
        }
        if (merged.size() > kMaxPaneBytes) {
            skip(kTooLarge);
            continue;
        }
        try {
            SaveEntry(folder, entryName, merged, options.useEncryption, options.password);
        } catch (const AppError& e) {
            // The entry stays as it was; a disk that refuses one save will
            // refuse the next, so the import stops here.
            report.message = e.what();
            result.files.push_back(report);
            ++result.skipped;
            result.status = ImportStatus::Failed;
            result.message = std::string(e.what()) + kFullStop + Summary(result);
            return result;
        }
        report.outcome =
            old.empty() ? ImportFileReport::Outcome::Imported : ImportFileReport::Outcome::Appended;
        const bool appended = report.outcome == ImportFileReport::Outcome::Appended;
        report.message = FormatMessage(appended ? kAppended : kImported,
                                       {name, ShownDay(day), EncodingName(text.encoding)});
        ++(appended ? result.appended : result.imported);
        result.files.push_back(report);
    }
    KeepGoing(progress, total, total);
    result.message = Summary(result);
    return result;
}

}  // namespace kuv
