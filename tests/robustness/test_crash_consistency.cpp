// A child process saves in a loop, every kind of save the program makes, and
// is killed with SIGKILL at random moments. After every kill the entries, the
// settings and a converted file must hold either what they held before the
// save in flight or what it was writing, readable; and a new start (settings,
// a load, a save) must work with whatever work files the kill left behind.
//
// KUV_CRASH_KILLS sets the number of kills (default 100), KUV_CRASH_SEED the
// random seed (default kDefaultSeed, so that two runs choose the same saves;
// the kill moments still follow the clock), KUV_ROBUST_DIR the folder to work
// in (default /dev/shm). The seed used is printed first.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/settings_file.h"
#include "crypt/cryptogram.h"
#include "diary/diary_book.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "tests/support/reference.h"
#include "tests/support/session_rig.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::Cp932;
using test::Day;
using test::ReadBytes;
using test::ReferenceDecode;

constexpr unsigned kDefaultSeed = 20240117;

constexpr const char* kLockedKey = "lock-key";
constexpr const char* kBlobKey = "blob-key";

enum Op : int {
    kPlainSave,
    kLockedSave,
    kDialogSettings,
    kPasswordSave,
    kClosingSettings,
    kBlobRewrite,
    kBlobEncode,
    kBlobDecode,
    kBlobEncodeKeep,
    kBlobDecodeKeep,
    kStartUp,  // the settings read (decoded and encoded again) of a new start
    kOpCount
};
constexpr std::array<const char*, kOpCount> kOpNames = {"plain entry save",
                                                        "locked entry save",
                                                        "settings dialog write",
                                                        "save under a new password",
                                                        "settings close write",
                                                        "file rewrite",
                                                        "encode",
                                                        "decode",
                                                        "encode keeping the source",
                                                        "decode keeping the source",
                                                        "start-up"};

struct World {
    std::string app, data, year, blob;
    AppPaths paths;
};

World MakeWorld(const std::string& root) {
    World w;
    w.app = root + "/app";
    test::MakeDir(w.app);
    w.paths = FixedAppPaths(w.app);
    w.data = w.paths.settingsFolder;
    test::MakeDir(w.data);
    w.year = w.data + "/2024";
    w.blob = w.data + "/blob.txt";
    return w;
}

// What generation g of each item holds. Sizes vary so that containers of
// one, two and more blocks all occur.
std::string EntryText(const char* tag, long g) {
    std::string t = Cp932("日記 ") + tag + " " + std::to_string(g) + "\r\n";
    t.append(static_cast<std::size_t>(g % 4) * 700, static_cast<char>('a' + g % 26));
    return t + "\r\n";
}
std::string Password(long g) {
    return "pw-" + std::to_string(g);
}
std::string BlobText(long g) {
    std::string t = "blob " + std::to_string(g) + "\n";
    t.append(100 + static_cast<std::size_t>(g % 3) * 1500, static_cast<char>('A' + g % 26));
    return t;
}
ClosingState Closing(long g) {
    ClosingState c;
    c.lowerPaneShown = g % 2 == 0;
    c.lowerPaneHeight = static_cast<int>(200 + g % 1000);
    c.top = static_cast<int>(10 + g % 500);
    c.left = static_cast<int>(5 + g % 300);
    c.height = static_cast<int>(300 + g % 400);
    c.width = static_cast<int>(500 + g % 400);
    return c;
}
DialogValues Dialog(long g, const std::string& data) {
    DialogValues v;
    v.password = Password(g);
    v.useEncryption = true;
    v.dataPath = data;
    v.dateFormat = "yyyy-mm-dd #" + std::to_string(g);
    v.fontSize = static_cast<int>(20 + g % 50);
    v.fontColor = static_cast<std::int32_t>(0x100000 + g);
    v.fontName = "Font " + std::to_string(g);
    v.saveWindow = true;
    v.autoInsertDate = g % 2 == 1;
    return v;
}

