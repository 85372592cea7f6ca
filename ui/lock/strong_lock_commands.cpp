#include "ui/lock/strong_lock_commands.h"

#include <algorithm>
#include <exception>
#include <utility>

#include <QAction>
#include <QWidget>

#include "app/settings_file.h"
#include "crypt/cryptogram.h"
#include "lock/lock_convert.h"
#include "ui/app/application.h"
#include "ui/common/background_work.h"
#include "ui/common/messages.h"
#include "ui/common/qt_text.h"
#include "ui/dialogs/password_dialog.h"
#include "ui/lock/recovery_code_dialog.h"
#include "ui/window/main_actions.h"

namespace {

using Kind = TLockPasswordDialog::Kind;
namespace lock = kuv::lock;

lock::Argon2Params gNewSlotParams;

// A secret held for a job: wiped when the last holder lets it go.
struct Secret {
    std::string bytes;
    explicit Secret(const QString& text) : bytes(text.toUtf8().toStdString()) {}
    ~Secret() { std::fill(bytes.begin(), bytes.end(), '\0'); }
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;
};

// Code page 932 bytes held for a job, wiped in the same way.
std::shared_ptr<std::string> WipedLater(std::string bytes) {
    return std::shared_ptr<std::string>(new std::string(std::move(bytes)), [](std::string* p) {
        std::fill(p->begin(), p->end(), '\0');
        delete p;
    });
}

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// What each change says once it is done.
QString DoneText(Kind kind) {
    switch (kind) {
        case Kind::TurnOn:
        case Kind::TurnOnWindows:
            return QStringLiteral("日記に強い鍵をかけました");
        case Kind::TurnOff:
            return QStringLiteral("日記の強い鍵を外しました");
        case Kind::Change:
        case Kind::Recover:
            return QStringLiteral("パスワードを変更しました");
        case Kind::Rekey:
            return QStringLiteral("すべての日記を新しい鍵で暗号化し直しました");
    }
    return {};
}

}  // namespace

TStrongLockCommands::TStrongLockCommands(QWidget* window, kuv::DiarySession& session,
                                         const TMainActions& actions)
    : FWindow(window),
      FSession(session),
      FActions(actions),
      FWork(std::make_unique<TBackgroundWork>(window)) {
    const auto command = [this](kuv::MainAction id, Kind kind) {
        connect(FActions[id], &QAction::triggered, this,
                [this, kind] { kuv::Guarded([this, kind] { Ask(kind); }); });
    };
    command(kuv::MainAction::ChangeLockPassword, Kind::Change);
    command(kuv::MainAction::RecoverLockPassword, Kind::Recover);
    command(kuv::MainAction::RekeyDiary, Kind::Rekey);
}

TStrongLockCommands::~TStrongLockCommands() = default;

void TStrongLockCommands::SetArgon2Params(const lock::Argon2Params& params) {
    gNewSlotParams = params;
}

void TStrongLockCommands::FollowDiary() {
    const bool on = !FSession.Locked() && FSession.StrongLocked();
    for (kuv::MainAction id : {kuv::MainAction::ChangeLockPassword,
                               kuv::MainAction::RecoverLockPassword, kuv::MainAction::RekeyDiary}) {
        FActions[id]->setEnabled(on);
    }
}

void TStrongLockCommands::OpenAtPrompt(TPassWordDialog& prompt, const QString& typed) {
    if (prompt.Busy() || FWork->Busy()) return;
    FPrompt = &prompt;
    prompt.SetBusy(true);
    const std::string dataPath = FSession.Settings().DataPath;
    // Entries still in their Windows container (a conversion cut short)
    // open with the settings' password.
    const std::string windowsKey = FSession.Settings().Password;
    auto password = std::make_shared<Secret>(typed);
    const kuv::Cp932Text asWindowsKey = kuv::ToCp932(typed);
    auto windowsTyped = WipedLater(asWindowsKey.ok ? asWindowsKey.bytes : std::string());
    FWork->Run<lock::LockResult>(
        QString(),
        [dataPath, windowsKey, password](const kuv::ProgressFn&) {
            return lock::OpenStrongLockedDiary(dataPath, password->bytes, windowsKey);
        },
        [this, windowsTyped](const lock::LockResult& r) {
            if (FPrompt != nullptr) FPrompt->SetBusy(false);
            if (!r.ok()) {
                // Before the window is up: the prompt's own kind of message.
                kuv::ShowMessage(Utf8(r.message));
                return;
            }
            try {
                if (!FSession.UnlockOpened()) {
                    kuv::ShowMessage(
                        Utf8(lock::LockMessage(lock::LockStatus::KeyFileMissing,
                                               lock::KeyFilePath(FSession.Settings().DataPath))));
                    return;
                }
            } catch (...) {
                // The diary is open; only today's entry could not be shown.
                if (!FSession.Locked()) emit diaryOpened();
                throw;
            }
            SettleSettings(*windowsTyped);
            emit diaryOpened();
        });
}

