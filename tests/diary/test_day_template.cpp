#include "diary/day_template.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "app/multiline_value.h"
#include "app/settings_apply.h"
#include "app/settings_file.h"
#include "platform/cp932.h"
#include "tests/support/reference.h"
#include "tests/support/session_rig.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;
using test::Day;
using test::TempDir;

TEST(DayTemplate, ExpandsDatesAndFindsTheCursor) {
    struct Row {
        const char* tmpl;
        const char* text;
        std::size_t cursor;
    };
    const Row rows[] = {
        {"", "", 0},
        {"yyyy-mm-dd", "2001-01-17", 10},
        {"'天気:'\r\n|\r\n\"d日\" d", "天気:\r\n\r\nd日 17", 7},
        {"|\nd m", "\r\n17 1", 0},
        {"a|b\r\n| \r\n", "a|b\r\n| \r\n", 9},
        {"|\r\n|", "\r\n|", 0},
        {"表示\r\n\r\n", "表示\r\n\r\n", 8},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.tmpl);
        const ExpandedTemplate t = ExpandDayTemplate(Cp932(r.tmpl), Day(2001, 1, 17));
        EXPECT_EQ(t.text, Cp932(r.text));
        EXPECT_EQ(t.cursor, r.cursor);
    }
}

TEST(DayTemplate, ALongTemplateIsExpandedWhole) {
    std::string tmpl, want;
    for (int i = 0; i < 40; ++i) {
        tmpl += "'----------' yyyy ";
        want += "---------- 2001 ";
    }
    EXPECT_EQ(ExpandDayTemplate(tmpl, Day(2001, 1, 17)).text, want);
}

TEST(DayTemplate, SettingKeepsEveryLineByteForByte) {
    TempDir dir;
    const AppPaths paths = FixedAppPaths(dir.path());
    const std::string texts[] = {
        Cp932("天気:\r\n|\r\n"),
        Cp932("表\\n\\\\ソ\r\n"),  // backslashes as text, and 0x5C second bytes
        Cp932("  \"quoted\"  \r\n\r\n"),
        "",
    };
    for (const std::string& text : texts) {
        DialogValues v;
        v.newDayTemplate = text;
        TDiarySettings applied = DefaultSettings(paths);
        ASSERT_EQ(ApplyDialogSettings(paths, {}, applied, v).status, DialogApply::Applied);
        EXPECT_EQ(applied.NewDayTemplate, text);
        TDiarySettings s = DefaultSettings(paths);
        ASSERT_TRUE(ReadSettings(s, paths));
        EXPECT_EQ(s.NewDayTemplate, text);
    }
    // Every joining of pieces that could be mistaken for an escape or a
    // line break comes back whole, and the value holds no line break.
    const std::string pieces[] = {"\r\n", "\\", "n", "\x81", "\x95\\", "x81", "\x81\\"};
    std::vector<std::string> all = {""};
    for (int length = 0; length < 4; ++length) {
        std::vector<std::string> longer;
        for (const std::string& s : all) {
            for (const std::string& p : pieces) longer.push_back(s + p);
        }
        for (const std::string& s : longer) {
            const std::string value = JoinLinesForIni(s);
            ASSERT_EQ(value.find_first_of("\r\n"), std::string::npos) << s;
            ASSERT_EQ(SplitLinesFromIni(value), s) << s;
        }
        all = std::move(longer);
    }
    // LF alone comes back CR LF, as the pane keeps it.
    EXPECT_EQ(SplitLinesFromIni(JoinLinesForIni("a\nb\rc")), "a\r\nb\r\nc");
    // A template the reader would cut short is not written at all.
    DialogValues v;
    v.newDayTemplate = std::string(3000, 'x');
    EXPECT_EQ(StoreDialogSettings(paths, {}, v).status, SettingsWrite::ValueRefused);
    TDiarySettings s = DefaultSettings(paths);
    ASSERT_TRUE(ReadSettings(s, paths));
    EXPECT_EQ(s.NewDayTemplate, "");
}

class TemplateSessionTest : public ::testing::Test {
  protected:
    TemplateSessionTest() : rig(dir.path()) {
        rig.settings().NewDayTemplate = Cp932("'天気:'\r\n|\r\n'--'");
    }
    std::string Entry(const char* file) const { return dir / ("2001/" + std::string(file)); }
    TempDir dir;
    test::SessionRig rig;
};

TEST_F(TemplateSessionTest, FillsANewDayOnlyAndNeverSavesItUntouched) {
    rig.session.Open();
    rig.Show();
    const auto t = rig.session.TypingBegan();
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->text, Cp932("天気:\r\n\r\n--"));
    EXPECT_EQ(t->cursor, 7u);
    EXPECT_FALSE(rig.session.TypingBegan().has_value());  // once a load

    // Left as it was put in: the day stays without an entry.
    rig.Type(t->text);
    rig.session.Save();
    EXPECT_FALSE(test::Exists(Entry("0117.dia")));
    rig.session.StepDays(1);
    rig.Show();
    EXPECT_FALSE(test::Exists(Entry("0117.dia")));

    // Anything typed into it is saved whole.
    ASSERT_TRUE(rig.session.TypingBegan().has_value());
    rig.Type(Cp932("天気:\r\n晴れ\r\n--"));
    rig.session.StepDays(1);
    EXPECT_EQ(test::ReadBytes(Entry("0118.dia")), Cp932("天気:\r\n晴れ\r\n--"));

    // A day with an entry, a pane already holding text, no template: nothing.
    rig.session.StepDays(-1);
    rig.Show();
    EXPECT_FALSE(rig.session.TypingBegan().has_value());
    rig.session.StepDays(2);
    rig.Show();
    rig.Type("x");
    EXPECT_FALSE(rig.session.TypingBegan().has_value());
    rig.session.StepDays(1);
    rig.Show();
    rig.settings().NewDayTemplate.clear();
    EXPECT_FALSE(rig.session.TypingBegan().has_value());
}

TEST_F(TemplateSessionTest, AnAutomaticDateKeepsItsRule) {
    rig.settings().AutoInsertDate = true;
    rig.settings().DateFormat = "yyyy-mm-dd";
    rig.session.Open();
    rig.Show();
    EXPECT_TRUE(rig.session.DateInserted());
    EXPECT_FALSE(rig.session.TypingBegan().has_value());
}

}  // namespace
}  // namespace kuv