// The settings record as a write of op in generation g leaves it over cur.
TDiarySettings Apply(TDiarySettings s, int op, long g, const std::string& data) {
    if (op == kDialogSettings) {
        const DialogValues v = Dialog(g, data);
        s.Password = v.password;
        s.UseEncryption = v.useEncryption;
        s.DataPath = v.dataPath;
        s.DateFormat = v.dateFormat;
        s.FontSize = v.fontSize;
        s.FontColor = v.fontColor;
        s.FontName = v.fontName;
        s.SaveWindow = v.saveWindow;
        s.AutoInsertDate = v.autoInsertDate;
    } else if (op == kClosingSettings) {
        const ClosingState c = Closing(g);
        s.ShowOldDiary = c.lowerPaneShown;
        s.OldDiaryHeight = c.lowerPaneHeight;
        s.WindowTop = c.top;
        s.WindowLeft = c.left;
        s.WindowHeight = c.height;
        s.WindowWidth = c.width;
    }
    return s;
}

// Throws on any save that reports a failure: in the child that ends the run.
void RunOp(const World& w, int op, long g) {
    const std::string org = fsio::ChangeExtension(w.blob, ".org");
    const std::string crp = fsio::ChangeExtension(w.blob, ".crp");
    bool ok = true;
    switch (op) {
        case kPlainSave:
            SaveEntry(w.year, "0117", EntryText("plain", g), false, "");
            break;
        case kLockedSave:
            SaveEntry(w.year, "0118", EntryText("locked", g), true, kLockedKey);
            break;
        case kDialogSettings:
            WriteDialogSettings(w.paths, Dialog(g, w.data));
            break;
        case kPasswordSave:
            SaveEntry(w.year, "0119", EntryText("password", g), true, Password(g));
            break;
        case kClosingSettings:
            WriteClosingSettings(w.paths, Closing(g), true);
            break;
        case kBlobRewrite:
            ok = fsio::WriteFileAtomic(w.blob, BlobText(g), fsio::ChangeExtension(w.blob, ".$$$"));
            break;
        case kBlobEncode:
            ok = CryptEncodeFile(w.blob, kBlobKey, false);
            break;
        case kBlobDecode:
            ok = CryptDecodeFile(w.blob, kBlobKey, false) == CryptResult::Decoded;
            break;
        case kBlobEncodeKeep:
            fsio::Remove(org);
            ok = CryptEncodeFile(w.blob, kBlobKey, true);
            break;
        case kBlobDecodeKeep:
            fsio::Remove(crp);
            ok = CryptDecodeFile(w.blob, kBlobKey, true) == CryptResult::Decoded;
            break;
        default:
            break;
    }
    if (!ok)
        throw std::runtime_error(std::string("failed: ") + kOpNames[static_cast<std::size_t>(op)]);
}

// What a start does with a file that a killed conversion left as a
// container: decode it, as the settings file is decoded before it is read.
void RecoverBlob(const World& w) {
    const std::string bytes = ReadBytes(w.blob);
    if (bytes.compare(0, 8, std::string("\x17\0LOCKED", 8)) == 0 &&
        CryptDecodeFile(w.blob, kBlobKey, false) != CryptResult::Decoded) {
        throw std::runtime_error("the converted file does not decode");
    }
}

struct Record {
    std::int32_t op;     // -1: the child failed
    std::int32_t phase;  // 0 begun, 1 done
    std::int64_t generation;
    std::int64_t ns;  // monotonic clock
};
static_assert(sizeof(Record) <= PIPE_BUF);

std::int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

void Send(int fd, int op, int phase, long g) {
    const Record r{op, phase, g, NowNs()};
    (void)!::write(fd, &r, sizeof r);
}

