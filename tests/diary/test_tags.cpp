#include "diary/tags.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diary/search.h"
#include "platform/cp932.h"
#include "tests/support/reference.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;

std::vector<std::string> TagTexts(const std::string& utf8) {
    std::vector<std::string> out;
    for (const Tag& t : TagsOf(Cp932(utf8))) out.push_back(cp932::ToUtf8(t.text));
    return out;
}

TEST(Tags, WhereATagBeginsAndEnds) {
    struct Row {
        const char* text;
        std::vector<std::string> tags;
    };
    const Row rows[] = {
        {"#旅行 と ＃家族", {"旅行", "家族"}},
        {"今日は#旅行。明日も", {"旅行"}},
        {"#旅行、#旅行。", {"旅行"}},
        {"#ﾘｮｺｳ #りょこう #リョコウ", {"ﾘｮｺｳ"}},
        {"#ラーメン々 #a_b-c", {"ラーメン々", "a_b"}},
        {"page.html#top and a#b", {}},
        {"# alone ## #", {}},
        {"(#括弧)「#鉤」", {"括弧", "鉤"}},
        {"#表示\r\n#ソース", {"表示", "ソース"}},
        {"#Ｔｏｋｙｏ #tokyo", {"Ｔｏｋｙｏ"}},
        {"#東京　#大阪\t#京都", {"東京", "大阪", "京都"}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(TagTexts(r.text), r.tags) << r.text;
    }
}

TEST(Tags, CountsDaysMostUsedFirstAsFirstWritten) {
    TagCounter counter;
    for (const char* day : {"#ﾘｮｺｳ #ねこ", "#りょこう #りょこう", "#リョコウ", "#いぬ #ねこ", ""}) {
        counter.AddEntry(Cp932(day));
    }
    std::vector<std::pair<std::string, std::size_t>> got;
    for (const TagCount& t : counter.Counts()) got.emplace_back(cp932::ToUtf8(t.text), t.days);
    const std::vector<std::pair<std::string, std::size_t>> want = {
        {"ﾘｮｺｳ", 3}, {"ねこ", 2}, {"いぬ", 1}};
    EXPECT_EQ(got, want);
}

TEST(Tags, DiaryTagsLeaveOutSealedEntries) {
    test::TempDir data;
    ::mkdir((data / "2001").c_str(), 0700);
    test::WriteBytes(data / "2001/0101.dia", Cp932("#旅行"));
    test::WriteBytes(data / "2001/0102.xda", test::HandContainer(Cp932("#旅行 #秘密"), "pw", 0));
    DiaryTags tags = CountDiaryTags(data.path(), "");
    ASSERT_EQ(tags.tags.size(), 1u);
    EXPECT_EQ(tags.tags[0].days, 1u);
    EXPECT_EQ(tags.sealed, 1u);
    tags = CountDiaryTags(data.path(), "pw");
    ASSERT_EQ(tags.tags.size(), 2u);
    EXPECT_EQ(tags.tags[0].days, 2u);
    EXPECT_EQ(tags.sealed, 0u);

    // The search window's list, from its loaded corpus, says the same.
    for (const char* password : {"", "pw"}) {
        SearchCorpus corpus(data.path());
        corpus.Refresh(password);
        const DiaryTags fromFiles = CountDiaryTags(data.path(), password);
        const DiaryTags fromCorpus = CountCorpusTags(corpus);
        ASSERT_EQ(fromCorpus.tags.size(), fromFiles.tags.size()) << password;
        for (std::size_t i = 0; i < fromFiles.tags.size(); ++i) {
            EXPECT_EQ(fromCorpus.tags[i].text, fromFiles.tags[i].text);
            EXPECT_EQ(fromCorpus.tags[i].days, fromFiles.tags[i].days);
        }
        EXPECT_EQ(fromCorpus.sealed, fromFiles.sealed);
    }
}

}  // namespace
}  // namespace kuv
