#include "diary/catalog.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::TempDir;
using test::WriteBytes;

TEST(Catalog, ListsOnlyTheNamesTheProgramLoads) {
    TempDir dir;
    for (const char* year : {"2004", "2005", "notes", "123", "20050"}) {
        ::mkdir((dir / year).c_str(), 0700);
    }
    const char* files[] = {
        "2004/0229.dia",  // a leap day in a leap year
        "2005/0229.dia",  // no such day
        "2005/0117.dia",
        "2005/0117.xda",  // both files: one day
        "2005/1231.xda",
        "2005/0101.DIA",  // upper case is not the program's name
        "2005/0132.dia",
        "2005/1301.dia",
        "2005/0117.$$$",
        "2005/0117.dia.bak",
        "2005/0230.xda",
        "notes/0101.dia",
        "2005/0117.conflict-20050117-101010.dia",
    };
    for (const char* f : files) WriteBytes(dir / f, "x");
    ::mkdir((dir / "2005/0301.dia").c_str(), 0700);  // a folder is no entry

    EXPECT_EQ(ListYears(dir.path()), (std::vector<int>{2004, 2005}));
    const std::vector<EntryDay> want = {
        {2004, 2, 29, true, false},
        {2005, 1, 17, true, true},
        {2005, 12, 31, false, true},
    };
    EXPECT_EQ(ListAllEntries(dir.path()), want);
    EXPECT_EQ(ListEntries(dir.path(), 2005, 12), (std::vector<EntryDay>{want[2]}));
    EXPECT_TRUE(ListEntries(dir.path(), 2006).empty());
    EXPECT_TRUE(ListAllEntries(dir / "missing").empty());
}

}  // namespace
}  // namespace kuv
