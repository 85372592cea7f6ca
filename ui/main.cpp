#include <unistd.h>
#include <csignal>
#include <cstdio>

#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTranslator>

#include "app/settings.h"
#include "dates/qt/locale_loader.h"
#include "platform/fileio.h"
#include "ui/about_dialog.h"
#include "ui/application.h"
#include "ui/font_alias.h"
#include "ui/main_form.h"
#include "ui/messages.h"
#include "ui/password_dialog.h"
#include "ui/qt_text.h"
#include "ui/setting_dialog.h"
#include "ui/single_instance.h"

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
    kuv::LoadDateLocale();
    const std::string appDir = kuv::fsio::ExecutableDir();
    // fontconfig reads its configuration once, so before the application.
    InstallFontAlias(kuv::ToQString(appDir));

    TApplication app(argc, argv);
    TApplication::setApplicationName(QString::fromLatin1(kuv::kAppTitle));
    // The three ways to end say so themselves; a hidden main window behind
    // the password prompt is no reason to stop.
    TApplication::setQuitOnLastWindowClosed(false);

    // The standard dialogs and context menus in Japanese, where installed.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        TApplication::installTranslator(&qtTranslator);
    }

    const kuv::AppPaths paths = kuv::ResolveAppPaths(appDir);
    // The settings and, by default, the entries live here; a fresh program
    // folder has none yet.
    if (!kuv::fsio::IsDirectory(paths.settingsFolder))
        kuv::fsio::MakeDirectory(paths.settingsFolder);

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
    QObject::connect(&instance, &TSingleInstance::activationRequested, &form, [&form] {
        QWidget* prompt = form.PassWordDialog();
        BringToFront(form.Locked() && prompt != nullptr ? prompt : &form);
    });
    TSettingDialog settingDialog(form);
    TAboutDialog aboutDialog;
    form.SetDialogs(&settingDialog, &aboutDialog);

    if (InstallSignalPipe()) {
        auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
            char byte = 0;
            [[maybe_unused]] const ssize_t n = ::read(gSignalPipe[0], &byte, 1);
            form.EndSession();
        });
    }
    // The desktop session ending: what closing the main window does; an
    // error keeps the window and asks the session to wait.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager& manager) {
                         if (!form.EndSession() && manager.allowsInteraction()) manager.cancel();
                     });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.EndSession(); });

    if (!form.Locked()) form.show();
    return TApplication::exec();
}
