// Every call of the file layer that an operation makes is made to fail, one
// at a time, through the fault seam: for each operation, each kind of call
// and each n from 1 to the number of such calls the operation makes. After
// every injected failure the old data must be intact and the user told (the
// error message, or a false / 2 result), or else the operation must have
// succeeded with the new data readable. Then the same operation, run again
// without a fault over whatever the failure left, must succeed.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/profile.h"
#include "app/settings.h"
#include "app/settings_file.h"
#include "crypt/cryptogram.h"
#include "diary/diary_book.h"
#include "history/entry_history.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "tests/support/reference.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

// These tests count and break the entry file's own calls; keeping the
// earlier version before a save has tests of its own.
class WithoutVersions : public ::testing::Environment {
  public:
    void SetUp() override { KeepVersionsOnSave(false); }
};
const ::testing::Environment* const kWithoutVersions =
    ::testing::AddGlobalTestEnvironment(new WithoutVersions);

namespace fault = fsio::fault;
using fault::Op;
using test::Cp932;
using test::HandContainer;
using test::ReadBytes;
using test::ReferenceDecode;
using test::WriteBytes;

constexpr int kOps = static_cast<int>(Op::Count_);
constexpr std::array<const char*, kOps> kOpNames = {
    "Open",    "Create", "Read",  "ShortRead", "Write",  "ShortWrite",
    "NoSpace", "Sync",   "Close", "Rename",    "Remove", "MakeDirectory"};
constexpr const char* kPassword = "pass-word";
constexpr std::uint32_t kDos = 0x52310000u;  // 2021-01-17 00:00

std::string Filled(const char* head, char c, std::size_t n) {
    std::string s = Cp932(head);
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>(c + i % 7);
    return s + "\r\n";
}
const std::string kOld = Filled("古い日記 ", 'a', 2500);
const std::string kOlder = Filled("もっと古い ", 'o', 100);
const std::string kNew = Filled("新しい日記 ", 'n', 3100);

// The settings that the tests start from, as a hand-written INI text.
std::string OldIni() {
    return Cp932(
        "[SYSTEM]\r\nPASSWORD=old-pw\r\nUSEPASSWORD=1\r\nDATAPATH=/data/old\r\n"
        "FORMAT=yyyy\r\nAUTOINSERTDATE=0\r\n[FONT]\r\nSIZE=10\r\nCOLOR=255\r\n"
        "NAME=ＭＳ 明朝\r\n[OLDDIARY]\r\nSHOW=1\r\nHEIGHT=120\r\n[WINDOW]\r\nSAVE=1\r\n"
        "TOP=11\r\nLEFT=22\r\nHEIGHT=333\r\nWIDTH=444\r\n");
}

ClosingState NewClosing() {
    ClosingState c;
    c.lowerPaneShown = false;
    c.lowerPaneHeight = 0;
    c.top = 99;
    c.left = 98;
    c.height = 597;
    c.width = 796;
    return c;
}

DialogValues NewDialog() {
    DialogValues v;
    v.password = "new-pw";
    v.useEncryption = false;
    v.dataPath = "/data/new";
    v.dateFormat = "yyyy/mm/dd";
    v.fontSize = 14;
    v.fontColor = 65280;
    v.fontName = "Sans";
    v.saveWindow = false;
    v.autoInsertDate = true;
    return v;
}

// A test world: program folder, settings folder (also the data folder) and
// the year folder 2024.
struct World {
    explicit World(const std::string& root) {
        app = root + "/app";
        test::MakeDir(app);
        paths = FixedAppPaths(app);
        data = paths.settingsFolder;
        test::MakeDir(data);
        year = data + "/2024";
    }
    std::string app, data, year;
    AppPaths paths;
    std::string Entry(const char* ext) const { return year + "/0117" + ext; }
    std::string File(const char* name) const { return data + "/" + name; }
};

TDiarySettings Read(const World& w) {
    TDiarySettings s = DefaultSettings(w.paths);
    ReadSettings(s, w.paths);
    return s;
}

