#include "diary/diary_stats.h"

#include <algorithm>

#include "diary/diary_book.h"
#include "diary/parallel_days.h"
#include "diary/search_entry.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"

namespace kuv {

namespace {

// Days handed to a thread at a time: enough to keep the shared counter cold,
// few enough that both threads end together.
constexpr std::size_t kBatchDays = 32;
constexpr std::size_t kSizeBatchDays = 256;

// Japanese text in code page 932 takes about two bytes a character.
std::uint32_t GuessFromSize(std::int64_t size) {
    return size <= 0 ? 0 : static_cast<std::uint32_t>(std::min<std::int64_t>(size / 2 + 1, ~0u));
}

DayCount SizedDay(const EntryDay& d, std::int64_t size, DayCountKind kind) {
    DayCount c{d.year, d.month, d.day};
    c.kind = kind;
    c.characters = GuessFromSize(size);
    c.written = size > 0;
    return c;
}

DayCount ReadCount(const EntryDay& d, std::string_view text) {
    DayCount c{d.year, d.month, d.day};
    c.kind = DayCountKind::Read;
    // The pane shows the text up to its first zero byte.
    text = text.substr(0, text.find('\0'));
    c.written = HoldsWriting(text);
    c.characters = c.written ? CountCharacters(text) : 0;
    return c;
}

// One day counted as the window would show it. False when its files are gone.
bool CountDay(const std::string& dataPath, const EntryDay& d, const std::string& password,
              DayCount& out) {
    std::string folder, name;
    search_detail::DayPaths(dataPath, d, folder, name);
    fsio::FileStamp stamp;
    if (d.plain) {
        // The common day is read in one pass, without the pane's copies.
        std::string bytes;
        switch (fsio::ReadFileOnce(folder + "/" + name + ".dia", bytes, kMaxPaneBytes, &stamp)) {
            case fsio::ReadStatus::Ok:
                out = ReadCount(d, bytes);
                return true;
            case fsio::ReadStatus::Missing:
                break;  // locked since the listing, most likely
            default:
                // There, but not to be read: it counts by its size.
                fsio::StampOf(folder + "/" + name + ".dia", stamp);
                out = SizedDay(d, stamp.size, DayCountKind::Unreadable);
                return true;
        }
    }
    fsio::StampOf(folder + "/" + name + ".xda", stamp);
    try {
        const PaneContent pane = LoadPane(folder, name, password);
        switch (pane.source) {
            case PaneSource::None:
                return false;
            case PaneSource::Sealed:
                out = SizedDay(d, stamp.size, DayCountKind::Sealed);
                return true;
            default:
                out = ReadCount(d, pane.text);
                return true;
        }
    } catch (const AppError&) {
        out = SizedDay(d, stamp.size, DayCountKind::Unreadable);
        return true;
    }
}

// The counts of the days whose files were still there.
std::vector<DayCount> FoundOnly(const std::vector<DayCount>& counts,
                                const std::vector<char>& found) {
    std::vector<DayCount> out;
    out.reserve(counts.size());
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (found[i] != 0) out.push_back(counts[i]);
    }
    return out;
}

bool IsLineBreak(unsigned char b) {
    return b == '\r' || b == '\n';
}

}  // namespace

std::uint32_t CountCharacters(std::string_view text) {
    std::uint32_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (cp932::IsLeadByte(b) && i + 1 < text.size()) {
            ++i;
            ++n;
        } else if (!IsLineBreak(b)) {
            ++n;
        }
    }
    return n;
}

bool HoldsWriting(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (cp932::IsLeadByte(b) && i + 1 < text.size()) {
            if (b != 0x81 || text[i + 1] != '\x40') return true;  // not the full-width space
            ++i;
        } else if (b != ' ' && b != '\t' && !IsLineBreak(b) && b != '\f' && b != '\v') {
            return true;
        }
    }
    return false;
}

