#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QPointer>
#include <QString>

#include "diary/session.h"
#include "lock/key_file.h"
#include "lock/strong_lock.h"
#include "platform/progress.h"
#include "ui/lock/lock_password_dialog.h"
#include "ui/lock/recovery_code_dialog.h"

class QWidget;
class TBackgroundWork;
class TMainActions;
class TPassWordDialog;

// The strong lock in the window: the prompt's check of a strong-locked
// diary's password, turning the lock on and off from the settings dialog,
// and the password's changes (ファイル menu). Every Argon2id run and every
// conversion goes to the worker; the settings file follows each change.
class TStrongLockCommands final : public QObject {
    Q_OBJECT

  public:
    TStrongLockCommands(QWidget* window, kuv::DiarySession& session, const TMainActions& actions);
    ~TStrongLockCommands() override;
    TStrongLockCommands(const TStrongLockCommands&) = delete;
    TStrongLockCommands& operator=(const TStrongLockCommands&) = delete;

    // The Argon2id work of the slots the window writes (tests keep it small).
    static void SetArgon2Params(const kuv::lock::Argon2Params& params);

    // The prompt's OK for a strong-locked diary: the key is opened on the
    // worker while the prompt shows that it is busy; a refusal is told
    // before the window is up, as the prompt's own message is.
    void OpenAtPrompt(TPassWordDialog& prompt, const QString& typed);
    // The settings dialog's strong-lock button: on or off, as it stands.
    void OpenSwitch();
    // The commands are offered only while the diary is strong-locked.
    void FollowDiary();

    // The dialogs open now, for tests and the window.
    TLockPasswordDialog* QuestionDialog() const { return FDialog; }
    TRecoveryCodeDialog* RecoveryDialog() const { return FRecovery; }

  signals:
    // The prompt's password opened the diary and the session loaded it.
    void diaryOpened();
    // The lock was turned on or off.
    void lockChanged(bool on);
    void notice(const QString& text);
    // Every entry is being rewritten by the window itself (true), or no more.
    void converting(bool running);

  private:
    struct Outcome {
        kuv::lock::LockResult result;
        std::string code;      // a new recovery code, to be shown once
        bool changed = false;  // the diary's files now lie under another lock or key
        ~Outcome() { std::fill(code.begin(), code.end(), '\0'); }
    };
    void Ask(TLockPasswordDialog::Kind kind);
    void Submitted();
    // The entry shown is saved before a conversion reads the diary; false
    // (with the reason in the dialog) when it cannot be.
    bool SaveFirst();
    void Run(const QString& label, std::function<Outcome(const kuv::ProgressFn&)> job);
    void Finished(const Outcome& outcome);
    // The settings follow what the prompt found (and finished) on disk.
    void SettleSettings(const std::string& typedCp932);
    void StoreLockState(bool on, const std::string& password, bool useEncryption);
    void ShowRecoveryCode(const std::string& code);

    QWidget* FWindow;
    kuv::DiarySession& FSession;
    const TMainActions& FActions;
    std::unique_ptr<TBackgroundWork> FWork;
    QPointer<TLockPasswordDialog> FDialog;
    QPointer<TRecoveryCodeDialog> FRecovery;
    QPointer<TPassWordDialog> FPrompt;
    // The change running, and what it stores once it is done.
    TLockPasswordDialog::Kind FRunning = TLockPasswordDialog::Kind::TurnOn;
    std::string FWindowsKey;
    bool FToPlain = false;
};
