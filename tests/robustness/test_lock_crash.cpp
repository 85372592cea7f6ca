// A child process turns the strong lock of a diary on and off in a loop, to
// the Windows container and to plain files in turn, and is killed with
// SIGKILL at random moments. After every kill the next command finishes the
// conversion cut short, and every entry must read as it was written.
//
// KUV_CRASH_KILLS sets the number of kills (default 20), KUV_ROBUST_DIR the
// folder to work in.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "diary/diary_book.h"
#include "lock/lock_convert.h"
#include "platform/errors.h"
#include "tests/support/reference.h"
#include "tests/support/temp_dir.h"

namespace kuv::lock {
namespace {

constexpr int kDays = 40;
const Argon2Params kFast{1, 8192};
// The strong password is the Windows container's key after an unlock to it.
const std::string kPassword = "pw";

std::string Text(int d) {
    return test::Cp932("日記 ") + std::to_string(d) +
           std::string(static_cast<std::size_t>(d * 37), 'x');
}
std::string Name(int d) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02d%02d", 1 + d / 28, 1 + d % 28);
    return buf;
}

[[noreturn]] void Convert(const std::string& data) {
    for (long round = 0;; ++round) {
        std::string code;
        if (ConversionPending(data) && !FinishConversion(data, kPassword, kPassword).ok()) _exit(3);
        if (HasStrongLock(data)) {
            const UnlockTarget to = round % 2 == 0 ? UnlockTarget::Windows : UnlockTarget::Plain;
            if (!TurnOff(data, kPassword, to).ok()) _exit(4);
        } else if (!TurnOn(data, kPassword, kPassword, kFast, code).ok()) {
            _exit(5);
        }
    }
}

TEST(LockCrashTest, KillsDuringConversionLoseNothing) {
    const char* killsEnv = std::getenv("KUV_CRASH_KILLS");
    const int kills = killsEnv != nullptr ? std::atoi(killsEnv) : 20;
    test::TempDir root(test::FastTempBase());
    const std::string data = root / "data";
    test::MakeDir(data);
    test::MakeDir(data + "/2024");
    setenv("XDG_DATA_HOME", root.path().c_str(), 1);
    for (int d = 0; d < kDays; ++d) test::WriteBytes(data + "/2024/" + Name(d) + ".dia", Text(d));

    std::mt19937 random(20240117);
    int cutShort = 0;
    for (int k = 0; k < kills; ++k) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) Convert(data);
        usleep(std::uniform_int_distribution<useconds_t>(1000, 60000)(random));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << WEXITSTATUS(status);

        cutShort += ConversionPending(data) ? 1 : 0;
        const LockResult finished = FinishConversion(data, kPassword, kPassword);
        ASSERT_TRUE(finished.ok()) << k << ": " << finished.message;
        if (HasStrongLock(data)) {
            DiaryKey key;
            ASSERT_TRUE(OpenDiaryKey(data, kPassword, SlotKind::Password, key).ok()) << k;
            RememberKey(data, std::move(key));
        }
        for (int d = 0; d < kDays; ++d) {
            try {
                EXPECT_EQ(LoadPane(data + "/2024", Name(d), kPassword).text, Text(d))
                    << "kill " << k << ", day " << Name(d);
            } catch (const AppError& e) {
                ADD_FAILURE() << "kill " << k << ", day " << Name(d) << ": " << e.what();
            }
        }
        ForgetKey(data);
        if (HasFailure()) break;
    }
    std::printf("%d of %d kills cut a conversion short\n", cutShort, kills);
}

}  // namespace
}  // namespace kuv::lock
