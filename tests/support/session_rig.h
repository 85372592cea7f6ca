#pragma once

#include <string>
#include <vector>

#include "diary/session.h"

namespace kuv::test {

// The upper pane as a test types into it.
class TestPane final : public UpperPane {
  public:
    std::u16string text;
    std::u16string Text() const override { return text; }
};

// Counts what a window would be told.
class TestView final : public SessionView {
  public:
    int dayChanges = 0;
    int loads = 0;
    int incompleteLoads = 0;
    int lowerLoads = 0;
    int saves = 0;
    // How a conflict is answered, and what was asked.
    ConflictChoice choice = ConflictChoice::TakeTheirs;
    std::vector<DiskConflict> conflicts;
    void DayChanged() override { ++dayChanges; }
    void PanesLoaded(bool complete) override {
        ++loads;
        if (!complete) ++incompleteLoads;
    }
    void EntrySaved() override { ++saves; }
    void LowerPaneLoaded() override { ++lowerLoads; }
    ConflictChoice ResolveConflict(const DiskConflict& c) override {
        conflicts.push_back(c);
        return choice;
    }
};

// A session on a data folder of its own choosing, with a stand-in pane and
// view, and the clock at noon of 2001-01-17 unless a test sets it.
class SessionRig {
  public:
    explicit SessionRig(const std::string& dataPath);
    SessionRig(const AppPaths& paths, const TDiarySettings& settings);
    SessionRig(const SessionRig&) = delete;
    SessionRig& operator=(const SessionRig&) = delete;

    DiarySession session;
    TestPane pane;
    TestView view;

    TDiarySettings& settings() { return session.Settings(); }
    // The pane shows what the session loaded, as a window fills it.
    void Show();
    // The user types: the pane holds cp932Text, and the change is counted.
    void Type(const std::string& cp932Text);
    // The pane holds cp932Text without any change event (a lower-pane edit).
    void Put(const std::string& cp932Text);

    // What a move to day showed: the session saves by its rules, then loads.
    struct Loaded {
        PaneContent upper, lower;
        std::string status;
        bool dateInserted = false;
    };
    Loaded GoTo(TDateTime day);
    // The pane holds cp932Text and the session saves it when it changed.
    void Save(const std::string& cp932Text);
};

// Puts the data folder under the strong lock (an empty diary, password
// "pass", the cheapest Argon2id work) and keeps its key open for this
// process, as the password prompt would. The key file's copy goes under
// $XDG_DATA_HOME: point it at a test folder first.
void PutUnderStrongLock(const std::string& dataPath);

}  // namespace kuv::test
