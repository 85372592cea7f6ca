#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/cli_runner.h"

namespace {

using kuv::test::ProgramRun;

ProgramRun Format(std::vector<std::string> words) {
    words.insert(words.begin(), "format");
    return kuv::test::RunCli(words);
}

struct Case {
    std::vector<std::string> words;
    std::string out;
};

TEST(CliFormat, PrintsTheFormattedValue) {
    const Case cases[] = {
        {{"--locale", "ja_JP", "yyyy\"/\"mm\"/\"dd\" (\"aaa\")\"", "2001-01-17"},
         "2001/01/17 (水)\n"},
        {{"--locale", "fallback", "c", "36908.54524594908"}, "1/17/01 1:05:09 pm\n"},
        {{"--locale", "fallback", "hh:nn:ss.zzz", "2001-01-17T13:05:09.250"}, "13:05:09.250\n"},
        {{"--locale", "fallback", "hh:nn:ss", "2001-01-17T13:05"}, "13:05:00\n"},
        {{"--locale", "fallback", "hh:nn:ss", "2001-01-17T13:05:07"}, "13:05:07\n"},
        {{"--locale", "ja_JP", "\"▲ \"yyyy\"年\"", "36908"}, "▲ 2001年\n"},
        {{"--locale", "ja_JP", "gge", "1989-01-08"}, "平成1\n"},
        {{"--locale", "ja_JP", "gge|yyyy", "1867-12-31T23:00"}, "|1867\n"},
        {{"--locale", "en_US", "dddddd", "2001-01-17"}, "Wednesday, January 17, 2001\n"},
        {{"--locale", "de_DE", "dddd ddddd", "2001-01-17"}, "Mittwoch 17.01.01\n"},
        {{"--locale", "C", "dddd", "2001-01-17"}, "Wednesday\n"},
        {{"--locale", "C", "ddddd|dddddd", "2001-01-17"}, "1/17/01|January 17, 2001\n"},
        {{"--locale", "ja", "dddddd", "2001-01-17"}, "2001年1月17日\n"},
        {{"--locale", "fallback", "--", "yyyy-mm-dd hh:nn ddd", "-1.25"}, "1899-12-29 06:00 Fri\n"},
        {{"--locale", "fallback", "yyyy-mm-dd hh:nn", "1867-12-31T23:00"}, "1867-12-31 23:00\n"},
        {{"--locale", "fallback", "[*] (!) #", "0"}, "[*] (!) #\n"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = Format(c.words);
        EXPECT_EQ(run.status, 0) << c.words.back() << ": " << run.err;
        EXPECT_EQ(run.out, c.out) << c.words[c.words.size() - 2];
    }
}

TEST(CliFormat, RawPrintsTheBytesOnly) {
    const ProgramRun run = Format({"--raw", "--locale", "ja_JP", "aaa|yyyy", "36908"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "\x90\x85|2001");
}

TEST(CliFormat, WithoutAValueFormatsTheCurrentDate) {
    const ProgramRun run = Format({"--locale", "fallback", "yyyy|mm|dd"});
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.out.size(), 11u) << run.out;
    EXPECT_EQ(run.out.substr(10), "\n");
    EXPECT_GE(run.out.substr(0, 4), "2024");
}

TEST(CliFormat, RefusesBadInput) {
    const std::vector<std::vector<std::string>> cases = {
        {"--locale", "fallback", "c", "2001-13-01"},
        {"--locale", "fallback", "c", "2001-02-29"},
        {"--locale", "fallback", "c", "2001-01-17T24:00"},
        {"--locale", "fallback", "c", "2001-01-17T13:05:09.25"},
        {"--locale", "fallback", "c", "2001-01-17 13:05"},
        {"--locale", "fallback", "c", "2001-1-17"},
        {"--locale", "fallback", "c", "abc"},
        {"--locale", "fallback", "c", "0x10"},
        {"--locale", "fallback", "c", "nan"},
        {"--locale", "fallback", "c", "inf"},
        {"--locale", "fallback", "c", ""},
        {"--locale", "fallback", "c", "3000000"},
        {"--locale", "fallback", "--", "c", "-700000"},
        {"--locale", "qq_QQ", "c", "0"},
        {"--locale", "xx", "c", "0"},
        {"--locale", "fallback", "\xF0\x9F\x98\x80", "0"},  // not in code page 932
    };
    for (const auto& words : cases) {
        const ProgramRun run = Format(words);
        EXPECT_EQ(run.status, 2) << words[words.size() - 2] << " " << words.back();
        EXPECT_TRUE(run.out.empty());
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_EQ(Format({}).status, 2);
    EXPECT_EQ(Format({"a", "0", "extra"}).status, 2);
    EXPECT_EQ(Format({"--bogus", "c", "0"}).status, 2);
}

}  // namespace
