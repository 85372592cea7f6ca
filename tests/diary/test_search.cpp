#include "diary/search.h"

#include <sys/stat.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "dates/date_locale.h"
#include "platform/cp932.h"
#include "platform/fileio.h"
#include "tests/support/reference.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;
using test::HandContainer;
using test::TempDir;
using test::WriteBytes;

const std::string kPassword = "pass";

class SearchTest : public ::testing::Test {
  protected:
    // Writes an entry from UTF-8 text: .dia, or .xda locked under key.
    void Entry(const std::string& day, const std::string& utf8, const std::string& key = "") {
        const std::string year = day.substr(0, 4);
        ::mkdir((data / year).c_str(), 0700);
        const std::string name = data / (year + "/" + day.substr(5, 2) + day.substr(8, 2));
        if (key.empty()) {
            WriteBytes(name + ".dia", Cp932(utf8));
        } else {
            WriteBytes(name + ".xda", HandContainer(Cp932(utf8), key, 0));
        }
    }

    // "yyyy-mm-dd line" for every match, as a reader would check them.
    static std::vector<std::string> Rows(const SearchResults& r) {
        std::vector<std::string> rows;
        for (std::size_t i = 0; i < r.matches.size(); ++i) {
            char date[16];
            std::snprintf(date, sizeof date, "%04d-%02d-%02d ", r.matches[i].year,
                          r.matches[i].month, r.matches[i].day);
            rows.push_back(date + cp932::ToUtf8(r.Row(i).line));
        }
        return rows;
    }

    SearchResults Find(SearchCorpus& corpus, const std::string& utf8) {
        return corpus.Search(ParseQuery(Cp932(utf8)));
    }

    TempDir data;
};

TEST_F(SearchTest, FindsTwoCharacterWordsNewestFirst) {
    Entry("2003-05-01", "朝は雨。\r\n東京へ行った。");
    Entry("2004-02-29", "京都と東京");
    Entry("2001-01-17", "とうきょう\r\n東 京\r\nトウキョウ");
    SearchCorpus corpus(data.path());
    ASSERT_TRUE(corpus.Refresh(""));

    const SearchResults r = Find(corpus, "東京");
    EXPECT_EQ(Rows(r),
              (std::vector<std::string>{"2004-02-29 京都と東京", "2003-05-01 東京へ行った。"}));
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.searched, 3u);
    EXPECT_EQ(Rows(Find(corpus, "ﾄｳｷｮｳ")), (std::vector<std::string>{"2001-01-17 とうきょう"}));
    EXPECT_TRUE(Find(corpus, "").matches.empty());
    EXPECT_TRUE(Find(corpus, "大阪").matches.empty());
}

