// Hostile files where the program expects its own: garbage and control bytes
// in entries, damaged containers, settings files with huge lines, zero bytes,
// bad numbers and duplicates, and files of 2 GiB and more. Nothing may crash,
// hang, allocate without bound or change a file that the user did not save.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "app/profile.h"
#include "app/settings.h"
#include "app/settings_file.h"
#include "crypt/cryptogram.h"
#include "diary/diary_book.h"
#include "platform/cp932.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "tests/support/reference.h"
#include "tests/support/session_rig.h"
#include "tests/support/snapshot.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;
using test::Day;
using test::Exists;
using test::HandContainer;
using test::MakeDir;
using test::ReadBytes;
using test::ReferenceDecode;
using test::Snapshot;
using test::SnapshotDiff;
using test::WriteBytes;

constexpr std::uint32_t kDos = 0x52310000u;
constexpr const char* kKey = "pw";
int g_inputs = 0;  // hostile inputs tried, for the record

class HostileFiles : public ::testing::Test {
  protected:
    HostileFiles() {
        const std::string app = dir_ / "app";
        MakeDir(app);
        paths_ = FixedAppPaths(app);
        data_ = paths_.settingsFolder;
        MakeDir(data_);
        year_ = data_ + "/2024";
        MakeDir(year_);
        MakeDir(data_ + "/2023");
        settings_ = DefaultSettings(paths_);
        settings_.Password = kKey;
    }

    // Loads the day as the window does and leaves it unchanged: nothing may
    // be written, and the load must give exactly what the text rules say.
    void LoadUnchanged(const std::string& what) {
        const auto before = Snapshot(dir_.path());
        test::SessionRig rig(paths_, settings_);
        try {
            rig.GoTo(Day(2024, 1, 17));
        } catch (const AppError& e) {
            ADD_FAILURE() << what << ": the load failed: " << e.what();
        }
        // Text in the pane without a change is never saved.
        rig.Put("never written");
        rig.session.Save();
        EXPECT_EQ(SnapshotDiff(before, Snapshot(dir_.path())), "") << what;
    }

    test::TempDir dir_{test::FastTempBase()};
    AppPaths paths_;
    std::string data_, year_;
    TDiarySettings settings_;
};

// A literal with its zero bytes.
template <std::size_t N>
std::string Bytes(const char (&s)[N]) {
    return std::string(s, N - 1);
}

std::string Random(std::mt19937& rng, std::size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

// --- entries ---------------------------------------------------------------

TEST_F(HostileFiles, GarbageEntriesLoadByTheTextRulesAndAreNeverWritten) {
    std::mt19937 rng(20240117);
    for (int i = 0; i < 60; ++i) {
        const std::string bytes = Random(rng, rng() % 9000);
        for (const char* ext : {".dia", ".xda"}) {
            SCOPED_TRACE(std::string("garbage ") + std::to_string(i) + ext);
            ::unlink((year_ + "/0117.dia").c_str());
            ::unlink((year_ + "/0117.xda").c_str());
            WriteBytes(year_ + "/0117" + ext, bytes);
            WriteBytes(data_ + "/2023/0117" + ext, bytes);
            const PaneContent p = LoadPane(year_, "0117", kKey);
            EXPECT_EQ(p.text, PaneTextFromFile(bytes));
            EXPECT_EQ(p.text.find('\0'), std::string::npos);
            LoadUnchanged("garbage");
            ++g_inputs;
        }
    }
}

TEST_F(HostileFiles, ControlBytesAndInvalidSequencesLoadAndSurviveTheTextEdge) {
    std::string controls;
    for (int c = 1; c < 0x20; ++c) controls += static_cast<char>(c);
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"every control byte", controls + "\x7f"},
        {"bytes that start no character", "a\x80 b\xa0 c\xfd d\xfe e\xff"},
        {"lone lead byte at the end", "text\x81"},
        {"lead byte before a control byte", "a\x81\x01 b\x9f\x7f c\xe0\x1a"},
        {"lead byte before a line break", "a\x81\nb\x81\r\nc\xfc\r"},
        {"lead byte before a zero byte", Bytes("a\x81\0b")},
        {"lead bytes only", "\x81\x81\x81\xe0\xe0"},
        {"half-width kana and user-defined characters", "\xb1\xb2\xb3 \xf0\x40\xf9\xfc"},
        {"undefined double-byte codes", "\x85\x40\x86\x9f\xeb\x40\xef\xfc"},
        {"zero byte first", Bytes("\0hidden")},
        {"marker without a container", Bytes("\x17\0LOCKED")},
        {"CR only", std::string(1000, '\r')},
        {"LF CR pairs", "\n\r\n\r\n\r"},
        {"trail byte 0x5C and 0x7C", Cp932("表ソ能予") + "\\|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(year_ + "/0117.dia", c.bytes);
        const PaneContent p = LoadPane(year_, "0117", kKey);
        EXPECT_EQ(p.text, PaneTextFromFile(c.bytes));
        // The pane holds Unicode: the text must come back byte for byte, so
        // that an edit elsewhere in the entry does not change these bytes.
        const cp932::Encoded back = cp932::FromUtf16(cp932::ToUtf16(p.text));
        EXPECT_TRUE(back.ok);
        EXPECT_EQ(back.bytes, p.text) << "the text edge changed the entry's bytes";
        LoadUnchanged(c.name);
        ++g_inputs;
    }
}