TDiarySettings OldSettings(const World& w) {
    TDiarySettings s = DefaultSettings(w.paths);
    s.Password = "old-pw";
    s.UseEncryption = true;
    s.DataPath = "/data/old";
    s.DateFormat = "yyyy";
    s.AutoInsertDate = false;
    s.FontSize = 10;
    s.FontColor = 255;
    s.FontName = Cp932("ＭＳ 明朝");
    s.ShowOldDiary = true;
    s.OldDiaryHeight = 120;
    s.SaveWindow = true;
    s.WindowTop = 11;
    s.WindowLeft = 22;
    s.WindowHeight = 333;
    s.WindowWidth = 444;
    return s;
}

TDiarySettings WithClosing(TDiarySettings s) {
    const ClosingState c = NewClosing();
    s.ShowOldDiary = c.lowerPaneShown;
    s.OldDiaryHeight = c.lowerPaneHeight;
    s.WindowTop = c.top;
    s.WindowLeft = c.left;
    s.WindowHeight = c.height;
    s.WindowWidth = c.width;
    return s;
}

TDiarySettings WithDialog(TDiarySettings s) {
    const DialogValues v = NewDialog();
    s.Password = v.password;
    s.UseEncryption = v.useEncryption;
    s.DataPath = v.dataPath;
    s.DateFormat = v.dateFormat;
    s.FontSize = v.fontSize;
    s.FontColor = v.fontColor;
    s.FontName = v.fontName;
    s.SaveWindow = v.saveWindow;
    s.AutoInsertDate = v.autoInsertDate;
    // With "SAVE" now off the position is no longer read: the defaults show.
    const TDiarySettings d = DefaultSettings(AppPaths{});
    s.WindowTop = d.WindowTop;
    s.WindowLeft = d.WindowLeft;
    return s;
}

// How an operation ended: told = it reported a failure (message, if any).
struct Outcome {
    bool told = false;
    std::string message;
};

struct Operation {
    const char* name;
    std::function<void(const World&)> setup;
    std::function<Outcome(const World&)> run;
    // The message of the general error handler, or "" when the operation
    // reports through its result.
    std::function<std::string(const World&)> message;
    // "" when the files are as they must be after the outcome.
    std::function<std::string(const World&, bool told)> verify;
};

Outcome Catching(const std::function<bool()>& f) {
    Outcome o;
    try {
        o.told = !f();
    } catch (const AppError& e) {
        o.told = true;
        o.message = e.what();
    }
    return o;
}

std::string Expect(bool ok, const std::string& what) {
    return ok ? "" : what + "; ";
}

// The entry's text under the password, "" when it does not load.
std::string Shown(const World& w, const std::string& password, PaneSource* source = nullptr) {
    try {
        const PaneContent p = LoadPane(w.year, "0117", password);
        if (source != nullptr) *source = p.source;
        return p.text;
    } catch (const AppError&) {
        return "<error>";
    }
}

std::string VerifyEntry(const World& w, bool told, const std::string& before,
                        const std::string& password) {
    PaneSource source = PaneSource::None;
    const std::string shown = Shown(w, password, &source);
    if (told) return Expect(shown == PaneTextFromFile(before), "the old entry is gone");
    return Expect(shown == kNew && (source == PaneSource::Plain || source == PaneSource::Locked),
                  "a save that reported success left no new entry");
}

std::string VerifySettings(const World& w, bool told, const TDiarySettings& after) {
    const TDiarySettings old = OldSettings(w);
    const TDiarySettings got = Read(w);
    if (told) {
        // A write goes to the disk whole or not at all.
        const std::string bad = test::SettingsFieldsNeither(got, old, old);
        return Expect(bad.empty(), "a failed write changed values: " + bad);
    }
    const std::string bad = test::SettingsFieldsNeither(got, after, after);
    return Expect(bad.empty(), "a write that reported success lost values: " + bad);
}

