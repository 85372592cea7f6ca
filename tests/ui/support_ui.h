#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDate>
#include <QStringList>
#include <QWidget>

#include "app/settings.h"
#include "tests/support/reference.h"
#include "tests/support/temp_dir.h"

class QAbstractItemView;
class QWidget;
class TMainForm;

namespace kuv::test {

// The texts of the message boxes the program raised, recorded instead of shown.
struct Boxes {
    QStringList messages;  // ShowMessage
    QStringList errors;    // the general error handler
};
// Installs the recording hooks and forgets what was recorded before.
Boxes& RecordBoxes();
Boxes& Recorded();

// A program folder of its own with its data folder, so that nothing touches
// the real machine.
class ProgramFolder {
  public:
    ProgramFolder();
    const AppPaths& paths() const { return paths_; }
    std::string data() const { return paths_.settingsFolder; }
    // data/yyyy/MMdd + ext
    std::string EntryPath(const QDate& day, const char* ext = ".dia") const;
    void WriteEntry(const QDate& day, const std::string& bytes, const char* ext = ".dia") const;
    // Every file below the data folder, relative to it, sorted.
    std::vector<std::string> Files() const;
    // Writes the dialog's settings into diary.ini through the settings file's own calls.
    void WriteSettings(bool useEncryption, const std::string& password, bool autoInsertDate = false,
                       const std::string& dateFormat = "") const;

  private:
    TempDir dir_;
    AppPaths paths_;
};

// The focus is on the picker (its edit field counts).
bool InWidget(const QWidget* focus, const QWidget* widget);

// A double click on a view's item at a point of its viewport, as a mouse
// gives it: a click, then the double click.
void DoubleClick(QAbstractItemView* view, const QPoint& at);

// A main window on the program folder, shown and active.
std::unique_ptr<TMainForm> ShowMainForm(const ProgramFolder& folder);

// The control of that class and object name below parent; the test stops
// when there is none.
template <class T = QWidget>
T* Find(QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qFatal("no control %s", name);
    return child;
}

// The top-level window of that class and object name, or nullptr.
template <class T>
T* TopLevel(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(name)) {
            if (auto* t = qobject_cast<T*>(w)) return t;
        }
    }
    return nullptr;
}

}  // namespace kuv::test