// --- containers ------------------------------------------------------------

struct DecodeCheck {
    int inputs = 0;
    int decoded = 0;
};

// Every way of reading a damaged container gives the layout's answer and
// leaves the file as it was unless it was decoded in place.
void CheckContainer(const std::string& dir, const std::string& bytes, const std::string& what,
                    DecodeCheck& n) {
    SCOPED_TRACE(what);
    std::string plain;
    const CryptResult want = ReferenceDecode(bytes, kKey, plain);
    const std::string path = dir + "/0117.xda";
    const std::string work = dir + "/0117.$$$";

    ::unlink(path.c_str());
    ::unlink(work.c_str());
    WriteBytes(path, bytes);
    const auto before = Snapshot(dir);
    std::string memory;
    EXPECT_EQ(CryptDecodeToMemory(path, kKey, memory, 1 << 20), want);
    if (want == CryptResult::Decoded) {
        EXPECT_EQ(memory, plain);
    }
    const PaneContent p = LoadPane(dir, "0117", kKey);
    EXPECT_EQ(p.text, PaneTextFromFile(want == CryptResult::Decoded ? plain : bytes));
    EXPECT_EQ(SnapshotDiff(before, Snapshot(dir)), "") << "reading changed something";

    for (bool keep : {false, true}) {
        for (const char* ext : {"/0117.xda", "/0117.$$$", "/0117.crp"})
            ::unlink((dir + ext).c_str());
        WriteBytes(path, bytes);
        const auto stamp = Snapshot(dir);
        const CryptResult r = CryptDecodeFile(path, kKey, keep);
        EXPECT_EQ(r, want) << "keep " << keep;
        if (r == CryptResult::Decoded) {
            EXPECT_EQ(ReadBytes(path), plain);
            if (keep) {
                EXPECT_EQ(ReadBytes(dir + "/0117.crp"), bytes);
            } else {
                ++n.decoded;
            }
        } else {
            EXPECT_EQ(ReadBytes(path), bytes);
            EXPECT_EQ(Snapshot(dir).at("0117.xda"), stamp.at("0117.xda"))
                << "the source was touched";
            EXPECT_FALSE(Exists(dir + "/0117.crp"));
            if (r == CryptResult::NoMatchingHeader) {
                EXPECT_EQ(ReadBytes(work), "") << "only an empty work file may stay";
            } else {
                EXPECT_FALSE(Exists(work));
            }
        }
    }
    ++n.inputs;
    ++g_inputs;
}

TEST_F(HostileFiles, ContainersTruncatedAtEveryLengthUpTo100) {
    const std::string whole =
        HandContainer("sixty bytes of an entry, and then some more to be sure.\r\n", kKey, kDos);
    ASSERT_GE(whole.size(), 100u);
    DecodeCheck n;
    for (std::size_t len = 0; len <= 100; ++len) {
        CheckContainer(year_, whole.substr(0, len), "length " + std::to_string(len), n);
    }
    std::printf("  truncated containers tried: %d (decoded %d)\n", n.inputs, n.decoded);
}

TEST_F(HostileFiles, ContainersWithEveryHeaderByteFlipped) {
    const std::string whole = HandContainer(std::string(2100, 'z') + "\r\n", kKey, kDos);
    DecodeCheck n;
    for (std::size_t i = 0; i < kCryptHeaderSize; ++i) {
        for (unsigned flip : {0x01u, 0x80u, 0xFFu, 0xA6u}) {
            std::string bytes = whole;
            bytes[i] = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ flip);
            CheckContainer(year_, bytes, "byte " + std::to_string(i) + " ^ " + std::to_string(flip),
                           n);
        }
    }
    std::printf("  containers with a flipped header byte tried: %d (decoded %d)\n", n.inputs,
                n.decoded);
}