std::vector<Operation> Operations() {
    std::vector<Operation> ops;
    const auto saveEntry = [](bool lock) {
        return [lock](const World& w) {
            return Catching([&] {
                SaveEntry(w.year, "0117", kNew, lock, kPassword);
                return true;
            });
        };
    };
    const auto cannotCreate = [](const World& w) { return test::CannotCreate(w.Entry(".dia")); };

    ops.push_back({"plain save over an entry",
                   [](const World& w) {
                       test::MakeDir(w.year);
                       WriteBytes(w.Entry(".dia"), kOld);
                   },
                   saveEntry(false), cannotCreate,
                   [](const World& w, bool told) {
                       std::string r = VerifyEntry(w, told, kOld, "");
                       if (told)
                           r += Expect(ReadBytes(w.Entry(".dia")) == kOld, "old bytes changed");
                       return r;
                   }});
    ops.push_back(
        {"plain save into a new year folder", [](const World&) {}, saveEntry(false), cannotCreate,
         [](const World& w, bool told) {
             if (told) {
                 return Expect(!test::Exists(w.Entry(".dia")), "a failed save left an entry");
             }
             return VerifyEntry(w, false, "", "");
         }});
    ops.push_back({"locked save over a locked entry",
                   [](const World& w) {
                       test::MakeDir(w.year);
                       WriteBytes(w.Entry(".xda"), HandContainer(kOld, kPassword, kDos));
                   },
                   saveEntry(true), cannotCreate,
                   [](const World& w, bool told) {
                       std::string r = VerifyEntry(w, told, kOld, kPassword);
                       if (told) {
                           r += Expect(
                               ReadBytes(w.Entry(".xda")) == HandContainer(kOld, kPassword, kDos),
                               "the locked file changed");
                       }
                       return r;
                   }});
    ops.push_back(
        {"locked save over a plain and a locked entry",
         [](const World& w) {
             test::MakeDir(w.year);
             WriteBytes(w.Entry(".dia"), kOld);
             WriteBytes(w.Entry(".xda"), HandContainer(kOlder, kPassword, kDos));
         },
         saveEntry(true), cannotCreate,
         [](const World& w, bool told) { return VerifyEntry(w, told, kOld, kPassword); }});

    const auto oldSettingsFile = [](const World& w) {
        WriteBytes(w.paths.settingsPath, HandContainer(OldIni(), kSettingsKey, kDos));
    };
    const auto cannotWrite = [](const World& w) { return test::CannotWrite(w.paths.settingsPath); };
    ops.push_back({"settings written on closing", oldSettingsFile,
                   [](const World& w) {
                       return Catching([&] {
                           WriteClosingSettings(w.paths, NewClosing(), true);
                           return true;
                       });
                   },
                   cannotWrite,
                   [](const World& w, bool told) {
                       return VerifySettings(w, told, WithClosing(OldSettings(w)));
                   }});
    ops.push_back({"settings written by the dialog", oldSettingsFile,
                   [](const World& w) {
                       return Catching([&] {
                           WriteDialogSettings(w.paths, NewDialog());
                           return true;
                       });
                   },
                   cannotWrite,
                   [](const World& w, bool told) {
                       return VerifySettings(w, told, WithDialog(OldSettings(w)));
                   }});
    // A hand-written plain file: reading it also locks it into a container.
    const auto plainSettingsFile = [](const World& w) {
        WriteBytes(w.paths.settingsPath, OldIni());
    };
    const auto holdsOldIni = [](const World& w) {
        const std::string now = ReadBytes(w.paths.settingsPath);
        std::string plain;
        return now == OldIni() ||
               (ReferenceDecode(now, kSettingsKey, plain) == CryptResult::Decoded &&
                plain == OldIni());
    };
    ops.push_back({"settings read from a hand-written file", plainSettingsFile,
                   [](const World& w) {
                       Outcome o;
                       TDiarySettings s = DefaultSettings(w.paths);
                       o.told = !ReadSettings(s, w.paths);
                       const TDiarySettings want =
                           o.told ? DefaultSettings(w.paths) : OldSettings(w);
                       if (!test::SettingsFieldsNeither(s, want, want).empty()) {
                           o.message = "<read the wrong values>";
                       }
                       return o;
                   },
                   [](const World&) { return std::string(); },
                   [holdsOldIni](const World& w, bool) {
                       return Expect(holdsOldIni(w), "the settings file lost its text");
                   }});
    ops.push_back({"settings written by the dialog into a hand-written file", plainSettingsFile,
                   [](const World& w) {
                       return Catching([&] {
                           WriteDialogSettings(w.paths, NewDialog());
                           return true;
                       });
                   },
                   cannotWrite,
                   [holdsOldIni](const World& w, bool told) {
                       if (told) return Expect(holdsOldIni(w), "a failed write changed the file");
                       return VerifySettings(w, false, WithDialog(OldSettings(w)));
                   }});
    ops.push_back({"settings written on closing, first time (no folder, no file)",
                   [](const World& w) { ::rmdir(w.data.c_str()); },
                   [](const World& w) {
                       return Catching([&] {
                           WriteClosingSettings(w.paths, NewClosing(), true);
                           return true;
                       });
                   },
                   cannotWrite,
                   [](const World& w, bool told) {
                       const TDiarySettings defaults = DefaultSettings(w.paths);
                       const TDiarySettings got = Read(w);
                       const TDiarySettings want = told ? defaults : WithClosing(defaults);
                       const std::string bad = test::SettingsFieldsNeither(got, want, want);
                       return Expect(bad.empty(), "settings hold the wrong values: " + bad);
                   }});

    for (bool keep : {false, true}) {
        ops.push_back({keep ? "encode keeping the source" : "encode",
                       [](const World& w) { WriteBytes(w.File("file.txt"), kOld); },
                       [keep](const World& w) {
                           return Catching([&] {
                               return CryptEncodeFile(w.File("file.txt"), kPassword, keep);
                           });
                       },
                       [](const World&) { return std::string(); },
                       [keep](const World& w, bool told) {
                           const std::string now = ReadBytes(w.File("file.txt"));
                           if (told)
                               return Expect(now == kOld, "a failed encoding changed the file");
                           std::string plain;
                           std::string r = Expect(
                               ReferenceDecode(now, kPassword, plain) == CryptResult::Decoded &&
                                   plain == kOld,
                               "the container does not hold the file");
                           if (keep)
                               r += Expect(ReadBytes(w.File("file.org")) == kOld, "no .org copy");
                           return r;
                       }});
        ops.push_back(
            {keep ? "decode keeping the source" : "decode",
             [](const World& w) {
                 WriteBytes(w.File("file.txt"), HandContainer(kOld, kPassword, kDos));
             },
             [keep](const World& w) {
                 return Catching([&] {
                     return CryptDecodeFile(w.File("file.txt"), kPassword, keep) ==
                            CryptResult::Decoded;
                 });
             },
             [](const World&) { return std::string(); },
             [keep](const World& w, bool told) {
                 const std::string container = HandContainer(kOld, kPassword, kDos);
                 const std::string now = ReadBytes(w.File("file.txt"));
                 if (told) return Expect(now == container, "a failed decoding changed the file");
                 std::string r = Expect(now == kOld, "the decoded file is wrong");
                 if (keep) r += Expect(ReadBytes(w.File("file.crp")) == container, "no .crp copy");
                 return r;
             }});
    }

    ops.push_back({"profile write",
                   [](const World& w) { WriteBytes(w.File("plain.ini"), OldIni()); },
                   [](const World& w) {
                       return Catching([&] {
                           return WritePrivateProfileString("SYSTEM", "FORMAT", "dd.mm.yyyy",
                                                            w.File("plain.ini"));
                       });
                   },
                   [](const World&) { return std::string(); },
                   [](const World& w, bool told) {
                       const std::string now = ReadBytes(w.File("plain.ini"));
                       if (told) return Expect(now == OldIni(), "a failed write changed the file");
                       std::string v;
                       return Expect(ProfileLookup(now, "SYSTEM", "FORMAT", v) &&
                                         v == "dd.mm.yyyy" && now.size() == OldIni().size() + 6,
                                     "the written file is wrong");
                   }});

    // Loading writes nothing; a failed read must be told, never shown as a
    // shorter entry (which the next save would store in the entry's place).
    ops.push_back({"load a plain entry",
                   [](const World& w) {
                       test::MakeDir(w.year);
                       WriteBytes(w.Entry(".dia"), kOld);
                   },
                   [](const World& w) {
                       Outcome o;
                       try {
                           const PaneContent p = LoadPane(w.year, "0117", "");
                           o.told = false;
                           if (p.text != PaneTextFromFile(kOld))
                               o.message = "<shown: a different text>";
                       } catch (const AppError& e) {
                           o.told = true;
                           o.message = e.what();
                       }
                       return o;
                   },
                   [](const World& w) { return test::CannotOpen(w.Entry(".dia")); },
                   [](const World& w, bool) {
                       return Expect(ReadBytes(w.Entry(".dia")) == kOld,
                                     "loading changed the entry");
                   }});
    ops.push_back(
        {"load a locked entry",
         [](const World& w) {
             test::MakeDir(w.year);
             WriteBytes(w.Entry(".xda"), HandContainer(kOld, kPassword, kDos));
         },
         [](const World& w) {
             Outcome o;
             try {
                 const PaneContent p = LoadPane(w.year, "0117", kPassword);
                 // Shown decoded, or kept sealed (read-only) when it could not be
                 // decoded: both keep the stored entry safe.
                 o.told = false;
                 if (!(p.source == PaneSource::Locked && p.text == PaneTextFromFile(kOld)) &&
                     p.source != PaneSource::Sealed) {
                     o.message = "<shown: a different text>";
                 }
             } catch (const AppError& e) {
                 o.told = true;
                 o.message = e.what();
             }
             return o;
         },
         [](const World& w) { return test::CannotOpen(w.Entry(".xda")); },
         [](const World& w, bool) {
             return Expect(ReadBytes(w.Entry(".xda")) == HandContainer(kOld, kPassword, kDos),
                           "loading changed the entry");
         }});
    return ops;
}