std::vector<DayCount> CountDaysFromSizes(const std::string& dataPath) {
    const std::vector<EntryDay> days = ListAllEntries(dataPath);
    std::vector<DayCount> counts(days.size());
    std::vector<char> found(days.size(), 0);
    // A look at each file's size, on every core: most of the time is the
    // system's.
    ForEachBatch(days.size(), kSizeBatchDays, 0, [&](std::size_t begin, std::size_t end) {
        std::string folder, name;
        for (std::size_t i = begin; i < end; ++i) {
            const EntryDay& d = days[i];
            search_detail::DayPaths(dataPath, d, folder, name);
            fsio::FileStamp stamp;
            // The file the window opens: the .dia wins.
            if (!fsio::StampOf(folder + "/" + name + (d.plain ? ".dia" : ".xda"), stamp)) continue;
            counts[i] = SizedDay(d, stamp.size, DayCountKind::FromSize);
            found[i] = 1;
        }
    });
    return FoundOnly(counts, found);
}

std::vector<DayCount> CountDaysFromText(const std::string& dataPath,
                                        const std::vector<EntryDay>& days,
                                        const std::string& password, unsigned threads) {
    std::vector<DayCount> counts(days.size());
    std::vector<char> found(days.size(), 0);
    ForEachBatch(days.size(), kBatchDays, threads, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            found[i] = CountDay(dataPath, days[i], password, counts[i]) ? 1 : 0;
        }
    });
    return FoundOnly(counts, found);
}

std::vector<DayCount> CountDaysFromText(const std::string& dataPath, const std::string& password,
                                        unsigned threads) {
    return CountDaysFromText(dataPath, ListAllEntries(dataPath), password, threads);
}

int DayNumber(int year, int month, int day) {
    // Days from civil: March-based years put the leap day last.
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

std::int64_t AverageOf(std::int64_t characters, int days, int estimated) {
    const int read = days - estimated;
    return read > 0 ? characters / read : 0;
}

std::int64_t DiaryStats::Average() const {
    return AverageOf(characters, days, estimated);
}

DiaryStats Summarise(const std::vector<DayCount>& days, int todayYear, int todayMonth,
                     int todayDay) {
    std::vector<const DayCount*> written;
    for (const DayCount& d : days) {
        if (d.written) written.push_back(&d);
    }
    std::sort(written.begin(), written.end(), [](const DayCount* a, const DayCount* b) {
        return DayNumber(a->year, a->month, a->day) < DayNumber(b->year, b->month, b->day);
    });

    DiaryStats s;
    YearStats* year = nullptr;
    const int today = DayNumber(todayYear, todayMonth, todayDay);
    int run = 0, yearRun = 0, last = 0, runToToday = 0, runToYesterday = 0;
    for (const DayCount* d : written) {
        const int n = DayNumber(d->year, d->month, d->day);
        if (run > 0 && n == last) continue;  // the same day twice
        const bool follows = run > 0 && n == last + 1;
        run = follows ? run + 1 : 1;
        if (year == nullptr || year->year != d->year) {
            s.years.push_back(YearStats{});
            year = &s.years.back();
            year->year = d->year;
            yearRun = 0;
        }
        yearRun = follows && yearRun > 0 ? yearRun + 1 : 1;
        last = n;
        if (n == today) runToToday = run;
        if (n == today - 1) runToYesterday = run;
        s.longestRun = std::max(s.longestRun, run);
        year->longestRun = std::max(year->longestRun, yearRun);
        ++s.days;
        ++year->days;
        ++year->monthDays[static_cast<std::size_t>(d->month - 1)];
        if (d->kind == DayCountKind::Read) {
            s.characters += d->characters;
            year->characters += d->characters;
            year->monthCharacters[static_cast<std::size_t>(d->month - 1)] += d->characters;
        } else {
            ++s.estimated;
            ++year->estimated;
        }
    }
    s.currentRun = runToToday > 0 ? runToToday : runToYesterday;
    std::reverse(s.years.begin(), s.years.end());
    return s;
}

int ShadeOf(const DayCount& day) {
    if (!day.written) return 0;
    int shade = 1;
    for (std::size_t i = 1; i < kShadeFrom.size(); ++i) {
        if (day.characters >= kShadeFrom[i]) shade = static_cast<int>(i) + 1;
    }
    return shade;
}

}  // namespace kuv