// --- settings files --------------------------------------------------------

struct SettingsCase {
    const char* name;
    std::string ini;
    std::function<void(const TDiarySettings&, const TDiarySettings& defaults)> expect;
};

std::vector<SettingsCase> SettingsCases() {
    const std::string mib10(10 << 20, 'x');
    const std::string mib1(1 << 20, 'x');
    std::vector<SettingsCase> cases;
    cases.push_back({"a 10 MiB value", "[SYSTEM]\r\nPASSWORD=" + mib10 + "\r\nUSEPASSWORD=1\r\n",
                     [](const TDiarySettings& s, const TDiarySettings&) {
                         EXPECT_EQ(s.Password, std::string(2047, 'x'));
                         EXPECT_TRUE(s.UseEncryption);
                     }});
    cases.push_back(
        {"a 1 MiB line without =", mib1 + "\r\n[FONT]\r\nSIZE=20\r\n",
         [](const TDiarySettings& s, const TDiarySettings&) { EXPECT_EQ(s.FontSize, 20); }});
    cases.push_back(
        {"a 1 MiB section name", "[" + mib1 + "]\r\nSIZE=1\r\n[FONT]\r\nSIZE=21\r\n",
         [](const TDiarySettings& s, const TDiarySettings&) { EXPECT_EQ(s.FontSize, 21); }});
    cases.push_back(
        {"a 1 MiB key name", "[FONT]\r\n" + mib1 + "=1\r\nSIZE=22\r\n",
         [](const TDiarySettings& s, const TDiarySettings&) { EXPECT_EQ(s.FontSize, 22); }});
    cases.push_back(
        {"200000 empty lines", std::string(200000, '\n') + "[FONT]\nSIZE=23\n",
         [](const TDiarySettings& s, const TDiarySettings&) { EXPECT_EQ(s.FontSize, 23); }});
    cases.push_back({"zero bytes in a value",
                     Bytes("[SYSTEM]\r\nPASSWORD=ab\0cd\r\nUSEPASSWORD=1\r\n"),
                     [](const TDiarySettings& s, const TDiarySettings&) {
                         EXPECT_EQ(s.Password, "ab");
                         EXPECT_TRUE(s.UseEncryption);
                     }});
    cases.push_back({"zero bytes in names", Bytes("[FO\0NT]\r\nSIZE=30\r\n[FONT]\r\nSI\0ZE=31\r\n"),
                     [](const TDiarySettings& s, const TDiarySettings& d) {
                         EXPECT_EQ(s.FontSize, d.FontSize);
                     }});
    cases.push_back({"nothing but zero bytes", std::string(5000, '\0'),
                     [](const TDiarySettings& s, const TDiarySettings& d) {
                         EXPECT_EQ(test::SettingsFieldsNeither(s, d, d), "");
                     }});
    cases.push_back(
        {"invalid numbers",
         "[FONT]\r\nSIZE=12pt\r\nCOLOR=$80000008\r\n[OLDDIARY]\r\nSHOW=false\r\n"
         "HEIGHT=99999999999\r\n[WINDOW]\r\nSAVE=yes\r\nTOP=0x\r\nLEFT=-\r\n"
         "HEIGHT=0x100\r\nWIDTH= 640 px\r\n[SYSTEM]\r\nAUTOINSERTDATE=+\r\nUSEPASSWORD=0x0\r\n",
         [](const TDiarySettings& s, const TDiarySettings& d) {
             EXPECT_EQ(s.FontSize, 12);
             EXPECT_EQ(s.FontColor, static_cast<std::int32_t>(0x80000008u));
             EXPECT_EQ(s.ShowOldDiary, d.ShowOldDiary);
             EXPECT_EQ(s.OldDiaryHeight, d.OldDiaryHeight);
             EXPECT_EQ(s.SaveWindow, d.SaveWindow);
             EXPECT_EQ(s.WindowTop, d.WindowTop);
             EXPECT_EQ(s.WindowLeft, d.WindowLeft);
             EXPECT_EQ(s.WindowHeight, 256);
             EXPECT_EQ(s.WindowWidth, d.WindowWidth);
             EXPECT_EQ(s.AutoInsertDate, d.AutoInsertDate);
             EXPECT_FALSE(s.UseEncryption);
         }});
    cases.push_back(
        {"numbers at and past the limits",
         "[FONT]\r\nSIZE=2147483647\r\nCOLOR=-2147483648\r\n[OLDDIARY]\r\nHEIGHT=2147483648\r\n"
         "[WINDOW]\r\nHEIGHT=0x123456789\r\nWIDTH=0x0000000012345678\r\n",
         [](const TDiarySettings& s, const TDiarySettings& d) {
             EXPECT_EQ(s.FontSize, 2147483647);
             EXPECT_EQ(s.FontColor, std::numeric_limits<std::int32_t>::min());
             EXPECT_EQ(s.OldDiaryHeight, d.OldDiaryHeight);
             EXPECT_EQ(s.WindowHeight, d.WindowHeight);
             EXPECT_EQ(s.WindowWidth, 0x12345678);
         }});
    cases.push_back(
        {"duplicate sections and keys",
         "[FONT]\r\nSIZE=20\r\nSIZE=21\r\n[SYSTEM]\r\nFORMAT=first\r\n[font]\r\nSIZE=30\r\n"
         "NAME=second section\r\n[SYSTEM]\r\nFORMAT=second\r\n",
         [](const TDiarySettings& s, const TDiarySettings& d) {
             EXPECT_EQ(s.FontSize, 20);
             EXPECT_EQ(s.DateFormat, "first");
             EXPECT_EQ(s.FontName, d.FontName) << "a later section of the name is never read";
         }});
    std::mt19937 rng(718306925);
    for (int i = 0; i < 8; ++i) {
        std::string junk = Random(rng, 3000 + rng() % 5000);
        if (i % 2 == 0) junk = "[FONT]\r\nSIZE=24\r\n" + junk;  // a valid start, then junk
        cases.push_back({"binary junk", junk, [i](const TDiarySettings& s, const TDiarySettings&) {
                             if (i % 2 == 0) {
                                 EXPECT_EQ(s.FontSize, 24);
                             }
                         }});
    }
    return cases;
}