[[noreturn]] void Child(const World& w, long g0, int fd) {
    try {
        // A new start first, over whatever the last kill left.
        TDiarySettings s = DefaultSettings(w.paths);
        Send(fd, kStartUp, 0, g0);
        ReadSettings(s, w.paths);
        RecoverBlob(w);
        Send(fd, kStartUp, 1, g0);
        for (long g = g0;; ++g) {
            for (int op = 0; op < kStartUp; ++op) {
                Send(fd, op, 0, g);
                RunOp(w, op, g);
                Send(fd, op, 1, g);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "child: %s\n", e.what());
    }
    Send(fd, -1, 0, 0);
    ::_exit(3);
}

// The generation each item holds since the last check.
struct Model {
    long plain = 0, locked = 0, password = 0, blob = 0;
    TDiarySettings settings;
};

struct InFlight {
    int op = -1;  // none: the kill fell between two saves
    long generation = 0;
};

struct Figures {
    int kills = 0;
    int betweenSaves = 0;
    std::array<int, kOpCount> during{};
    int entriesChecked = 0;
    int entriesLost = 0;
    int settingsChecked = 0;
    int filesChecked = 0;
    int restarts = 0;
    int leftWorkFiles = 0;
    int settingsLeftPlain = 0;    // found decoded on disk after the kill
    int settingsHalfWritten = 0;  // some fields new, others old
};

class CrashTest : public ::testing::Test {
  protected:
    void SetUp() override {
        world_ = MakeWorld(dir_.path());
        // Generation 0 of everything, written in this process.
        for (int op = 0; op < kStartUp; ++op) RunOp(world_, op, 0);
        model_.settings = DefaultSettings(world_.paths);
        ReadSettings(model_.settings, world_.paths);
    }

    // Moves the model over a save that the child finished.
    void Finished(int op, long g) {
        switch (op) {
            case kPlainSave:
                model_.plain = g;
                break;
            case kLockedSave:
                model_.locked = g;
                break;
            case kPasswordSave:
                model_.password = g;
                break;
            case kBlobRewrite:
                model_.blob = g;
                break;
            default:
                model_.settings = Apply(model_.settings, op, g, world_.data);
                break;
        }
    }

    // Checks every item against the model and the save in flight, then moves
    // the model to what was found. Adds a failure for anything lost.
    void CheckAfterKill(const InFlight& f, int kill);
    void NewStart(int kill);

    test::TempDir dir_{test::FastTempBase()};
    World world_;
    Model model_;
    Figures figures_;
};

void CrashTest::CheckAfterKill(const InFlight& f, int kill) {
    const auto lost = [&](const std::string& what) {
        ++figures_.entriesLost;
        ADD_FAILURE() << "kill " << kill << " during "
                      << (f.op < 0 ? "nothing" : kOpNames[static_cast<std::size_t>(f.op)])
                      << " (generation " << f.generation << "): " << what;
    };

    // An entry under one key: old text or, when it was being saved, new text.
    const auto entry = [&](const char* name, const char* tag, int op, long& held,
                           const std::function<std::string(long)>& keyOf) {
        ++figures_.entriesChecked;
        std::vector<long> candidates{held};
        if (f.op == op) candidates.push_back(f.generation);
        for (long g : candidates) {
            try {
                const PaneContent p = LoadPane(world_.year, name, keyOf(g));
                if ((p.source == PaneSource::Plain || p.source == PaneSource::Locked) &&
                    p.text == EntryText(tag, g)) {
                    held = g;
                    return;
                }
            } catch (const AppError& e) {
                lost(std::string(name) + " does not load: " + e.what());
                return;
            }
        }
        lost(std::string(name) + " holds neither the old nor the new text");
    };
    entry("0117", "plain", kPlainSave, model_.plain, [](long) { return std::string(); });
    entry("0118", "locked", kLockedSave, model_.locked,
          [](long) { return std::string(kLockedKey); });
    entry("0119", "password", kPasswordSave, model_.password, Password);

    // The converted file: its text, plain or as a container, old or new.
    ++figures_.filesChecked;
    std::vector<long> texts{model_.blob};
    if (f.op == kBlobRewrite) texts.push_back(f.generation);
    const auto holds = [&](const std::string& bytes, const std::vector<long>& gens, long* which) {
        std::string plain;
        const bool decoded = ReferenceDecode(bytes, kBlobKey, plain) == CryptResult::Decoded;
        for (long g : gens) {
            if (bytes == BlobText(g) || (decoded && plain == BlobText(g))) {
                if (which != nullptr) *which = g;
                return true;
            }
        }
        return false;
    };
    if (!holds(ReadBytes(world_.blob), texts, &model_.blob)) {
        lost("the converted file holds neither text: " + ReadBytes(world_.blob).substr(0, 20));
    }
    // Kept copies hold a text of this or an earlier generation (a run of
    // kills before the next conversion that keeps its source leaves an old
    // one), never anything else.
    std::vector<long> recent;
    for (long g = 0; g <= std::max(model_.blob, f.generation); ++g) recent.push_back(g);
    for (const char* ext : {".org", ".crp"}) {
        const std::string kept = fsio::ChangeExtension(world_.blob, ext);
        if (test::Exists(kept) && !holds(ReadBytes(kept), recent, nullptr)) {
            lost(std::string("the kept copy ") + ext + " holds something else");
        }
    }

    // The settings: what they held or what was being written, as a whole.
    ++figures_.settingsChecked;
    if (ReadBytes(world_.paths.settingsPath).compare(0, 8, std::string("\x17\0LOCKED", 8)) != 0) {
        // The password would lie on the disk in plain text.
        ++figures_.settingsLeftPlain;
        lost("the settings file lies decoded after the kill");
    }
    TDiarySettings got = DefaultSettings(world_.paths);
    if (!ReadSettings(got, world_.paths)) lost("the settings file cannot be read");
    const TDiarySettings next =
        f.op >= 0 ? Apply(model_.settings, f.op, f.generation, world_.data) : model_.settings;
    const std::string bad = test::SettingsFieldsNeither(got, model_.settings, next);
    if (!bad.empty()) lost("settings fields hold neither value: " + bad);
    // The keys of one write go to the disk together: never some new and
    // the others old.
    if (!test::SettingsFieldsNeither(got, model_.settings, model_.settings).empty() &&
        !test::SettingsFieldsNeither(got, next, next).empty()) {
        ++figures_.settingsHalfWritten;
        lost("the settings hold some new and some old values");
    }
    model_.settings = got;
    const std::string settingsBytes = ReadBytes(world_.paths.settingsPath);
    if (settingsBytes.compare(0, 8, std::string("\x17\0LOCKED", 8)) != 0) {
        lost("the settings file is not a container after a start");
    }
}

void CrashTest::NewStart(int kill) {
    for (const char* work :
         {"/2024/0117.$$$", "/2024/0118.$$$", "/2024/0119.$$$", "/blob.$$$", "/diary.$$$"}) {
        if (test::Exists(world_.data + work)) ++figures_.leftWorkFiles;
    }
    // The program's start: settings, both panes, then a save of a changed day.
    TDiarySettings s = DefaultSettings(world_.paths);
    ReadSettings(s, world_.paths);
    test::SessionRig rig(world_.paths, s);
    try {
        const test::SessionRig::Loaded shown = rig.GoTo(Day(2024, 1, 17));
        EXPECT_EQ(shown.upper.text, EntryText("plain", model_.plain)) << "kill " << kill;
        // A day of its own for every start: a day saved under an earlier
        // password would load sealed, and a sealed day is never overwritten.
        const TDateTime probeDay = Day(2030, 1, 1) + kill;
        rig.GoTo(probeDay);
        const std::string probe = EntryText("probe", kill);
        rig.Type(probe);
        rig.session.Save();
        const PaneContent back =
            LoadPane(YearFolder(s.DataPath, probeDay), EntryName(probeDay), s.Password);
        EXPECT_EQ(back.text, probe) << "kill " << kill;
        ++figures_.restarts;
    } catch (const AppError& e) {
        ADD_FAILURE() << "kill " << kill << ": the new start fails: " << e.what();
    }
}

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? std::atoi(v) : fallback;
}

