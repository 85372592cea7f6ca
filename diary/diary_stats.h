#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "diary/catalog.h"

// How much and how steadily the diary was written: days written,
// characters, runs of days and characters per month, for the whole diary and
// for each year. A first picture comes from the folder listings and the
// files' sizes alone; reading the entries makes it exact. Nothing is kept on
// disk. Everything here is safe to call from any thread.
namespace kuv {

// How a day's count was found.
enum class DayCountKind : std::uint8_t {
    FromSize,    // from the file's size only: the entry was not read
    Read,        // from the entry's text
    Sealed,      // a locked entry the password does not open: from its size
    Unreadable,  // the file could not be read: from its size
};

struct DayCount {
    int year = 0, month = 0, day = 0;
    // Exact when kind is Read; a guess from the file's size otherwise.
    std::uint32_t characters = 0;
    DayCountKind kind = DayCountKind::FromSize;
    // The entry holds something other than white space (a guess too, when
    // not read: any non-empty file).
    bool written = false;
    bool operator==(const DayCount&) const = default;
};

// Unicode characters of code page 932 text, line breaks left out.
std::uint32_t CountCharacters(std::string_view cp932Text);
// True when the text holds a character that is not white space (spaces
// ASCII or full-width, tabs, line breaks): a written day.
bool HoldsWriting(std::string_view cp932Text);

// The days with an entry file and a guess of each one's length from the size
// of the file the window would open: the first heatmap, without reading an
// entry. Oldest first.
std::vector<DayCount> CountDaysFromSizes(const std::string& dataPath);

// The same days counted from their text, read as the window reads them (the
// .dia wins, a .xda is decoded with the password), on up to threads threads
// (0: as many as the machine has, at most four). Oldest first; a day whose
// files are gone since they were listed is left out.
std::vector<DayCount> CountDaysFromText(const std::string& dataPath,
                                        const std::vector<EntryDay>& days,
                                        const std::string& password, unsigned threads = 0);
std::vector<DayCount> CountDaysFromText(const std::string& dataPath, const std::string& password,
                                        unsigned threads = 0);

// A day as a number: consecutive days get consecutive numbers.
int DayNumber(int year, int month, int day);

struct YearStats {
    int year = 0;
    int days = 0;                 // days written
    std::int64_t characters = 0;  // of the days read
    int longestRun = 0;           // within the year
    std::array<std::int64_t, 12> monthCharacters{};
    std::array<int, 12> monthDays{};  // days written in each month
    int estimated = 0;                // written days counted by size (sealed, unreadable, unread)
};

struct DiaryStats {
    int days = 0;
    std::int64_t characters = 0;
    int longestRun = 0;
    // The run of written days that ends today, or yesterday while today is
    // still empty.
    int currentRun = 0;
    int estimated = 0;
    std::vector<YearStats> years;  // newest first, only years with a written day

    // Characters per written day whose text was read, rounded down; 0 when
    // none was.
    std::int64_t Average() const;
};
std::int64_t AverageOf(std::int64_t characters, int days, int estimated);

// The figures of the days (in any order; one count a day). Characters add up
// those read only: a size says too little to be added to what was counted.
DiaryStats Summarise(const std::vector<DayCount>& days, int todayYear, int todayMonth,
                     int todayDay);

// The heatmap's shade of a day: 0 for no written day, then 1 to 4 by length.
int ShadeOf(const DayCount& day);
// The least characters of shades 1 to 4.
inline constexpr std::array<std::uint32_t, 4> kShadeFrom = {1, 200, 600, 1200};

}  // namespace kuv