TEST_F(HostileFiles, HostileSettingsFilesReadOverTheDefaultsAndStayAsTheyWere) {
    int n = 0;
    for (const SettingsCase& c : SettingsCases()) {
        SCOPED_TRACE(c.name);
        WriteBytes(paths_.settingsPath, c.ini);
        const TDiarySettings defaults = DefaultSettings(paths_);
        TDiarySettings s = defaults;
        ReadSettings(s, paths_);
        c.expect(s, defaults);
        // At rest the file is a container again, holding exactly what it held.
        std::string plain;
        EXPECT_EQ(
            CryptDecodeToMemory(paths_.settingsPath, kSettingsKey, plain, std::size_t{64} << 20),
            CryptResult::Decoded);
        EXPECT_TRUE(plain == c.ini) << "the settings file's text changed";
        // The closing write goes into it and changes only its own keys.
        ClosingState closing;
        closing.lowerPaneHeight = 77;
        closing.top = 5;
        closing.left = 6;
        closing.height = 407;
        closing.width = 508;
        WriteClosingSettings(paths_, closing, true);
        TDiarySettings after = defaults;
        ReadSettings(after, paths_);
        EXPECT_EQ(after.OldDiaryHeight, 77);
        EXPECT_EQ(after.WindowWidth, 508);
        EXPECT_EQ(after.Password, s.Password);
        EXPECT_EQ(after.FontSize, s.FontSize);
        EXPECT_EQ(after.DateFormat, s.DateFormat);
        ::unlink(paths_.settingsPath.c_str());
        ++n;
        ++g_inputs;
    }
    std::printf("  hostile settings files tried: %d\n", n);
}

TEST_F(HostileFiles, SettingsFileTooLargeToReadIsNeitherReadNorRewritten) {
    // Beyond what a settings file can be, it is read as missing and a write
    // into it is refused, not truncated.
    const std::string big = "[FONT]\r\nSIZE=20\r\n" + std::string(17 << 20, 'y');
    WriteBytes(paths_.settingsPath, big);
    TDiarySettings s = DefaultSettings(paths_);
    ReadSettings(s, paths_);
    EXPECT_EQ(s.FontSize, 12);
    std::string msg;
    try {
        WriteClosingSettings(paths_, ClosingState{}, true);
    } catch (const AppError& e) {
        msg = e.what();
    }
    EXPECT_EQ(msg, test::SettingsKept(paths_.settingsPath, "設定ファイルとしては大きすぎます"));
    std::string plain;
    const std::string now = ReadBytes(paths_.settingsPath);
    EXPECT_TRUE(now == big ||
                (ReferenceDecode(now, kSettingsKey, plain) == CryptResult::Decoded && plain == big))
        << "the file lost its text";
    ++g_inputs;
}

