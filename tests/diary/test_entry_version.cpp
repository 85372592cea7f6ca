#include "diary/entry_version.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "crypt/cryptogram.h"
#include "tests/support/temp_dir.h"

namespace kuv {
namespace {

using test::TempDir;
using test::WriteBytes;

const std::string kName = "0117";

class EntryVersionTest : public ::testing::Test {
  public:
    std::string Plain() const { return dir_ / (kName + ".dia"); }
    std::string Locked() const { return dir_ / (kName + ".xda"); }
    std::string Other() const { return dir_ / "other"; }
    // Writes bytes through a second name and moves it in, as a sync tool does.
    void MoveIn(const std::string& path, const std::string& bytes) const {
        WriteBytes(Other(), bytes);
        ASSERT_EQ(std::rename(Other().c_str(), path.c_str()), 0);
    }
    TempDir dir_;
};

// Rewrites the file in place with other bytes of the same size and puts its
// old modification time back, to the nanosecond.
void RewriteKeepingStamp(const std::string& path, const std::string& bytes) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    ASSERT_EQ(static_cast<std::size_t>(st.st_size), bytes.size());
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::futimens(fd, times), 0);
    ::close(fd);
}

TEST_F(EntryVersionTest, EveryOrderOfEventsBetweenCaptureAndCheck) {
    struct Case {
        const char* what;
        std::function<void(EntryVersionTest&)> before, between;
        EntryChange want;
    };
    auto plain = [](const char* b) {
        return [b](EntryVersionTest& t) { WriteBytes(t.Plain(), b); };
    };
    auto locked = [](const char* b) {
        return [b](EntryVersionTest& t) { WriteBytes(t.Locked(), b); };
    };
    auto nothing = [](EntryVersionTest&) {};
    const Case cases[] = {
        {"no entry, still none", nothing, nothing, EntryChange::None},
        {"no entry, .dia created", nothing, plain("new"), EntryChange::Created},
        {"no entry, .xda created", nothing, locked("new"), EntryChange::Created},
        {"a folder of the entry's name is no entry", nothing,
         [](EntryVersionTest& t) { ::mkdir(t.Plain().c_str(), 0700); }, EntryChange::None},
        {"untouched", plain("same"), nothing, EntryChange::None},
        {"touched only", plain("same"),
         [](EntryVersionTest& t) { ::utimensat(AT_FDCWD, t.Plain().c_str(), nullptr, 0); },
         EntryChange::None},
        {"same bytes moved in (new inode)", plain("same"),
         [](EntryVersionTest& t) { t.MoveIn(t.Plain(), "same"); }, EntryChange::None},
        {"removed", plain("gone"), [](EntryVersionTest& t) { std::remove(t.Plain().c_str()); },
         EntryChange::Removed},
        {"removed and written back alike", plain("back"),
         [](EntryVersionTest& t) {
             std::remove(t.Plain().c_str());
             WriteBytes(t.Plain(), "back");
         },
         EntryChange::None},
        {"replaced by mv, same size", plain("aaaa"),
         [](EntryVersionTest& t) { t.MoveIn(t.Plain(), "bbbb"); }, EntryChange::Modified},
        {"rewritten in place, same size and time", plain("aaaa"),
         [](EntryVersionTest& t) { RewriteKeepingStamp(t.Plain(), "abba"); },
         EntryChange::Modified},
        {"grown", plain("a"), plain("ab"), EntryChange::Modified},
        {".dia appeared beside a loaded .xda", locked("lock"), plain("new"), EntryChange::Modified},
        {".xda appeared beside a loaded .dia", plain("text"), locked("lock"),
         EntryChange::Modified},
        {"the .xda replaced", locked("lock-1"), locked("lock-2"), EntryChange::Modified},
        {"locked elsewhere: .xda written, .dia removed", plain("text"),
         [](EntryVersionTest& t) {
             WriteBytes(t.Locked(), "lock");
             std::remove(t.Plain().c_str());
         },
         EntryChange::Modified},
        {"unlocked elsewhere: .dia written, .xda removed", locked("lock"),
         [](EntryVersionTest& t) {
             WriteBytes(t.Plain(), "text");
             std::remove(t.Locked().c_str());
         },
         EntryChange::Modified},
        {"both removed", locked("lock"),
         [](EntryVersionTest& t) { std::remove(t.Locked().c_str()); }, EntryChange::Removed},
    };
    for (const Case& c : cases) {
        EntryVersionTest& t = *this;
        std::filesystem::remove(Plain());
        std::remove(Locked().c_str());
        c.before(t);
        const EntryVersion loaded = CaptureEntryVersion(dir_.path(), kName);
        c.between(t);
        EXPECT_EQ(EntryChangedSince(loaded, dir_.path(), kName), c.want) << c.what;
    }
}

TEST_F(EntryVersionTest, LoadAndSaveKeepTheVersionOfWhatTheyHandled) {
    const std::string key = "pass";
    WriteBytes(Plain(), "line\n");
    EntryVersion v;
    const PaneContent pane = LoadPaneVersioned(dir_.path(), kName, key, v);
    EXPECT_EQ(pane.text, "line\r\n");
    EXPECT_EQ(v.file, EntryFile::Plain);
    EXPECT_EQ(EntryChangedSince(v, dir_.path(), kName), EntryChange::None);

    for (const bool lock : {false, true}) {
        const std::string text = lock ? "locked text" : "plain text";
        SaveEntry(dir_.path(), kName, text, lock, key);
        v = VersionAfterSave(dir_.path(), kName, text, key);
        EXPECT_EQ(v.file, lock ? EntryFile::Locked : EntryFile::Plain);
        EXPECT_EQ(EntryChangedSince(v, dir_.path(), kName), EntryChange::None) << lock;
    }
    // Another writer came between the save and the look at it: the file
    // holds what nobody in this window saw, so every check says so.
    SaveEntry(dir_.path(), kName, "mine", false, key);
    WriteBytes(Plain(), "theirs");
    v = VersionAfterSave(dir_.path(), kName, "mine", key);
    EXPECT_EQ(EntryChangedSince(v, dir_.path(), kName), EntryChange::Modified);
    // A locked entry that does not decode to the text under the key is not it.
    ASSERT_TRUE(CryptEncodeBytesTo("mine", 0, Locked(), key));
    std::remove(Plain().c_str());
    EXPECT_EQ(EntryChangedSince(VersionAfterSave(dir_.path(), kName, "mine", "other"), dir_.path(),
                                kName),
              EntryChange::Modified);
}

}  // namespace
}  // namespace kuv
