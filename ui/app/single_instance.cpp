#include "ui/app/single_instance.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>

#include "app/settings.h"
#include "app/settings_file.h"

namespace {

constexpr char kRequest[] = "activate\n";
constexpr char kReply[] = "ok\n";
// A window that answers at all answers within this.
constexpr int kAnswerMs = 2000;
// How long a window that holds a lock but does not answer yet is given to
// finish its start.
constexpr int kStartingMs = 5000;
constexpr int kRetryMs = 50;

QString SocketName(const std::string& nativePath) {
    return QFile::decodeName(QByteArray::fromStdString(nativePath));
}

// Asks the window on socket to come forward; true when it said it did.
bool AskToComeForward(const QString& socket) {
    if (socket.isEmpty()) return false;
    QLocalSocket s;
    s.connectToServer(socket);
    if (!s.waitForConnected(kAnswerMs)) return false;
    s.write(kRequest);
    if (!s.waitForBytesWritten(kAnswerMs)) return false;
    QByteArray reply;
    const QDeadlineTimer deadline(kAnswerMs);
    while (!reply.contains('\n') &&
           s.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
        reply += s.readAll();
    }
    return reply == kReply;
}

}  // namespace

TSingleInstance::TSingleInstance(QObject* parent) : QObject(parent) {}

TSingleInstance::~TSingleInstance() = default;

TSingleInstance::Claim TSingleInstance::Start(const kuv::AppPaths& paths) {
    const std::string socketPath = kuv::InstanceSocketPath(paths.appDir);
    if (socketPath.empty()) return Claim::Primary;
    const QString socket = SocketName(socketPath);

    // The program folder: a window holds its lock, and answers on its socket
    // or is starting. A free lock means no window, and nothing to ask.
    QDeadlineTimer deadline(kStartingMs);
    for (;;) {
        if (FProgramLock.Acquire(paths.appDir) != kuv::LockResult::Busy) break;
        if (AskToComeForward(socket)) return Claim::Forwarded;
        if (deadline.hasExpired()) return Claim::Busy;
        QThread::msleep(kRetryMs);
    }

    // The diary: a window of another program folder may have it. Its lock
    // names the socket to ask; a window that ends meanwhile leaves it free.
    kuv::TDiarySettings settings = kuv::DefaultSettings(paths);
    kuv::ReadSettings(settings, paths);
    deadline.setRemainingTime(kStartingMs);
    for (;;) {
        const kuv::LockResult r =
            FDiaryLock.Acquire(settings.DataPath, paths.settingsFolder, socketPath);
        if (r != kuv::LockResult::Busy) break;
        if (AskToComeForward(SocketName(FDiaryLock.HolderNote()))) return Claim::Forwarded;
        if (deadline.hasExpired()) return Claim::Busy;
        QThread::msleep(kRetryMs);
    }

    FServer = new QLocalServer(this);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    // Nobody answered and this process holds the program folder's lock: a
    // socket file there is left by a window that ended without removing it.
    if (FProgramLock.Held()) QLocalServer::removeServer(socket);
    if (FServer->listen(socket)) {
        connect(FServer, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
    }
    return Claim::Primary;
}

void TSingleInstance::OnNewConnection() {
    while (QLocalSocket* s = FServer->nextPendingConnection()) {
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QLocalSocket::readyRead, this, [this, s] {
            if (!s->canReadLine()) {
                if (s->bytesAvailable() > static_cast<qint64>(sizeof kRequest)) s->abort();
                return;
            }
            if (s->readLine(sizeof kRequest) == kRequest) {
                emit activationRequested();
                s->write(kReply);
                s->flush();
            }
            s->disconnectFromServer();
        });
    }
}

QString DiaryOpenElsewhereMessage() {
    return QStringLiteral(
        "この日記はほかのウィンドウで開かれていますが、そのウィンドウが応答しません");
}

void BringToFront(QWidget* window) {
    if (window == nullptr || !window->isVisible()) return;
    if (window->isMinimized()) {
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    }
    window->raise();
    window->activateWindow();
}