// --- files of 2 GiB and more -------------------------------------------------

long MaxRssKb() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void MakeSparse(const std::string& path, std::int64_t size, const std::string& head) {
    WriteBytes(path, head);
    ASSERT_EQ(::truncate(path.c_str(), size), 0) << "no sparse file of " << size << " bytes here";
}

TEST_F(HostileFiles, FilesOfTwoGibibytesAndMoreAreRefusedUntouched) {
    const std::int64_t gib2 = std::int64_t{1} << 31;
    const std::string header = HandContainer("", kKey, kDos);
    const long rssBefore = MaxRssKb();
    struct Big {
        std::int64_t size;
        std::string head;
    };
    const Big sizes[] = {
        {gib2, "plain"}, {gib2 + 1, header}, {gib2 * 3 / 2, header}, {std::int64_t{5} << 30, "x"}};
    int n = 0;
    for (const Big& b : sizes) {
        SCOPED_TRACE("size " + std::to_string(b.size));
        const std::string path = year_ + "/0117.xda";
        const std::string dia = year_ + "/0118.dia";
        MakeSparse(path, b.size, b.head);
        MakeSparse(dia, b.size, b.head);
        const auto before = Snapshot(year_);
        for (bool keep : {false, true}) {
            EXPECT_FALSE(CryptEncodeFile(path, kKey, keep));
            EXPECT_EQ(CryptDecodeFile(path, kKey, keep), CryptResult::Failed);
        }
        EXPECT_FALSE(CryptEncodeFileTo(path, year_ + "/0119.xda", kKey));
        std::string plain;
        EXPECT_EQ(CryptDecodeToMemory(path, kKey, plain, std::size_t{1} << 34),
                  CryptResult::Failed);
        EXPECT_TRUE(plain.empty());
        std::string msg;
        try {
            LoadPane(year_, "0117", kKey);
        } catch (const AppError& e) {
            msg = e.what();
        }
        EXPECT_EQ(msg, test::TooLarge());
        // A plain entry gives the text before its first zero byte, however
        // large the file behind it.
        EXPECT_EQ(LoadPane(year_, "0118", kKey).text, PaneTextFromFile(b.head));
        EXPECT_EQ(SnapshotDiff(before, Snapshot(year_)), "");
        ::unlink(path.c_str());
        ::unlink(dia.c_str());
        n += 2;
        g_inputs += 2;
    }
    // The settings file too: read as missing, never encoded.
    MakeSparse(paths_.settingsPath, gib2 + 7, "[FONT]\r\nSIZE=20\r\n");
    const auto before = Snapshot(data_);
    TDiarySettings s = DefaultSettings(paths_);
    ReadSettings(s, paths_);
    EXPECT_EQ(s.FontSize, 12);
    const auto after = Snapshot(data_);
    EXPECT_EQ(after.at("diary.ini"), before.at("diary.ini"));
    ++g_inputs;
    // None of this may have loaded such a file into memory.
    EXPECT_LT(MaxRssKb() - rssBefore, 256 * 1024) << "a huge allocation";
    std::printf("  files of 2 GiB and more tried: %d, peak memory grew by %ld KiB\n", n + 1,
                MaxRssKb() - rssBefore);
}

TEST_F(HostileFiles, AnEntryTooLargeForThePaneStopsTheLoad) {
    WriteBytes(year_ + "/0117.dia", std::string((std::size_t{64} << 20) + 1, 'x'));
    test::SessionRig rig(paths_, settings_);
    std::string msg;
    try {
        rig.GoTo(Day(2024, 1, 17));
    } catch (const AppError& e) {
        msg = e.what();
    }
    EXPECT_EQ(msg, test::TooLarge());
    EXPECT_TRUE(rig.session.UpperReadOnly())
        << "no save may replace the entry that could not be shown";
    rig.Type("short");
    rig.session.Save();
    struct stat st {};
    ASSERT_EQ(::stat((year_ + "/0117.dia").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, (std::int64_t{64} << 20) + 1);
    ++g_inputs;
}

class Totals : public ::testing::Environment {
  public:
    void TearDown() override { std::printf("hostile inputs tried in all: %d\n", g_inputs); }
};
const auto* const kTotals = ::testing::AddGlobalTestEnvironment(new Totals);

}  // namespace
}  // namespace kuv