TEST_F(SearchTest, EveryTermMustAppear) {
    Entry("2005-01-01", "ねこと散歩\r\n公園で");
    Entry("2005-01-02", "ネコ");
    Entry("2005-01-03", "公園");
    SearchCorpus corpus(data.path());
    corpus.Refresh("");
    struct Case {
        const char* query;
        std::vector<std::string> want;
    };
    const Case cases[] = {
        {"ねこ 公園", {"2005-01-01 ねこと散歩"}},
        {"公園　ねこ", {"2005-01-01 ねこと散歩"}},  // full-width space; the first match's line
        {"  ﾈｺ  ", {"2005-01-02 ネコ", "2005-01-01 ねこと散歩"}},
        {"ねこ 公園 犬", {}},
        {"公園 公園", {"2005-01-03 公園", "2005-01-01 公園で"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Rows(Find(corpus, c.query)), c.want) << c.query;
}

TEST_F(SearchTest, RowsMarkEveryMatchInTheLinesOwnOffsets) {
    Entry("2006-07-07", "一行目\r\nＡＢＣとabcとｱﾋﾞｼ\r\n三行目abc");
    SearchCorpus corpus(data.path());
    corpus.Refresh("");
    const SearchResults r = Find(corpus, "abc あびし");
    ASSERT_EQ(r.matches.size(), 1u);
    const SearchRow row = r.Row(0);
    EXPECT_EQ(row.line, Cp932("ＡＢＣとabcとｱﾋﾞｼ"));
    // ＡＢＣ is bytes 0-6, abc 8-11, ｱﾋﾞｼ 13-17 (ﾋﾞ two bytes).
    EXPECT_EQ(row.spans, (std::vector<MatchSpan>{{0, 6}, {8, 11}, {13, 17}}));
    EXPECT_EQ(Utf16Spans(row.line, row.spans), (std::vector<MatchSpan>{{0, 3}, {4, 7}, {8, 12}}));
    EXPECT_TRUE(r.Row(5).line.empty());
}

TEST_F(SearchTest, LockedEntriesOpenOnlyWithThePassword) {
    Entry("2007-03-01", "秘密の東京", kPassword);
    Entry("2007-03-02", "古い鍵の東京", "old");
    Entry("2007-03-03", "東京");
    SearchCorpus corpus(data.path());

    corpus.Refresh("");
    SearchResults r = Find(corpus, "東京");
    EXPECT_EQ(Rows(r), (std::vector<std::string>{"2007-03-03 東京"}));
    EXPECT_EQ(r.sealed, 2u);

    // Unlocked in this session: the locked days are read again.
    corpus.Refresh(kPassword);
    r = Find(corpus, "東京");
    EXPECT_EQ(Rows(r), (std::vector<std::string>{"2007-03-03 東京", "2007-03-01 秘密の東京"}));
    EXPECT_EQ(r.matches[1].source, PaneSource::Locked);
    EXPECT_EQ(r.sealed, 1u);
    EXPECT_EQ(corpus.Stats().sealed, 1u);

    // Locked again: the decoded text goes.
    corpus.Refresh("");
    EXPECT_EQ(Find(corpus, "秘密").matches.size(), 0u);
    EXPECT_EQ(Find(corpus, "秘密").sealed, 2u);
}

TEST_F(SearchTest, RefreshReadsOnlyWhatChanged) {
    Entry("2008-01-01", "りんご");
    Entry("2008-01-02", "みかん");
    Entry("2008-01-03", "ぶどう");
    SearchCorpus corpus(data.path());
    corpus.Refresh("");
    const SearchResults before = Find(corpus, "りんご");

    // Same size, and a modification time that a second refresh must notice.
    Entry("2008-01-01", "すいか");
    struct timeval times[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimes((data / "2008/0101.dia").c_str(), times);
    ::unlink((data / "2008/0103.dia").c_str());
    Entry("2008-12-31", "りんご");
    Entry("2008-01-02", "みかん", kPassword);  // a locked file beside: .dia still wins

    fsio::fault::Reset();
    corpus.Refresh(kPassword);
    // The changed day, the new one and the one with a new locked file.
    EXPECT_EQ(fsio::fault::Calls(fsio::fault::Op::Open), 3);
    EXPECT_EQ(Rows(Find(corpus, "りんご")), (std::vector<std::string>{"2008-12-31 りんご"}));
    EXPECT_EQ(Rows(Find(corpus, "すいか")), (std::vector<std::string>{"2008-01-01 すいか"}));
    EXPECT_TRUE(Find(corpus, "ぶどう").matches.empty());
    EXPECT_EQ(corpus.Stats().entries, 3u);
    EXPECT_EQ(Find(corpus, "みかん").matches.at(0).source, PaneSource::Plain);
    // Results made before still show what they found.
    EXPECT_EQ(Rows(before), (std::vector<std::string>{"2008-01-01 りんご"}));

    // Nothing changed: no entry file is opened.
    fsio::fault::Reset();
    corpus.Refresh(kPassword);
    EXPECT_EQ(fsio::fault::Calls(fsio::fault::Op::Open), 0);
    EXPECT_EQ(Find(corpus, "すいか").matches.size(), 1u);
}

// A save, an import or a change seen in a year folder refreshes that year
// alone; what a refresh left unfinished still loads.
TEST_F(SearchTest, ARefreshOfSomeYearsReadsThoseYearsOnly) {
    Entry("2001-01-01", "古い猫");
    Entry("2002-01-01", "犬");
    Entry("2002-01-02", "鳥");
    Entry("2003-01-01", "魚");
    SearchCorpus corpus(data.path());
    corpus.Refresh("");

    ::unlink((data / "2002/0102.dia").c_str());
    Entry("2002-03-03", "新しい猫");
    Entry("2002-01-01", "猫と犬");
    Entry("2001-01-01", "猫のいない日");  // not in a named year: not looked at
    fsio::fault::Reset();
    corpus.BeginRefreshYears("", {2002, 2005});
    while (corpus.LoadStep()) {
    }
    EXPECT_EQ(corpus.Progress().total, 2u);
    EXPECT_EQ(fsio::fault::Calls(fsio::fault::Op::Open), 2);
    EXPECT_TRUE(corpus.Loaded());
    EXPECT_EQ(Rows(Find(corpus, "猫")),
              (std::vector<std::string>{"2002-03-03 新しい猫", "2002-01-01 猫と犬",
                                        "2001-01-01 古い猫"}));
    EXPECT_TRUE(Find(corpus, "鳥").matches.empty());

    SearchCorpus fresh(data.path());
    fresh.BeginRefresh("");
    fresh.LoadStep(1);  // 2003 only
    fresh.BeginRefreshYears("", {2002});
    while (fresh.LoadStep()) {
    }
    EXPECT_EQ(Rows(Find(fresh, "猫")),
              (std::vector<std::string>{"2002-03-03 新しい猫", "2002-01-01 猫と犬",
                                        "2001-01-01 猫のいない日"}));
    EXPECT_EQ(fresh.Stats().entries, 4u);
}

TEST_F(SearchTest, ManyDaysReadAgainKeepTheirStampsAndText) {
    for (int d = 1; d <= 20; ++d) {
        char day[16];
        std::snprintf(day, sizeof day, "2010-03-%02d", d);
        Entry(day, "古い日記");
    }
    SearchCorpus corpus(data.path());
    corpus.Refresh("");
    // Half the days change: their old copies leave too much held, and the
    // corpus lays out its folded copies anew.
    for (int d = 1; d <= 20; d += 2) {
        char day[16];
        std::snprintf(day, sizeof day, "2010-03-%02d", d);
        Entry(day, "新しい日記です");
    }
    corpus.Refresh("");
    EXPECT_EQ(Find(corpus, "新しい").matches.size(), 10u);
    EXPECT_EQ(Find(corpus, "古い").matches.size(), 10u);
    EXPECT_EQ(Rows(Find(corpus, "古い")).front(), "2010-03-20 古い日記");
    const CorpusStats stats = corpus.Stats();
    EXPECT_EQ(stats.foldedBytes, stats.textBytes);
    // What was laid out anew still knows its files: nothing is read again.
    fsio::fault::Reset();
    corpus.Refresh("");
    EXPECT_EQ(fsio::fault::Calls(fsio::fault::Op::Open), 0);
}

TEST_F(SearchTest, UnreadableEntriesAreCountedAndTriedAgain) {
    Entry("2009-01-01", "東京");
    Entry("2009-01-02", "東京");
    SearchCorpus corpus(data.path());
    fsio::fault::FailNth(fsio::fault::Op::Open, 1);
    corpus.Refresh("");
    fsio::fault::Reset();
    SearchResults r = Find(corpus, "東京");
    EXPECT_EQ(r.unreadable, 1u);
    EXPECT_EQ(Rows(r), (std::vector<std::string>{"2009-01-01 東京"}));
    corpus.Refresh("");
    r = Find(corpus, "東京");
    EXPECT_EQ(r.unreadable, 0u);
    EXPECT_EQ(r.matches.size(), 2u);
}

TEST_F(SearchTest, LoadsInStepsWhileQueriesRun) {
    for (int d = 1; d <= 28; ++d) {
        char day[16];
        std::snprintf(day, sizeof day, "2009-02-%02d", d);
        Entry(day, d % 2 == 0 ? "偶数の日 東京" : "奇数の日");
    }
    SearchCorpus corpus(data.path());
    corpus.BeginRefresh("");
    EXPECT_EQ(corpus.Progress().total, 28u);
    ASSERT_TRUE(corpus.LoadStep(10));
    // The newest ten days come first.
    SearchResults partial = Find(corpus, "東京");
    EXPECT_FALSE(partial.complete);
    EXPECT_EQ(partial.matches.size(), 5u);
    EXPECT_EQ(partial.matches.front().day, 28);

    std::vector<LoadProgress> seen;
    std::thread worker([&] { corpus.Refresh("", {}, [&](LoadProgress p) { seen.push_back(p); }); });
    // Queries on this thread meanwhile see whole steps, newest days first.
    for (int i = 0; i < 200; ++i) {
        const SearchResults r = Find(corpus, "東京");
        ASSERT_LE(r.matches.size(), 14u);
        for (std::size_t k = 0; k < r.matches.size(); ++k) {
            EXPECT_EQ(r.matches[k].day, 28 - 2 * static_cast<int>(k));
        }
    }
    worker.join();
    EXPECT_TRUE(corpus.Loaded());
    EXPECT_EQ(Find(corpus, "東京").matches.size(), 14u);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().done, 28u);

    // A refresh stopped before its first step keeps what is there.
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(corpus.Refresh("", stop.get_token()));
    EXPECT_FALSE(corpus.Loaded());
    EXPECT_EQ(Find(corpus, "東京").matches.size(), 14u);
}

TEST_F(SearchTest, FilesGiveWhatTheCorpusGives) {
    Entry("2010-10-10", "東京タワー");
    Entry("2010-10-11", "東京の鍵", kPassword);
    Entry("2011-10-10", "大阪");
    Entry("2011-10-12", "ｓｅａｌｅｄ", "other");
    SearchCorpus corpus(data.path());
    corpus.Refresh(kPassword);
    for (const char* q : {"東京", "とうきょう", "大阪 東京", "タワー"}) {
        const SearchResults a = Find(corpus, q);
        const SearchResults b = SearchFiles(data.path(), kPassword, ParseQuery(Cp932(q)));
        EXPECT_EQ(Rows(a), Rows(b)) << q;
        EXPECT_EQ(a.sealed, b.sealed);
        EXPECT_EQ(a.searched, b.searched);
    }
    EXPECT_EQ(SearchFiles(data / "missing", "", ParseQuery(Cp932("x"))).searched, 0u);
}

TEST(SearchQuery, SplitsAndFoldsTerms) {
    struct Case {
        std::u16string text;
        std::size_t terms;
        bool unmatchable;
    };
    const Case cases[] = {
        {u"東京　大阪", 2, false},   {u"  a  ", 1, false},  {u"ａ a A", 1, false},
        {u"ねこ ネコ ﾈｺ", 1, false}, {u"\t\r\n", 0, false}, {u"東京 \U0001F600", 1, true},
        {u"〜", 1, false},
    };
    for (const Case& c : cases) {
        const SearchQuery q = ParseQuery(c.text);
        EXPECT_EQ(q.terms.size(), c.terms) << cp932::ToUtf8(cp932::FromUtf16(c.text).bytes);
        EXPECT_EQ(q.unmatchable, c.unmatchable);
        // The code page 932 form of the same text splits the same way.
        const cp932::Encoded bytes = cp932::FromUtf16(c.text);
        if (bytes.ok) {
            EXPECT_EQ(ParseQuery(bytes.bytes).terms, q.terms);
        }
    }
    EXPECT_EQ(ParseQuery(u"〜").terms, ParseQuery(std::string_view("~")).terms);
    EXPECT_TRUE(ParseQuery(u" ").Empty());
}

TEST(SearchQuery, DatesShowTheShortDateAndWeekday) {
    DateLocale() = JapaneseDateLocale();
    EXPECT_EQ(ResultDateText(2001, 1, 17), Cp932("2001/01/17 (水)"));
    EXPECT_EQ(ResultDateText(2004, 2, 29), Cp932("2004/02/29 (日)"));
    // A two-digit year is shown with four digits, as the picker shows it.
    struct Case {
        const char* shortDate;
        const char* shown;
    };
    for (const Case& c : {Case{"m/d/yy", "6/15/2015 (Mon)"}, Case{"dd.mm.yyyy", "15.06.2015 (Mon)"},
                          Case{"yy\"yy\"mm", "2015yy06 (Mon)"}}) {
        DateLocale() = FallbackDateLocale();
        DateLocale().shortDateFormat = c.shortDate;
        EXPECT_EQ(ResultDateText(2015, 6, 15), c.shown) << c.shortDate;
    }
    DateLocale() = JapaneseDateLocale();
}

}  // namespace
}  // namespace kuv
