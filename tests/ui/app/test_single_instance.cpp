// One window per diary: the first start is this test process, the second the
// real program, started from a program folder of its own.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "app/instance_lock.h"
#include "app/settings.h"
#include "app/settings_file.h"
#include "tests/support/temp_dir.h"
#include "ui/app/single_instance.h"

namespace {

// The real program, copied into a program folder: it takes its folder from
// where its executable lies.
class Program {
  public:
    Program() : paths_(kuv::ResolveAppPaths(dir_.path())) {
        const QString exe = QString::fromStdString(dir_ / "kuvandoro");
        QFile::copy(QStringLiteral(KUV_BIN_DIR "/kuvandoro"), exe);
        QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const kuv::AppPaths& paths() const { return paths_; }

    // Starts the program and waits for it to end, serving this process's
    // window meanwhile. False when it runs on (it opened a window of its own).
    bool Run(int& exitCode) {
        QProcess p;
        p.setProgram(QString::fromStdString(dir_ / "kuvandoro"));
        p.start();
        if (!p.waitForStarted()) return false;
        const bool ended =
            QTest::qWaitFor([&p] { return p.state() == QProcess::NotRunning; }, 15000);
        if (!ended) {
            p.kill();
            p.waitForFinished();
            return false;
        }
        exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return true;
    }

  private:
    kuv::test::TempDir dir_;
    kuv::AppPaths paths_;
};

}  // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void secondStartBringsTheFirstWindowForward();
    void anotherProgramFolderOnTheSameDiaryIsForwarded();

  private:
    // This process as the first start of program, with a window to raise.
    void StartPrimary(const Program& program);

    std::unique_ptr<kuv::test::TempDir> runtime_;
    std::unique_ptr<TSingleInstance> instance_;
    std::unique_ptr<QWidget> window_;
    std::unique_ptr<QSignalSpy> spy_;
};

void TestSingleInstance::init() {
    runtime_ = std::make_unique<kuv::test::TempDir>();
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime_->path()));
}

void TestSingleInstance::cleanup() {
    spy_.reset();
    instance_.reset();
    window_.reset();
    runtime_.reset();
    qunsetenv("XDG_RUNTIME_DIR");
}

void TestSingleInstance::StartPrimary(const Program& program) {
    instance_ = std::make_unique<TSingleInstance>();
    QCOMPARE(instance_->Start(program.paths()), TSingleInstance::Claim::Primary);
    window_ = std::make_unique<QWidget>();
    window_->show();
    window_->showMinimized();
    QObject::connect(instance_.get(), &TSingleInstance::activationRequested, window_.get(),
                     [w = window_.get()] { BringToFront(w); });
    spy_ = std::make_unique<QSignalSpy>(instance_.get(), &TSingleInstance::activationRequested);
}

void TestSingleInstance::secondStartBringsTheFirstWindowForward() {
    Program program;
    // A socket file that nobody listens on any more, left by a crash.
    const std::string path = kuv::InstanceSocketPath(program.paths().appDir);
    QVERIFY(!path.empty());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);

    StartPrimary(program);
    int exitCode = -1;
    QVERIFY2(program.Run(exitCode), "the second start opened a window of its own");
    QCOMPARE(exitCode, 0);
    QCOMPARE(spy_->count(), 1);
    QVERIFY(!window_->isMinimized());
    // The diary stays this process's, and the second start left it so.
    QVERIFY(kuv::DiaryFolderInUse(program.paths().settingsFolder));
}

void TestSingleInstance::anotherProgramFolderOnTheSameDiaryIsForwarded() {
    Program first, second;
    ::mkdir(first.paths().settingsFolder.c_str(), 0700);
    ::mkdir(second.paths().settingsFolder.c_str(), 0700);
    kuv::DialogValues v;
    v.dataPath = first.paths().settingsFolder;
    v.dateFormat = kuv::kDefaultDateFormat;
    v.fontName = kuv::kDefaultFontName;
    kuv::WriteDialogSettings(second.paths(), v);

    StartPrimary(first);
    int exitCode = -1;
    QVERIFY2(second.Run(exitCode), "the second start opened a window of its own");
    QCOMPARE(exitCode, 0);
    QCOMPARE(spy_->count(), 1);
}

QTEST_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