void TStrongLockCommands::SettleSettings(const std::string& typedCp932) {
    const kuv::TDiarySettings& s = FSession.Settings();
    if (FSession.StrongLocked()) {
        // A lock whose end the settings never heard of (a crash, the tool
        // on a diary that a window had set): no password stays stored.
        if (!s.StrongLock || s.UseEncryption || !s.Password.empty()) {
            StoreLockState(true, std::string(), false);
        }
        return;
    }
    if (!s.StrongLock) return;
    // A way back cut short and finished at the prompt: the Windows
    // container keeps the entries closed whichever way it went, so it is
    // the one chosen when the password can be its key.
    const bool windows = kuv::CryptKeyStorable(typedCp932);
    StoreLockState(false, windows ? typedCp932 : std::string(), windows);
    FSession.Load();
}

void TStrongLockCommands::OpenSwitch() {
    if (FSession.Locked()) return;
    const kuv::TDiarySettings& s = FSession.Settings();
    if (FSession.StrongLocked()) {
        Ask(Kind::TurnOff);
    } else {
        // A diary under the Windows lock keeps its password.
        Ask(s.UseEncryption && !s.Password.empty() ? Kind::TurnOnWindows : Kind::TurnOn);
    }
}

void TStrongLockCommands::Ask(Kind kind) {
    if (FSession.Locked()) return;
    if (FDialog != nullptr) {
        FDialog->raise();
        FDialog->activateWindow();
        return;
    }
    FDialog = new TLockPasswordDialog(kind, FWindow);
    FDialog->setAttribute(Qt::WA_DeleteOnClose);
    // Nothing may change the diary while its lock changes.
    FDialog->setWindowModality(Qt::ApplicationModal);
    connect(FDialog, &TLockPasswordDialog::submitted, this,
            [this] { kuv::Guarded([this] { Submitted(); }); });
    FDialog->show();
}

bool TStrongLockCommands::SaveFirst() {
    try {
        FSession.Save();
        return true;
    } catch (const std::exception& e) {
        FDialog->ShowError(kuv::ToQString(e.what()));
        return false;
    }
}

