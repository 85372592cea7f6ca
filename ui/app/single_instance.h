#pragma once

#include <QObject>
#include <QString>

#include "app/instance_lock.h"

class QLocalServer;
class QWidget;

namespace kuv {
struct AppPaths;
}

// One window per diary, the window's side. The first start of a diary holds
// the program folder's and the diary's locks and answers on the program
// folder's local socket; a later start, from the same program folder or from
// another one whose settings name the same data folder, asks that window to
// come forward and ends.
class TSingleInstance final : public QObject {
    Q_OBJECT

  public:
    enum class Claim {
        Primary,    // this process has the diary: go on and open it
        Forwarded,  // the window that has it was asked to come forward: end (status 0)
        Busy,       // a process has it but did not answer: say so and end
    };

    explicit TSingleInstance(QObject* parent = nullptr);
    ~TSingleInstance() override;
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // Reads the data folder from the settings. Waits up to a few seconds
    // for a window that is still starting. Without a runtime folder there
    // is nothing to hold: Primary, unguarded.
    Claim Start(const kuv::AppPaths& paths);

    // The diary's locks, held while this object lives; MoveData() when the
    // settings move the data folder.
    kuv::DiaryLock& Lock() { return FDiaryLock; }

  signals:
    // A second start asked this window to come forward.
    void activationRequested();

  private:
    void OnNewConnection();

    kuv::ProgramLock FProgramLock;
    kuv::DiaryLock FDiaryLock;
    QLocalServer* FServer = nullptr;
};

// "This diary is open in another window that does not answer."
QString DiaryOpenElsewhereMessage();

// Brings a shown window to the front: out of the minimized state (keeping a
// maximized one maximized), raised and activated.
void BringToFront(QWidget* window);
