#pragma once

#include <QObject>

#include "diary/session.h"

// What the diary session tells its view, as Qt signals, so that the window
// and its parts each hear what concerns them. The signals are delivered at
// once, inside the session's call.
class TSessionBridge final : public QObject, public kuv::SessionView {
    Q_OBJECT

  public:
    explicit TSessionBridge(QObject* parent) : QObject(parent) {}

    void DayChanged() override { emit dayChanged(); }
    void PanesLoaded(bool complete) override { emit panesLoaded(complete); }
    void EntrySaved() override { emit entrySaved(); }
    void LowerPaneLoaded() override { emit lowerPaneLoaded(); }
    // Asked of the user there and then: the save waits for the answer.
    kuv::ConflictChoice ResolveConflict(const kuv::DiskConflict& conflict) override;

  signals:
    void dayChanged();
    void panesLoaded(bool complete);
    void entrySaved();
    void lowerPaneLoaded();
};