void TStrongLockCommands::Submitted() {
    if (FDialog == nullptr || FWork->Busy()) return;
    const kuv::TDiarySettings& s = FSession.Settings();
    const std::string dataPath = s.DataPath;
    const lock::Argon2Params params = gNewSlotParams;
    const Kind kind = FDialog->WhatFor();
    auto secret = std::make_shared<Secret>(FDialog->Secret());
    auto next = std::make_shared<Secret>(FDialog->NewPassword());
    switch (kind) {
        case Kind::TurnOn:
        case Kind::TurnOnWindows: {
            if (kind == Kind::TurnOnWindows) {
                const kuv::Cp932Text typed = kuv::ToCp932(FDialog->Secret());
                if (!typed.ok || typed.bytes != s.Password) {
                    FDialog->ShowError(QStringLiteral("起動パスワードが違います"));
                    return;
                }
            }
            if (!SaveFirst()) return;
            auto password = kind == Kind::TurnOnWindows ? secret : next;
            const std::string windowsKey = s.Password;
            Run(QStringLiteral("日記に強い鍵をかけています…"),
                [dataPath, password, windowsKey, params](const kuv::ProgressFn& progress) {
                    Outcome o;
                    o.result = lock::TurnOn(dataPath, password->bytes, windowsKey, params, o.code,
                                            progress);
                    o.changed = o.result.ok();
                    // The panes read the new entries with the key kept open.
                    if (o.changed) {
                        o.result = lock::OpenStrongLockedDiary(dataPath, password->bytes, {});
                    }
                    return o;
                });
            return;
        }
        case Kind::TurnOff: {
            const bool plain = FDialog->ToPlain();
            const kuv::Cp932Text key = kuv::ToCp932(FDialog->Secret());
            FWindowsKey = plain || !key.ok ? std::string() : key.bytes;
            FToPlain = plain;
            if (!SaveFirst()) return;
            const lock::UnlockTarget to =
                plain ? lock::UnlockTarget::Plain : lock::UnlockTarget::Windows;
            Run(QStringLiteral("日記の強い鍵を外しています…"),
                [dataPath, secret, to](const kuv::ProgressFn& progress) {
                    Outcome o;
                    o.result = lock::TurnOff(dataPath, secret->bytes, to, progress);
                    o.changed = o.result.ok();
                    return o;
                });
            return;
        }
        case Kind::Change:
        case Kind::Recover:
            // Argon2id only: a second or two, with the dialog's own busy bar.
            Run(QString(), [dataPath, secret, next, params, kind](const kuv::ProgressFn&) {
                Outcome o;
                o.result =
                    kind == Kind::Change
                        ? lock::ChangePassword(dataPath, secret->bytes, next->bytes, params)
                        : lock::RecoverPassword(dataPath, secret->bytes, next->bytes, params);
                return o;
            });
            return;
        case Kind::Rekey:
            if (!SaveFirst()) return;
            Run(QStringLiteral("新しい鍵で暗号化し直しています…"),
                [dataPath, secret, params](const kuv::ProgressFn& progress) {
                    Outcome o;
                    o.result = lock::Rekey(dataPath, secret->bytes, params, o.code, progress);
                    o.changed = o.result.ok();
                    return o;
                });
            return;
    }
}

void TStrongLockCommands::Run(const QString& label,
                              std::function<Outcome(const kuv::ProgressFn&)> job) {
    FRunning = FDialog->WhatFor();
    FDialog->SetBusy(true);
    emit converting(true);
    FWork->Run<Outcome>(label, std::move(job),
                        [this](const Outcome& outcome) { Finished(outcome); });
}

void TStrongLockCommands::Finished(const Outcome& outcome) {
    if (FDialog != nullptr) FDialog->SetBusy(false);
    emit converting(false);
    const Kind kind = FRunning;
    if (outcome.changed) {
        if (kind == Kind::TurnOn || kind == Kind::TurnOnWindows) {
            StoreLockState(true, std::string(), false);
        } else if (kind == Kind::TurnOff) {
            StoreLockState(false, FWindowsKey, !FToPlain);
        }
        std::fill(FWindowsKey.begin(), FWindowsKey.end(), '\0');
        FollowDiary();
        if (kind != Kind::Rekey) emit lockChanged(kind != Kind::TurnOff);
        // The panes show the entries as they now lie.
        FSession.Load();
    }
    if (!outcome.result.ok()) {
        const QString why = Utf8(outcome.result.message);
        if (FDialog != nullptr) {
            FDialog->ShowError(why);
        } else {
            emit notice(why);
        }
        // The lock is on all the same: its code is shown this once.
        if (!outcome.code.empty() && outcome.changed) ShowRecoveryCode(outcome.code);
        return;
    }
    if (FDialog != nullptr) FDialog->close();
    emit notice(DoneText(kind));
    if (!outcome.code.empty()) ShowRecoveryCode(outcome.code);
}

void TStrongLockCommands::StoreLockState(bool on, const std::string& password, bool useEncryption) {
    kuv::TDiarySettings& s = FSession.Settings();
    s.StrongLock = on;
    s.Password = password;
    s.UseEncryption = useEncryption;
    const kuv::SettingsWriteResult w = kuv::StoreStrongLockSetting(
        FSession.Paths(), FSession.SettingsAtStart(), on, password, useEncryption);
    if (!w.ok()) emit notice(kuv::ToQString(w.message));
}

void TStrongLockCommands::ShowRecoveryCode(const std::string& code) {
    delete FRecovery.data();
    FRecovery = new TRecoveryCodeDialog(Utf8(code), FWindow);
    FRecovery->setAttribute(Qt::WA_DeleteOnClose);
    FRecovery->setWindowModality(Qt::ApplicationModal);
    FRecovery->show();
}