struct Figures {
    int injected = 0;
    int told = 0;
    int succeeded = 0;
};
Figures g_total;

class FaultInjection : public ::testing::TestWithParam<std::size_t> {
  protected:
    void TearDown() override { fault::Reset(); }
};

TEST_P(FaultInjection, EveryFailingCallKeepsTheOldDataAndTellsTheUser) {
    const Operation op = Operations()[GetParam()];
    const bool isLoad = std::string(op.name).rfind("load", 0) == 0;

    // The calls the operation makes when nothing fails.
    std::array<int, kOps> calls{};
    {
        test::TempDir dir(test::FastTempBase());
        const World w(dir.path());
        op.setup(w);
        fault::Reset();
        const Outcome clean = op.run(w);
        for (int k = 0; k < kOps; ++k)
            calls[static_cast<std::size_t>(k)] = fault::Calls(static_cast<Op>(k));
        fault::Reset();
        ASSERT_FALSE(clean.told) << op.name << " fails without a fault: " << clean.message;
        ASSERT_EQ(op.verify(w, false), "") << op.name;
    }

    Figures here;
    std::string counts;
    for (int k = 0; k < kOps; ++k) {
        const Op kind = static_cast<Op>(k);
        const int n = calls[static_cast<std::size_t>(k)];
        if (n > 0)
            counts +=
                std::string(kOpNames[static_cast<std::size_t>(k)]) + " " + std::to_string(n) + ", ";
        for (int nth = 1; nth <= n; ++nth) {
            SCOPED_TRACE(std::string(op.name) + ": " + kOpNames[static_cast<std::size_t>(k)] +
                         " call " + std::to_string(nth) + " of " + std::to_string(n) + " fails");
            test::TempDir dir(test::FastTempBase());
            const World w(dir.path());
            op.setup(w);
            fault::FailNth(kind, nth);
            const Outcome o = op.run(w);
            const bool fired = fault::Fired();
            fault::Reset();
            ++here.injected;
            EXPECT_TRUE(fired);
            if (o.told) {
                ++here.told;
                // The settings writes name the cause, which depends on the fault.
                const std::string expected = op.message(w);
                if (expected == test::CannotWrite(w.paths.settingsPath)) {
                    EXPECT_TRUE(test::SettingsNotStored(w.paths.settingsPath, o.message))
                        << "the user is told the wrong thing";
                } else {
                    EXPECT_EQ(o.message, expected) << "the user is told the wrong thing";
                }
            } else {
                ++here.succeeded;
                // A load that goes on shows exactly the entry (or keeps it sealed).
                if (isLoad) {
                    EXPECT_EQ(o.message, "") << "the failed read went unnoticed";
                }
            }
            EXPECT_EQ(op.verify(w, o.told), "");
            // Whatever the failure left, the operation works when run again.
            if (o.told) {
                const Outcome again = op.run(w);
                EXPECT_FALSE(again.told) << "a retry fails: " << again.message;
                EXPECT_EQ(op.verify(w, false), "") << "after a retry";
            }
        }
    }
    std::printf("%-62s calls: %s\n  faults injected %d: told %d, went on with the new data %d\n",
                op.name, counts.c_str(), here.injected, here.told, here.succeeded);
    g_total.injected += here.injected;
    g_total.told += here.told;
    g_total.succeeded += here.succeeded;
    RecordProperty("faults_injected", here.injected);
}