// A seed may be any 32-bit value.
unsigned EnvSeed() {
    const char* v = std::getenv("KUV_CRASH_SEED");
    if (v == nullptr || *v == '\0') return kDefaultSeed;
    return static_cast<unsigned>(std::strtoul(v, nullptr, 10));
}

// Reads one record, waiting at most timeoutMs; false on timeout or end.
bool ReadRecord(int fd, Record& r, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    return ::read(fd, &r, sizeof r) == static_cast<ssize_t>(sizeof r);
}

TEST_F(CrashTest, EveryEntryAndSettingSurvivesKillsAtRandomMoments) {
    const int kills = EnvInt("KUV_CRASH_KILLS", 100);
    const unsigned seed = EnvSeed();
    std::mt19937 rng(seed);
    std::printf("crash test: %d kills, seed %u (KUV_CRASH_SEED), folder %s\n", kills, seed,
                dir_.path().c_str());

    // Running means of each save's duration, from the child's own clock.
    std::array<double, kOpCount> meanNs;
    meanNs.fill(500000.0);
    std::array<int, kOpCount> samples{};
    long nextGeneration = 1;

    for (int kill = 1; kill <= kills; ++kill) {
        int fds[2];
        ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            Child(world_, nextGeneration, fds[1]);
        }
        ::close(fds[1]);

        // Aim at one save, at a moment within its usual duration (or a bit
        // past it, so that kills between saves occur too).
        const int target = static_cast<int>(rng() % kOpCount);
        const double span = meanNs[static_cast<std::size_t>(target)] * 1.2;
        const auto delayNs =
            static_cast<std::int64_t>(std::uniform_real_distribution<double>(0.0, span)(rng));

        std::vector<Record> seen;
        Record r{};
        bool aimed = false;
        bool childFailed = false;
        while (ReadRecord(fds[0], r, 20000)) {
            seen.push_back(r);
            if (r.op < 0) {
                childFailed = true;
                break;
            }
            if (r.op == target && r.phase == 0) {
                aimed = true;
                break;
            }
        }
        if (aimed) {
            const std::int64_t until = NowNs() + delayNs;
            while (NowNs() < until) {
            }
        }
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        while (ReadRecord(fds[0], r, 0)) seen.push_back(r);
        ::close(fds[0]);
        for (const Record& x : seen) childFailed = childFailed || x.op < 0;
        ASSERT_FALSE(childFailed) << "a save in the child reported a failure (see stderr)";
        ASSERT_TRUE(aimed) << "the child never reached "
                           << kOpNames[static_cast<std::size_t>(target)];

        // Durations, and the save in flight at the kill.
        InFlight f;
        for (std::size_t i = 0; i < seen.size(); ++i) {
            const Record& x = seen[i];
            if (x.phase == 1 && i > 0 && seen[i - 1].op == x.op && seen[i - 1].phase == 0) {
                const auto k = static_cast<std::size_t>(x.op);
                ++samples[k];
                const double w = samples[k] < 20 ? 1.0 / samples[k] : 0.05;
                meanNs[k] += w * (static_cast<double>(x.ns - seen[i - 1].ns) - meanNs[k]);
            }
            if (x.phase == 1) Finished(x.op, static_cast<long>(x.generation));
            nextGeneration = std::max(nextGeneration, static_cast<long>(x.generation) + 1);
        }
        const Record& last = seen.back();
        if (last.phase == 0) {
            f.op = last.op;
            f.generation = last.generation;
            ++figures_.during[static_cast<std::size_t>(f.op)];
        } else {
            ++figures_.betweenSaves;
        }
        ++figures_.kills;

        CheckAfterKill(f, kill);
        NewStart(kill);
        if (HasFatalFailure()) return;
    }

    std::printf("kills: %d (between two saves: %d)\n", figures_.kills, figures_.betweenSaves);
    for (int op = 0; op < kOpCount; ++op) {
        std::printf("  during %-26s %5d   mean duration %.0f us\n",
                    kOpNames[static_cast<std::size_t>(op)],
                    figures_.during[static_cast<std::size_t>(op)],
                    meanNs[static_cast<std::size_t>(op)] / 1000.0);
    }
    std::printf("entries checked: %d, settings checked: %d, converted files checked: %d\n",
                figures_.entriesChecked, figures_.settingsChecked, figures_.filesChecked);
    std::printf("work files found left over: %d; new starts that worked: %d\n",
                figures_.leftWorkFiles, figures_.restarts);
    std::printf("settings file found decoded after the kill: %d; half written: %d\n",
                figures_.settingsLeftPlain, figures_.settingsHalfWritten);
    std::printf("entries lost or corrupted: %d\n", figures_.entriesLost);
    RecordProperty("kills", figures_.kills);
    RecordProperty("entries_lost", figures_.entriesLost);
    EXPECT_EQ(figures_.entriesLost, 0);
    EXPECT_EQ(figures_.restarts, figures_.kills);
}

}  // namespace
}  // namespace kuv
