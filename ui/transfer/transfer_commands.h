#pragma once

#include <memory>
#include <vector>

#include <QObject>
#include <QString>

class QAction;
class QWidget;
class TBackgroundWork;
class TMainActions;

namespace kuv {
class DiarySession;
struct AutoBackupResult;
struct DayRange;
struct ExportedDay;
enum class ExportFormat;
struct ImportResult;
struct JobState;
struct RestoreResult;
}  // namespace kuv

// Taking the diary out and bringing it back: export, print, backup, restore,
// import, and the automatic backup of the day. Each command asks what it
// needs, saves the entry being edited, and runs its work on the worker
// thread; the window shows what came of it.
class TTransferCommands final : public QObject {
    Q_OBJECT

  public:
    // window holds the dialogs and the progress; the commands act on session.
    TTransferCommands(QWidget* window, kuv::DiarySession& session, const TMainActions& actions);
    ~TTransferCommands() override;
    TTransferCommands(const TTransferCommands&) = delete;
    TTransferCommands& operator=(const TTransferCommands&) = delete;

    // A job is still running.
    bool Busy() const;
    // The automatic backup of the day runs once the window has been shown
    // (and the diary unlocked); the program turns it on.
    void EnableAutoBackup() { FAutoBackupEnabled = true; }
    void WindowShown();
    // The switch shows the stored setting.
    void ShowAutoBackupSetting();

  signals:
    // A backup has been restored over the data folder: the window takes up
    // the restored settings and diary, then shows notice.
    void restored(const QString& notice);
    // Work the user did not ask for has something to say; the window shows
    // it without taking the keyboard.
    void notice(const QString& text);
    // An import wrote entries of these years.
    void filesChanged(const std::vector<int>& years);

  private:
    void Export1Click();
    void Print1Click();
    void Backup1Click();
    void Restore1Click();
    void Import1Click();
    void AutoBackup1Click();
    void RememberFormat(kuv::ExportFormat format);
    void ShowPrintPreview(const std::vector<kuv::ExportedDay>& days, const kuv::DayRange& range);
    void RestoreFinished(const kuv::RestoreResult& result);
    void ImportFinished(const kuv::ImportResult& result);
    void StartAutoBackup();
    void AutoBackupFinished(const kuv::AutoBackupResult& result);
    void AutoBackupFailed(const QString& why);
    void ShowLastFailure(const QString& when, const QString& why);

    QWidget* FWindow;
    kuv::DiarySession& FSession;
    QAction* FAutoBackupSwitch;
    bool FAutoBackupEnabled = false;
    bool FAutoBackupScheduled = false;
    bool FLastFailureRead = false;
    std::shared_ptr<kuv::JobState> FAutoBackupJob;
    // Last, so that it goes first: its jobs stop before anything else of the
    // commands goes away.
    std::unique_ptr<TBackgroundWork> FWork;
};