INSTANTIATE_TEST_SUITE_P(AllOperations, FaultInjection,
                         ::testing::Range(std::size_t{0}, Operations().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             std::string name = Operations()[info.param].name;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

// Reading the settings at start-up needs no disk space and no write: when
// the decoding bracket fails (a full disk, say), the stored settings must
// still be read, never silently replaced by the defaults (which would start
// a locked diary with encryption off, no password and the default folder).
TEST(FaultInjectionAtStartUp, ReadSettingsGivesTheStoredValuesWhateverFails) {
    std::array<int, kOps> calls{};
    {
        test::TempDir dir(test::FastTempBase());
        const World w(dir.path());
        WriteBytes(w.paths.settingsPath, HandContainer(OldIni(), kSettingsKey, kDos));
        fault::Reset();
        EXPECT_EQ(test::SettingsFieldsNeither(Read(w), OldSettings(w), OldSettings(w)), "");
        for (int k = 0; k < kOps; ++k)
            calls[static_cast<std::size_t>(k)] = fault::Calls(static_cast<Op>(k));
        fault::Reset();
    }
    int injected = 0;
    int defaults = 0;
    for (int k = 0; k < kOps; ++k) {
        for (int nth = 1; nth <= calls[static_cast<std::size_t>(k)]; ++nth) {
            SCOPED_TRACE(std::string("ReadSettings: ") + kOpNames[static_cast<std::size_t>(k)] +
                         " call " + std::to_string(nth) + " fails");
            test::TempDir dir(test::FastTempBase());
            const World w(dir.path());
            WriteBytes(w.paths.settingsPath, HandContainer(OldIni(), kSettingsKey, kDos));
            fault::FailNth(static_cast<Op>(k), nth);
            TDiarySettings s = DefaultSettings(w.paths);
            const bool read = ReadSettings(s, w.paths);
            fault::Reset();
            ++injected;
            const std::string bad = test::SettingsFieldsNeither(s, OldSettings(w), OldSettings(w));
            if (!bad.empty()) ++defaults;
            // Either the stored settings were read, or the failure is reported
            // (the window says so) and nothing was taken from the file.
            if (read) {
                EXPECT_EQ(bad, "") << "the stored settings were not read";
            } else {
                EXPECT_EQ(test::SettingsFieldsNeither(s, DefaultSettings(w.paths),
                                                      DefaultSettings(w.paths)),
                          "");
            }
            // The file still holds them.
            EXPECT_EQ(test::SettingsFieldsNeither(Read(w), OldSettings(w), OldSettings(w)), "");
        }
    }
    std::printf("ReadSettings: faults injected %d, reported as unreadable %d\n", injected,
                defaults);
    g_total.injected += injected;
}

class Totals : public ::testing::Environment {
  public:
    void TearDown() override {
        std::printf("faults injected in all: %d (told %d, went on with the new data %d)\n",
                    g_total.injected, g_total.told, g_total.succeeded);
    }
};
const auto* const kTotals = ::testing::AddGlobalTestEnvironment(new Totals);

}  // namespace
}  // namespace kuv
