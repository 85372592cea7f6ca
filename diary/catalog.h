#pragma once

#include <string>
#include <vector>

// The days of a data folder that hold an entry, found by listing the year
// folders' names: no entry file is opened or read.
namespace kuv {

struct EntryDay {
    int year = 0, month = 0, day = 0;
    bool plain = false;   // mmdd.dia is there
    bool locked = false;  // mmdd.xda is there
    bool operator==(const EntryDay&) const = default;
};

// The year folders ("0001" to "9999"), ascending.
std::vector<int> ListYears(const std::string& dataPath);

// The days of one year with an entry file, ascending; month 1 to 12 keeps one
// month, 0 the whole year. Only names the program loads count: "mmdd.dia" and
// "mmdd.xda" of a real calendar day, as regular files (or links to them).
std::vector<EntryDay> ListEntries(const std::string& dataPath, int year, int month = 0);

// Every day of every year, oldest first.
std::vector<EntryDay> ListAllEntries(const std::string& dataPath);

}  // namespace kuv
