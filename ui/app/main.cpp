#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <optional>

#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTranslator>

#include "app/settings.h"
#include "dates/qt/locale_loader.h"
#include "platform/fileio.h"
#include "ui/app/application.h"
#include "ui/app/command_line.h"
#include "ui/app/single_instance.h"
#include "ui/common/desktop_style.h"
#include "ui/common/font_alias.h"
#include "ui/common/messages.h"
#include "ui/common/qt_text.h"
#include "ui/dialogs/password_dialog.h"
#include "ui/window/main_form.h"

namespace {

// SIGTERM and SIGHUP reach the event loop through this pipe: the handler
// only writes a byte, the loop does the rest.
int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
}

bool InstallSignalPipe() {
    if (::pipe(gSignalPipe) != 0) return false;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGHUP, &action, nullptr) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> status = AnswerInfoOption(argc, argv)) return *status;
    kuv::LoadDateLocale();
    const std::string appDir = kuv::fsio::ExecutableDir();
    // fontconfig reads its configuration once, so before the application.
    InstallFontAlias(kuv::ToQString(appDir));

    TApplication app(argc, argv);
    TApplication::setApplicationName(QString::fromLatin1(kuv::kAppTitle));
    // The desktop file's name: how Wayland compositors find the window's icon.
    TApplication::setDesktopFileName(QStringLiteral(KUV_APP_ID));
    // The three ways to end say so themselves; a hidden main window behind
    // the password prompt is no reason to stop.
    TApplication::setQuitOnLastWindowClosed(false);
    // The desktop's style, or the one chosen with -style.
    TApplication::setStyle(new TDesktopStyle(TApplication::style()->name()));

    // The standard dialogs and context menus in Japanese, where installed.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        TApplication::installTranslator(&qtTranslator);
    }

    // Creates nothing: the folders appear with the first file written there.
    const kuv::AppPaths paths = kuv::ResolveAppPaths(appDir);

    // One window per diary: a second start brings the first window forward
    // (its password prompt while it waits for the password) and ends.
    TSingleInstance instance;
    switch (instance.Start(paths)) {
        case TSingleInstance::Claim::Forwarded:
            return 0;
        case TSingleInstance::Claim::Busy:
            kuv::ShowMessage(DiaryOpenElsewhereMessage());
            return 1;
        case TSingleInstance::Claim::Primary:
            break;
    }
    TMainForm form(paths);
    form.SetDiaryLock(&instance.Lock());
    form.EnableAutoBackup();
    QObject::connect(&instance, &TSingleInstance::activationRequested, &form, [&form] {
        QWidget* prompt = form.PassWordDialog();
        BringToFront(form.Locked() && prompt != nullptr ? prompt : &form);
    });

    if (InstallSignalPipe()) {
        auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
            char byte = 0;
            [[maybe_unused]] const ssize_t n = ::read(gSignalPipe[0], &byte, 1);
            form.EndSession();
        });
    }
    // The desktop session ending: what closing the main window does, without
    // a box that no one would answer.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.EndSession(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.EndSession(); });

    if (!form.Locked()) form.show();
    return TApplication::exec();
}
