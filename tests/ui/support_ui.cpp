#include "tests/ui/support_ui.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include "app/settings_file.h"
#include "ui/common/messages.h"
#include "ui/window/main_form.h"

namespace kuv::test {

namespace {

Boxes gBoxes;

void RecordMessage(const QString& text) {
    gBoxes.messages << text;
}
void RecordError(const QString& text) {
    gBoxes.errors << text;
}

}  // namespace

Boxes& RecordBoxes() {
    gShowMessageHook = RecordMessage;
    gErrorBoxHook = RecordError;
    gBoxes = Boxes{};
    return gBoxes;
}

Boxes& Recorded() {
    return gBoxes;
}

ProgramFolder::ProgramFolder() : paths_(FixedAppPaths(dir_.path())) {
    ::mkdir(paths_.settingsFolder.c_str(), 0700);
}

std::string ProgramFolder::EntryPath(const QDate& day, const char* ext) const {
    return data() + "/" + day.toString(QStringLiteral("yyyy")).toStdString() + "/" +
           day.toString(QStringLiteral("MMdd")).toStdString() + ext;
}

void ProgramFolder::WriteEntry(const QDate& day, const std::string& bytes, const char* ext) const {
    const std::string year = data() + "/" + day.toString(QStringLiteral("yyyy")).toStdString();
    ::mkdir(year.c_str(), 0700);
    WriteBytes(EntryPath(day, ext), bytes);
}

std::vector<std::string> ProgramFolder::Files() const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(data())) {
        if (entry.is_regular_file()) {
            files.push_back(std::filesystem::relative(entry.path(), data()).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

void ProgramFolder::WriteSettings(bool useEncryption, const std::string& password,
                                  bool autoInsertDate, const std::string& dateFormat) const {
    TDiarySettings d = DefaultSettings(paths_);
    DialogValues v;
    v.password = password;
    v.useEncryption = useEncryption;
    v.dataPath = d.DataPath;
    v.dateFormat = dateFormat.empty() ? d.DateFormat : dateFormat;
    v.fontSize = d.FontSize;
    v.fontColor = d.FontColor;
    v.fontName = d.FontName;
    v.saveWindow = d.SaveWindow;
    v.autoInsertDate = autoInsertDate;
    WriteDialogSettings(paths_, v);
}

std::unique_ptr<TMainForm> ShowMainForm(const ProgramFolder& folder) {
    auto form = std::make_unique<TMainForm>(folder.paths());
    form->show();
    if (!QTest::qWaitForWindowActive(form.get())) qWarning("the main window did not activate");
    return form;
}

bool InWidget(const QWidget* focus, const QWidget* widget) {
    return focus != nullptr && (focus == widget || widget->isAncestorOf(focus));
}

void DoubleClick(QAbstractItemView* view, const QPoint& at) {
    QWidget* viewport = view->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, viewport->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &twice);
}

}  // namespace kuv::test
