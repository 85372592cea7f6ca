// The main window driven as a user drives it: clicks on the toolbar, the
// menu items, typing into the panes, the keyboard in the date picker; the
// files on disk are checked afterwards.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/recovery.h"
#include "app/settings_file.h"
#include "crypt/cryptogram.h"
#include "dates/calendar.h"
#include "dates/qt/locale_loader.h"
#include "platform/errors.h"
#include "platform/fileio.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/support_ui.h"
#include "ui/app/application.h"
#include "ui/common/fonts.h"
#include "ui/common/info_bar.h"
#include "ui/common/messages.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/setting_dialog.h"
#include "ui/window/main_form.h"

using kuv::test::Cp932;
using kuv::test::Find;
using kuv::test::InWidget;
using kuv::test::ProgramFolder;
using kuv::test::ReadBytes;
using kuv::test::ShowMainForm;
using kuv::test::WriteBytes;

namespace {

const char* const kPlainDate = "yyyy\"/\"mm\"/\"dd";

QAction* Action(QWidget& parent, const char* name) {
    return Find<QAction>(parent, name);
}

void Click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
}

// A click into the picker's text, where a user clicks it (the edit field
// covers the picker but for its drop-down button).
void ClickPicker(QDateEdit* picker) {
    Click(picker->findChild<QLineEdit*>());
}

void ClickInto(QPlainTextEdit* pane) {
    QTest::mouseClick(pane->viewport(), Qt::LeftButton);
    pane->moveCursor(QTextCursor::End);
}

// Typing: ASCII key by key, anything else committed as an input method does.
void Type(QWidget* widget, const QString& text) {
    bool ascii = true;
    for (const QChar c : text) ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        QTest::keyClicks(widget, text);
        return;
    }
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(widget, &commit);
}

void TypeInto(QPlainTextEdit* pane, const QString& text) {
    ClickInto(pane);
    Type(pane, text);
}

QDate Day(TMainForm& form) {
    return Find<QDateEdit>(form, "DateTimePicker")->date();
}

QString StatusLine(const QDate& day) {
    return QStringLiteral("▲ %1年  ▼ %2年").arg(day.year()).arg(day.addDays(-365).year());
}

// One step of the picker's day field with the keyboard (up, or down on the
// last day of a month), returning the day it went to.
QDate StepPickerByKey(QDateEdit* picker) {
    const QDate before = picker->date();
    const bool down = before.day() > 1;
    picker->setCurrentSection(QDateTimeEdit::DaySection);
    QTest::keyClick(picker, down ? Qt::Key_Down : Qt::Key_Up);
    return before.addDays(down ? -1 : 1);
}

// A drag of the splitter's handle by dy pixels, released there.
void DragHandleBy(QSplitter* splitter, int dy) {
    QWidget* handle = splitter->handle(1);
    const QPoint from = handle->rect().center();
    const QPoint to = from + QPoint(0, dy);
    QMouseEvent press(QEvent::MouseButtonPress, from, handle->mapToGlobal(from), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &press);
    QMouseEvent move(QEvent::MouseMove, to, handle->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, handle->mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &release);
}

// Drags the handle so that the lower pane would get the height target (Qt
// puts a dragged thin handle a pixel off its grab point, so a second drag
// makes up for that).
void DragLowerPaneTo(QSplitter* splitter, int target) {
    const int before = splitter->widget(1)->height();
    DragHandleBy(splitter, before - target);
    const int after = splitter->widget(1)->height();
    const int offset = after - target;
    if (offset != 0 && after != 0) DragHandleBy(splitter, after - target + offset);
}

// The room between the two panes, where the splitter is.
int SplitterGap(QWidget& form) {
    const QRect upper = Find<QPlainTextEdit>(form, "Memo1")->geometry();
    const QRect lower = Find<QPlainTextEdit>(form, "Memo2")->geometry();
    return lower.top() - upper.bottom() - 1;
}

bool IsSettingsContainer(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    return bytes.size() >= 8 && bytes.compare(0, 8, std::string("\x17\0LOCKED", 8)) == 0;
}

}  // namespace

class TestMainForm : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { kuv::LoadDateLocale(); }
    void init() {
        kuv::test::RecordBoxes();
        kuv::fsio::fault::Reset();
    }
    void cleanup() { kuv::fsio::fault::Reset(); }

    void messageBoxes();
    void finalPeriodRule_data();
    void finalPeriodRule();

    void startsWithDefaultsAndTodaysEntries();
    void layoutOfTheToolBar();
    void menusHaveNoKeysAndHelpIsDisabled();
    void panesAndStatusBar();
    void focusStartsInThePickerAndToolbarKeepsIt();
    void tabOrderAndTabFromLowerPaneSaves();

    void typingAndSteppingADayWritesTheEntry();
    void steppingWithoutTypingWritesNothing();
    void menuItemsStepAsTheButtons_data();
    void menuItemsStepAsTheButtons();
    void yearStepsKeepMonthAndDay();
    void saveErrorKeepsDayAndText();
    void textThatCodePage932CannotHoldIsRefused();
    void typingIntoTheLowerPaneWritesNothing();
    void invalidBytesAndLoneLineFeedsRoundTrip();
    void fontChangeIsNoEdit();

    void insertDateAppendsALine();
    void automaticDateIsNoChange();
    void pickerEnterSavesAndChangeOnlyLoads();
    void pickerChangeKeepsADateInsertedWhileItHadTheFocus();
    void sealedEntryStaysAsStored();

    void lowerPaneToggleHeights();
    void splitterCollapsesASmallLowerPane();
    void escapeCancelsASplitterDrag();
    void settingsAppliedAtStartUp();
    void windowShrinksAndKeepsItsTitleBarReachable();
    void unreadableSettingsAreReported();

    void closingWritesTheSettingsFile();
    void closeAbandonedWhenTheSettingsCannotBeWritten();
    void closeEndsWhenTheSettingsFileCannotBeRead();
    void exitSavesButWritesNoSettings();
    void exitWithASaveErrorKeepsRunning();
    void endOfSessionDoesWhatClosingDoes();
    void settingsAndAboutOpenModeless();
    void recoveredTextIsABarNotABox();
    void boxLinesEndEven();
};

void TestMainForm::messageBoxes() {
    kuv::gShowMessageHook = nullptr;
    kuv::gErrorBoxHook = nullptr;
    struct Seen {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        int buttons = 0;
        bool centred = false;
    };
    auto inspect = [](Seen& seen) {
        QTimer::singleShot(0, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.icon = box->icon();
            seen.buttons = static_cast<int>(box->buttons().size());
            const QPoint centre = box->screen()->availableGeometry().center();
            seen.centred = (box->frameGeometry().center() - centre).manhattanLength() <= 2;
            box->accept();
        });
    };
    Seen message;
    inspect(message);
    kuv::ShowMessage(QStringLiteral("パスワードが間違っています"));
    QCOMPARE(message.title, QStringLiteral("Kuvandoro"));
    QCOMPARE(message.text, QStringLiteral("パスワードが間違っています"));
    QCOMPARE(message.icon, QMessageBox::NoIcon);
    QCOMPARE(message.buttons, 1);
    QVERIFY(message.centred);

    Seen error;
    inspect(error);
    kuv::Guarded([] { throw kuv::AppError(Cp932("ファイル /x を作成できません")); });
    QCOMPARE(error.title, QStringLiteral("Kuvandoro"));
    QCOMPARE(error.text, QStringLiteral("ファイル /x を作成できません."));
    QCOMPARE(error.icon, QMessageBox::Critical);
    QCOMPARE(error.buttons, 1);
    QVERIFY(error.centred);
    kuv::test::RecordBoxes();
}

void TestMainForm::finalPeriodRule_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("letter") << QByteArray("abc") << QByteArray("abc.");
    QTest::newRow("digit") << QByteArray("a0") << QByteArray("a0.");
    QTest::newRow("slash sorts after") << QByteArray("a/") << QByteArray("a/.");
    QTest::newRow("period") << QByteArray("abc.") << QByteArray("abc.");
    QTest::newRow("hyphen sorts before") << QByteArray("a-") << QByteArray("a-");
    QTest::newRow("bang") << QByteArray("a!") << QByteArray("a!");
    QTest::newRow("bracket") << QByteArray("(a)") << QByteArray("(a)");
    const std::string maru = Cp932("できません。");
    QTest::newRow("double-byte period")
        << QByteArray::fromStdString(maru) << QByteArray::fromStdString(maru + ".");
    // A trail byte that happens to be "." or below does not make the
    // character itself sort below ".".
    QTest::newRow("trail byte 0x40") << QByteArray("a\x81\x40") << QByteArray("a\x81\x40.");
}

void TestMainForm::finalPeriodRule() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, shown);
    QCOMPARE(QByteArray::fromStdString(kuv::WithFinalPeriod(text.toStdString())), shown);
}

void TestMainForm::startsWithDefaultsAndTodaysEntries() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    folder.WriteEntry(today, Cp932("今日の日記\r\n二行目"));
    folder.WriteEntry(today.addDays(-365), Cp932("去年の日記"));
    auto form = ShowMainForm(folder);

    QCOMPARE(form->objectName(), QStringLiteral("MainForm"));
    QCOMPARE(form->windowTitle(), QStringLiteral("Tessarine"));
    QVERIFY(!form->Locked());
    QCOMPARE(form->PassWordDialog(), nullptr);
    QCOMPARE(form->frameGeometry().size(), QSize(640, 450));
    const QPoint centre = form->screen()->availableGeometry().center();
    QVERIFY((form->frameGeometry().center() - centre).manhattanLength() <= 2);
    QCOMPARE(Day(*form), today);
    QCOMPARE(Find<QPlainTextEdit>(*form, "Memo1")->toPlainText(),
             QStringLiteral("今日の日記\n二行目"));
    QCOMPARE(Find<QPlainTextEdit>(*form, "Memo2")->toPlainText(), QStringLiteral("去年の日記"));
    QCOMPARE(Find<QLabel>(*form, "StatusPanel1")->text(), StatusLine(today));
    QVERIFY(!form->Modified());
    QCOMPARE(form->Session().Paths().appDir, folder.paths().appDir);
    QCOMPARE(form->Settings().DataPath, folder.data());
    // Nothing is written by starting.
    QCOMPARE(folder.Files().size(), std::size_t{2});
}

void TestMainForm::layoutOfTheToolBar() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    QWidget* bar = Find<QWidget>(*form, "ToolBar1");
    QCOMPARE(bar->height(), 26);
    struct Item {
        const char* name;
        int x, width;
    };
    const Item items[] = {{"SpeedButton2", 0, 89},   {"SpeedButton6", 89, 104},
                          {"Panel2", 193, 4},        {"Bevel1", 197, 5},
                          {"SpeedButton5", 202, 23}, {"SpeedButton7", 225, 23},
                          {"Panel7", 248, 3},        {"DateTimePicker", 251, 186},
                          {"Panel3", 437, 3},        {"SpeedButton3", 440, 25},
                          {"SpeedButton4", 465, 25}, {"Panel1", 490, 3},
                          {"Bevel2", 493, 4},        {"SpeedButton1", 497, 85},
                          {"Bevel3", 582, 5},        {"Panel4", 587, 2},
                          {"Panel5", 589, 2}};
    for (const Item& item : items) {
        QWidget* w = Find<QWidget>(*bar, item.name);
        QCOMPARE(w->geometry(), QRect(item.x, 2, item.width, 20));
    }
    struct Button {
        const char* name;
        const char* caption;
        const char* hint;
    };
    const Button buttons[] = {{"SpeedButton2", "日付挿入", "日記に日付を挿入する"},
                              {"SpeedButton6", "過去の日記を表示", "一年前の日記を表示します"},
                              {"SpeedButton5", "", "一年先の日記"},
                              {"SpeedButton7", "", "一年前の日記"},
                              {"SpeedButton3", "", "一日戻す"},
                              {"SpeedButton4", "", "一日進める"},
                              {"SpeedButton1", "設定変更", "設定を変更する"}};
    for (const Button& b : buttons) {
        auto* button = Find<QToolButton>(*bar, b.name);
        // A glyph-only button shows no caption (its command's name stays for screen readers).
        const QString shown =
            button->toolButtonStyle() == Qt::ToolButtonIconOnly ? QString() : button->text();
        QCOMPARE(shown, QString::fromUtf8(b.caption));
        QCOMPARE(button->toolTip(), QString::fromUtf8(b.hint));
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QVERIFY(button->autoRaise());
        QCOMPARE(button->isCheckable(), qstrcmp(b.name, "SpeedButton6") == 0);
        // Every button but the toggle has a glyph.
        QCOMPARE(button->icon().isNull(), qstrcmp(b.name, "SpeedButton6") == 0);
    }
    QVERIFY(Find<QToolButton>(*bar, "SpeedButton6")->isChecked());
    auto* picker = Find<QDateEdit>(*bar, "DateTimePicker");
    QVERIFY(picker->calendarPopup());
    // The picker shows the user's short date, with four digits of year.
    struct Locale {
        const char* name;
        const char* format;
    };
    const QByteArray saved = qgetenv("LC_ALL");
    for (const Locale& l : {Locale{"ja_JP.UTF-8", "yyyy/MM/dd"}, Locale{"en_US.UTF-8", "M/d/yyyy"},
                            Locale{"de_DE.UTF-8", "dd.MM.yyyy"}, Locale{"C", "M/d/yyyy"}}) {
        qputenv("LC_ALL", l.name);
        TMainForm other(folder.paths());
        QCOMPARE(Find<QDateEdit>(other, "DateTimePicker")->displayFormat(),
                 QString::fromLatin1(l.format));
    }
    qputenv("LC_ALL", saved);
    QCOMPARE(picker->minimumDate(), QDate(1601, 1, 1));
    QCOMPARE(picker->maximumDate(), QDate(9999, 12, 31));
}

void TestMainForm::menusHaveNoKeysAndHelpIsDisabled() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    struct Entry {
        const char* name;
        const char* caption;
    };
    const Entry entries[] = {
        {"Exit1", "終了"},        {"N1", "日付挿入"},     {"N4", "昨日の日記へ"},
        {"N5", "一日先の日記へ"}, {"N6", "昨年の日記へ"}, {"N7", "一年先の日記へ"},
        {"N3", "設定変更"},       {"Help2", "ヘルプ"},    {"About1", "Kuvandoroについて"}};
    for (const Entry& e : entries) {
        QAction* action = Action(*form, e.name);
        QCOMPARE(action->text(), QString::fromUtf8(e.caption));
        QVERIFY(action->shortcut().isEmpty());
    }
    QVERIFY(Action(*form, "N2")->isSeparator());
    QCOMPARE(Find<QMenu>(*form, "File1")->title(), QStringLiteral("ファイル"));
    QCOMPARE(Find<QMenu>(*form, "Edit1")->title(), QStringLiteral("編集"));
    QCOMPARE(Find<QMenu>(*form, "Help1")->title(), QStringLiteral("ヘルプ"));
    for (const QAction* a : form->menuBar()->actions()) QVERIFY(!a->text().contains(u'&'));

    QAction* help = Action(*form, "Help2");
    QVERIFY(!help->isEnabled());
    help->trigger();
    QVERIFY(kuv::test::Recorded().messages.isEmpty());
    QVERIFY(!form->Ended());
}

void TestMainForm::panesAndStatusBar() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    for (const char* name : {"Memo1", "Memo2"}) {
        auto* pane = Find<QPlainTextEdit>(*form, name);
        QCOMPARE(pane->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(pane->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(pane->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff);
        QVERIFY(pane->tabChangesFocus());
        QCOMPARE(pane->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
        QCOMPARE(pane->font().pointSize(), 12);
    }
    QCOMPARE(Find<QPlainTextEdit>(*form, "Memo2")->height(), 154);
    QCOMPARE(SplitterGap(*form), 3);
    QCOMPARE(Find<QLabel>(*form, "StatusPanel1")->width(), 150);
    QCOMPARE(Find<QLabel>(*form, "StatusPanel2")->width(), 170);
    QCOMPARE(Find<QLabel>(*form, "StatusPanel3")->width(), 50);
    QCOMPARE(Find<QStatusBar>(*form, "StatusBar1")->height(), 19);
    for (const char* name : {"StatusPanel1", "StatusPanel2", "StatusPanel3"}) {
        QCOMPARE(Find<QLabel>(*form, name)->frameShape(), QFrame::Panel);
    }
    QVERIFY(!Find<QLabel>(*form, "StatusPanel2")->text().isEmpty());
    QVERIFY(Find<QLabel>(*form, "StatusPanel3")->text().isEmpty());
    QCOMPARE(Find<QToolButton>(*form, "SpeedButton1")->font().pixelSize(), 12);
}

void TestMainForm::focusStartsInThePickerAndToolbarKeepsIt() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    auto* picker = Find<QDateEdit>(*form, "DateTimePicker");
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    QVERIFY(InWidget(QApplication::focusWidget(), picker));

    // Typing right after start-up goes to the picker, not into the entry.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
    QVERIFY(memo1->toPlainText().isEmpty());

    Click(Find<QToolButton>(*form, "SpeedButton6"));
    Click(Find<QToolButton>(*form, "SpeedButton6"));
    QVERIFY(InWidget(QApplication::focusWidget(), picker));

    ClickInto(memo1);
    QCOMPARE(QApplication::focusWidget(), memo1);
    Click(Find<QToolButton>(*form, "SpeedButton2"));
    Click(Find<QToolButton>(*form, "SpeedButton4"));
    QCOMPARE(QApplication::focusWidget(), memo1);
}

void TestMainForm::tabOrderAndTabFromLowerPaneSaves() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    auto* picker = Find<QDateEdit>(*form, "DateTimePicker");
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    auto* memo2 = Find<QPlainTextEdit>(*form, "Memo2");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), memo1);

    QTest::keyClicks(memo1, QStringLiteral("tab"));
    QTest::keyClick(memo1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), memo2);
    QCOMPARE(memo1->toPlainText(), QStringLiteral("tab"));
    const QDate today = Day(*form);
    QVERIFY(!kuv::test::Exists(folder.EntryPath(today)));

    QTest::keyClick(memo2, Qt::Key_Tab);
    QVERIFY(InWidget(QApplication::focusWidget(), picker));
    QCOMPARE(ReadBytes(folder.EntryPath(today)), std::string("tab"));
}

void TestMainForm::typingAndSteppingADayWritesTheEntry() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    const QDate today = Day(*form);
    TypeInto(memo1, QStringLiteral("今日は晴れ"));
    QTest::keyClick(memo1, Qt::Key_Return);
    QTest::keyClicks(memo1, QStringLiteral("abc"));
    QVERIFY(form->Modified());

    Click(Find<QToolButton>(*form, "SpeedButton4"));
    QCOMPARE(Day(*form), today.addDays(1));
    // 今 日 は 晴 れ in code page 932, CR LF, abc; nothing added at the end.
    QCOMPARE(ReadBytes(folder.EntryPath(today)),
             std::string("\x8d\xa1\x93\xfa\x82\xcd\x90\xb0\x82\xea\r\nabc"));
    QVERIFY(memo1->toPlainText().isEmpty());
    QVERIFY(!form->Modified());
    QCOMPARE(Find<QLabel>(*form, "StatusPanel1")->text(), StatusLine(today.addDays(1)));

    // Back again: the entry is loaded from its file.
    Click(Find<QToolButton>(*form, "SpeedButton3"));
    QCOMPARE(Day(*form), today);
    QCOMPARE(memo1->toPlainText(), QStringLiteral("今日は晴れ\nabc"));
    QCOMPARE(folder.Files().size(), std::size_t{1});
}

void TestMainForm::steppingWithoutTypingWritesNothing() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    const QDate today = Day(*form);
    for (const char* name : {"SpeedButton3", "SpeedButton4", "SpeedButton7", "SpeedButton5",
                             "SpeedButton4", "SpeedButton3"}) {
        Click(Find<QToolButton>(*form, name));
    }
    QCOMPARE(Day(*form), today);
    QVERIFY(folder.Files().empty());
    QVERIFY(kuv::test::Recorded().errors.isEmpty());
}

void TestMainForm::menuItemsStepAsTheButtons_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("years");
    QTest::newRow("N4 day back") << QStringLiteral("N4") << -1 << 0;
    QTest::newRow("N5 day forward") << QStringLiteral("N5") << 1 << 0;
    QTest::newRow("N6 year back") << QStringLiteral("N6") << 0 << -1;
    QTest::newRow("N7 year forward") << QStringLiteral("N7") << 0 << 1;
}

void TestMainForm::menuItemsStepAsTheButtons() {
    QFETCH(QString, item);
    QFETCH(int, days);
    QFETCH(int, years);
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    const QDate today = Day(*form);
    const QDate target = today.addDays(days).addYears(years);
    folder.WriteEntry(target, "there");
    TypeInto(Find<QPlainTextEdit>(*form, "Memo1"), QStringLiteral("here"));

    Action(*form, item.toLatin1().constData())->trigger();
    QCOMPARE(Day(*form), target);
    QCOMPARE(ReadBytes(folder.EntryPath(today)), std::string("here"));
    QCOMPARE(Find<QPlainTextEdit>(*form, "Memo1")->toPlainText(), QStringLiteral("there"));
}

void TestMainForm::yearStepsKeepMonthAndDay() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    auto* picker = Find<QDateEdit>(*form, "DateTimePicker");
    struct Case {
        QDate from;
        const char* button;
        QDate to;
    };
    const Case cases[] = {
        {QDate(2005, 1, 10), "SpeedButton7", QDate(2004, 1, 10)},
        {QDate(2004, 1, 10), "SpeedButton7", QDate(2003, 1, 10)},
        {QDate(2004, 3, 1), "SpeedButton7", QDate(2003, 3, 1)},
        {QDate(2003, 3, 1), "SpeedButton5", QDate(2004, 3, 1)},
        {QDate(2003, 12, 31), "SpeedButton5", QDate(2004, 12, 31)},
        {QDate(2004, 2, 29), "SpeedButton7", QDate(2003, 2, 28)},
        {QDate(2004, 2, 29), "SpeedButton5", QDate(2005, 2, 28)},
        {QDate(2004, 12, 31), "SpeedButton4", QDate(2005, 1, 1)},
    };
    for (const Case& c : cases) {
        picker->setDate(c.from);  // as a pick in the calendar
        Click(Find<QToolButton>(*form, c.button));
        QCOMPARE(picker->date(), c.to);
    }
    // 2005-01-01 shows the folders 2005 and 2004.
    QCOMPARE(Find<QLabel>(*form, "StatusPanel1")->text(), QStringLiteral("▲ 2005年  ▼ 2004年"));
}

void TestMainForm::saveErrorKeepsDayAndText() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    const QDate today = Day(*form);
    // The year folder cannot be made: a file holds its name.
    const std::string yearFolder = folder.data() + "/" + std::to_string(today.year());
    WriteBytes(yearFolder, "not a folder");
    TypeInto(memo1, QStringLiteral("keep me"));

    for (const char* name : {"SpeedButton4", "SpeedButton3", "SpeedButton5", "SpeedButton7"}) {
        kuv::test::RecordBoxes();
        Click(Find<QToolButton>(*form, name));
        QCOMPARE(kuv::test::Recorded().errors.size(), 1);
        const QString error = kuv::test::Recorded().errors.front();
        QVERIFY2(error.startsWith(QStringLiteral("ファイル ")), qPrintable(error));
        QVERIFY2(error.endsWith(QStringLiteral(" を作成できません.")), qPrintable(error));
        QCOMPARE(Day(*form), today);
        QCOMPARE(memo1->toPlainText(), QStringLiteral("keep me"));
        QVERIFY(form->Modified());
    }
    // Once the folder can be made, the next step saves the kept text.
    ::unlink(yearFolder.c_str());
    Click(Find<QToolButton>(*form, "SpeedButton4"));
    QCOMPARE(ReadBytes(folder.EntryPath(today)), std::string("keep me"));
}

void TestMainForm::textThatCodePage932CannotHoldIsRefused() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    const QDate today = Day(*form);
    ClickInto(memo1);
    memo1->insertPlainText(QStringLiteral("晴れ😀のち☂"));  // as pasted
    Click(Find<QToolButton>(*form, "SpeedButton4"));

    QCOMPARE(kuv::test::Recorded().errors.size(), 1);
    const QString error = kuv::test::Recorded().errors.front();
    QVERIFY2(error.startsWith(QStringLiteral("「😀」(U+1F600)")), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("保存されていません")), qPrintable(error));
    // The program's own sentence ends with its own full stop, and no other.
    QVERIFY2(error.endsWith(QStringLiteral("保存されていません。")), qPrintable(error));
    QCOMPARE(Day(*form), today);
    QCOMPARE(memo1->toPlainText(), QStringLiteral("晴れ😀のち☂"));
    QVERIFY(form->Modified());
    QVERIFY(folder.Files().empty());

    // Taking the character out lets the entry go.
    memo1->selectAll();
    Type(memo1, QStringLiteral("晴れ"));
    Click(Find<QToolButton>(*form, "SpeedButton4"));
    QCOMPARE(ReadBytes(folder.EntryPath(today)), Cp932("晴れ"));
}

void TestMainForm::typingIntoTheLowerPaneWritesNothing() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    folder.WriteEntry(today.addDays(-365), "old");
    auto form = ShowMainForm(folder);
    auto* memo2 = Find<QPlainTextEdit>(*form, "Memo2");
    TypeInto(memo2, QStringLiteral(" and more"));
    QVERIFY(!form->Modified());
    QCOMPARE(Find<QLabel>(*form, "StatusNotice")->text(),
             QStringLiteral("下の欄の文章は保存されません"));
    Click(Find<QToolButton>(*form, "SpeedButton4"));
    QCOMPARE(folder.Files().size(), std::size_t{1});
    QCOMPARE(ReadBytes(folder.EntryPath(today.addDays(-365))), std::string("old"));
}

void TestMainForm::invalidBytesAndLoneLineFeedsRoundTrip() {
    ProgramFolder folder;
    const QDate today = QDate::currentDate();
    // 0xFD is no character of code page 932; the lone LF becomes CR LF.
    folder.WriteEntry(today, std::string("A\xfd"
                                         "B\nC\0hidden",
                                         12));
    auto form = ShowMainForm(folder);
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    QCOMPARE(memo1->document()->blockCount(), 2);
    TypeInto(memo1, QStringLiteral("D"));
    Click(Find<QToolButton>(*form, "SpeedButton4"));
    QCOMPARE(ReadBytes(folder.EntryPath(today)), std::string("A\xfd"
                                                             "B\r\nCD"));
}

void TestMainForm::fontChangeIsNoEdit() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    QFont bigger = memo1->font();
    bigger.setPointSize(20);
    bigger.setBold(true);
    kuv::ApplyPaneFont(*memo1, bigger, 0x0000FF);
    QCOMPARE(kuv::PaneColorValue(*memo1), 0x0000FF);
    QCOMPARE(memo1->palette().color(QPalette::Text), QColor(255, 0, 0));
    QVERIFY(!form->Modified());
    Click(Find<QToolButton>(*form, "SpeedButton4"));
    QVERIFY(folder.Files().empty());
}

void TestMainForm::insertDateAppendsALine() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    form->Settings().DateFormat = kPlainDate;
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    const QString stamp = Day(*form).toString(QStringLiteral("yyyy/MM/dd"));

    Click(Find<QToolButton>(*form, "SpeedButton2"));
    QCOMPARE(memo1->toPlainText(), stamp + u'\n');
    QVERIFY(memo1->textCursor().atEnd());
    QVERIFY(form->Modified());

    memo1->clear();
    TypeInto(memo1, QStringLiteral("abc"));
    Action(*form, "N1")->trigger();
    QCOMPARE(memo1->toPlainText(), QStringLiteral("abc\n") + stamp);
    QVERIFY(memo1->textCursor().atEnd());

    QTest::keyClick(memo1, Qt::Key_Return);
    Click(Find<QToolButton>(*form, "SpeedButton2"));
    QCOMPARE(memo1->toPlainText(), QStringLiteral("abc\n") + stamp + u'\n' + stamp + u'\n');

    const QDate today = Day(*form);
    Click(Find<QToolButton>(*form, "SpeedButton4"));
    const std::string bytes = stamp.toStdString();
    QCOMPARE(ReadBytes(folder.EntryPath(today)), "abc\r\n" + bytes + "\r\n" + bytes + "\r\n");
}

void TestMainForm::automaticDateIsNoChange() {
    ProgramFolder folder;
    folder.WriteSettings(false, "", true, kPlainDate);
    const QDate today = QDate::currentDate();
    folder.WriteEntry(today.addDays(1), "written");
    auto form = ShowMainForm(folder);
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    QCOMPARE(memo1->toPlainText(), today.toString(QStringLiteral("yyyy/MM/dd")) + u'\n');
    QVERIFY(memo1->textCursor().atEnd());
    QVERIFY(!form->Modified());

    Click(Find<QToolButton>(*form, "SpeedButton4"));
    QCOMPARE(memo1->toPlainText(), QStringLiteral("written"));
    QVERIFY(!kuv::test::Exists(folder.EntryPath(today)));
}

void TestMainForm::pickerEnterSavesAndChangeOnlyLoads() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    auto* picker = Find<QDateEdit>(*form, "DateTimePicker");
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    const QDate today = Day(*form);
    TypeInto(memo1, QStringLiteral("before the pick"));

    ClickPicker(picker);
    QVERIFY(InWidget(QApplication::focusWidget(), picker));
    QCOMPARE(ReadBytes(folder.EntryPath(today)), std::string("before the pick"));
    const int creates = kuv::fsio::fault::Calls(kuv::fsio::fault::Op::Create);

    const QDate next = StepPickerByKey(picker);
    QCOMPARE(picker->date(), next);
    QVERIFY(memo1->toPlainText().isEmpty());
    QCOMPARE(Find<QLabel>(*form, "StatusPanel1")->text(), StatusLine(next));
    // Saved once, on entering the picker; the change only loaded.
    QCOMPARE(kuv::fsio::fault::Calls(kuv::fsio::fault::Op::Create), creates);
    QCOMPARE(folder.Files().size(), std::size_t{1});
}

void TestMainForm::pickerChangeKeepsADateInsertedWhileItHadTheFocus() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    form->Settings().DateFormat = kPlainDate;
    auto* picker = Find<QDateEdit>(*form, "DateTimePicker");
    const QDate today = Day(*form);
    ClickPicker(picker);
    Click(Find<QToolButton>(*form, "SpeedButton2"));  // the picker keeps the focus
    QVERIFY(InWidget(QApplication::focusWidget(), picker));

    const QDate next = StepPickerByKey(picker);
    QCOMPARE(picker->date(), next);
    QCOMPARE(ReadBytes(folder.EntryPath(today)),
             today.toString(QStringLiteral("yyyy/MM/dd")).toStdString() + "\r\n");
    QVERIFY(!kuv::test::Exists(folder.EntryPath(next)));

    // When that save fails the picker goes back to the day of the text.
    Click(Find<QToolButton>(*form, "SpeedButton2"));
    kuv::fsio::fault::FailNth(kuv::fsio::fault::Op::Create, 1);
    StepPickerByKey(picker);
    QCOMPARE(kuv::test::Recorded().errors.size(), 1);
    QCOMPARE(picker->date(), next);
    QVERIFY(form->Modified());
    QVERIFY(!Find<QPlainTextEdit>(*form, "Memo1")->toPlainText().isEmpty());
}

void TestMainForm::sealedEntryStaysAsStored() {
    ProgramFolder folder;
    folder.WriteSettings(false, "mine");
    const QDate today = QDate::currentDate();
    folder.WriteEntry(today, "secret");
    QVERIFY(kuv::CryptEncodeFile(folder.EntryPath(today), "other", false));
    QVERIFY(::rename(folder.EntryPath(today).c_str(), folder.EntryPath(today, ".xda").c_str()) ==
            0);
    const std::string stored = ReadBytes(folder.EntryPath(today, ".xda"));

    auto form = ShowMainForm(folder);
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    QCOMPARE(memo1->toPlainText(), QString(QChar(0x17)));
    QVERIFY(memo1->isReadOnly());
    QCOMPARE(Find<QLabel>(*form, "StatusPanel3")->text(), QStringLiteral("ロック中"));

    TypeInto(memo1, QStringLiteral("overwrite"));
    Click(Find<QToolButton>(*form, "SpeedButton2"));
    QCOMPARE(memo1->toPlainText(), QString(QChar(0x17)));
    Click(Find<QToolButton>(*form, "SpeedButton4"));
    QVERIFY(Find<QLabel>(*form, "StatusPanel3")->text().isEmpty());
    QVERIFY(!Find<QPlainTextEdit>(*form, "Memo1")->isReadOnly());
    QCOMPARE(ReadBytes(folder.EntryPath(today, ".xda")), stored);
    QVERIFY(!kuv::test::Exists(folder.EntryPath(today)));
}

void TestMainForm::lowerPaneToggleHeights() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    auto* toggle = Find<QToolButton>(*form, "SpeedButton6");
    auto* memo2 = Find<QPlainTextEdit>(*form, "Memo2");
    auto* splitter = Find<QSplitter>(*form, "Splitter1");

    // Hiding the pane that has the focus hands it to the upper pane, not to
    // the picker, whose entering would save a change.
    TypeInto(Find<QPlainTextEdit>(*form, "Memo1"), QStringLiteral("typed"));
    ClickInto(memo2);
    Click(toggle);
    QCOMPARE(QApplication::focusWidget(), Find<QPlainTextEdit>(*form, "Memo1"));
    QVERIFY(folder.Files().empty());
    Click(toggle);
    DragLowerPaneTo(splitter, 100);
    QCOMPARE(memo2->height(), 100);

    Click(toggle);
    QVERIFY(!toggle->isChecked());
    QVERIFY(!memo2->isVisible());
    QVERIFY(!splitter->handle(1)->isVisible());
    QCOMPARE(form->LowerPaneHeight(), 0);
    QVERIFY(splitter->widget(0)->height() > 154);

    Click(toggle);
    QVERIFY(toggle->isChecked());
    QVERIFY(memo2->isVisible());
    QCOMPARE(memo2->height(), 154);
    QCOMPARE(SplitterGap(*form), 3);

    // The lower pane keeps its height when the window grows.
    form->resize(form->width(), form->height() + 100);
    QTest::qWait(10);
    QCOMPARE(memo2->height(), 154);
}

void TestMainForm::splitterCollapsesASmallLowerPane() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    auto* memo2 = Find<QPlainTextEdit>(*form, "Memo2");
    auto* splitter = Find<QSplitter>(*form, "Splitter1");
    DragLowerPaneTo(splitter, 31);
    QCOMPARE(memo2->height(), 31);
    DragLowerPaneTo(splitter, 30);
    QCOMPARE(memo2->height(), 0);
    QVERIFY(splitter->handle(1)->isVisible());
    QVERIFY(Find<QToolButton>(*form, "SpeedButton6")->isChecked());
    QCOMPARE(form->LowerPaneHeight(), 0);

    DragLowerPaneTo(splitter, 120);  // dragged open again
    QCOMPARE(memo2->height(), 120);
    DragHandleBy(splitter, -2000);  // the upper pane keeps 30 pixels
    QCOMPARE(memo1->height(), 30);
}

void TestMainForm::escapeCancelsASplitterDrag() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    auto* memo1 = Find<QPlainTextEdit>(*form, "Memo1");
    auto* memo2 = Find<QPlainTextEdit>(*form, "Memo2");
    auto* splitter = Find<QSplitter>(*form, "Splitter1");
    QWidget* handle = splitter->handle(1);
    const QPoint from = handle->rect().center();
    const QPoint to = from + QPoint(0, 80);
    QMouseEvent press(QEvent::MouseButtonPress, from, handle->mapToGlobal(from), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &press);
    QMouseEvent move(QEvent::MouseMove, to, handle->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QApplication::sendEvent(handle, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, handle->mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &release);
    QCOMPARE(memo2->height(), 154);
    // Esc reached no control, and the next drag works as usual.
    QVERIFY(memo1->toPlainText().isEmpty());
    DragLowerPaneTo(splitter, 100);
    QCOMPARE(memo2->height(), 100);
}

void TestMainForm::settingsAppliedAtStartUp() {
    ProgramFolder folder;
    kuv::ClosingState state;
    state.lowerPaneShown = false;
    state.lowerPaneHeight = 0;
    state.top = 100;
    state.left = 50;
    state.height = 300;
    state.width = 500;
    kuv::WriteClosingSettings(folder.paths(), state, true);
    auto form = ShowMainForm(folder);
    QVERIFY(!Find<QToolButton>(*form, "SpeedButton6")->isChecked());
    QVERIFY(!Find<QPlainTextEdit>(*form, "Memo2")->isVisible());
    QCOMPARE(form->frameGeometry(), QRect(50, 100, 500, 300));
    form.reset();

    // Without SaveWindow the size is kept and the place is the centre.
    ProgramFolder second;
    kuv::WriteClosingSettings(second.paths(), state, true);
    kuv::DialogValues values;
    values.dataPath = second.data();
    values.saveWindow = false;
    values.fontName = kuv::kDefaultFontName;
    kuv::WriteDialogSettings(second.paths(), values);
    form = ShowMainForm(second);
    QCOMPARE(form->frameGeometry().size(), QSize(500, 300));
    const QPoint centre = form->screen()->availableGeometry().center();
    QVERIFY((form->frameGeometry().center() - centre).manhattanLength() <= 2);
}

void TestMainForm::windowShrinksAndKeepsItsTitleBarReachable() {
    ProgramFolder folder;
    {
        // The status bar's panels give way; only the panes' room is kept.
        auto form = ShowMainForm(folder);
        form->resize(120, 90);
        QTest::qWait(10);
        QCOMPARE(form->width(), 120);
        QVERIFY(form->height() < 110);
    }
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        const char* name;
        QPoint stored;
        QPoint shown;
    };
    const Case cases[] = {
        {"on the screen", area.topLeft() + QPoint(40, 30), area.topLeft() + QPoint(40, 30)},
        {"above the top", area.topLeft() + QPoint(40, -20), area.topLeft() + QPoint(40, 0)},
        // Remembered at a smaller scale: most of the window past the right edge.
        {"mostly off the right edge", QPoint(area.right() - 150, area.top() + 40),
         QPoint(area.right() + 1 - 500, area.top() + 40)},
        {"on no screen: centred", QPoint(area.left() - 5000, area.top()),
         area.center() - QPoint(250, 150)},
    };
    for (const Case& c : cases) {
        kuv::ClosingState state;
        state.left = c.stored.x();
        state.top = c.stored.y();
        state.width = 500;
        state.height = 300;
        kuv::WriteClosingSettings(folder.paths(), state, true);
        auto form = ShowMainForm(folder);
        QVERIFY2((form->frameGeometry().topLeft() - c.shown).manhattanLength() <= 2, c.name);
    }
    {
        // A height stored at a larger scale fits the screen's available height.
        kuv::ClosingState state;
        state.left = area.left();
        state.top = area.top();
        state.width = 500;
        state.height = area.height() + 400;
        kuv::WriteClosingSettings(folder.paths(), state, true);
        auto form = ShowMainForm(folder);
        QVERIFY(form->frameGeometry().height() <= area.height());
    }

    // Closing a maximised window stores the place it comes back to, exactly.
    kuv::ClosingState state;
    state.left = area.left() + 86;
    state.top = area.top() + 19;
    state.width = 450;
    state.height = 340;
    kuv::WriteClosingSettings(folder.paths(), state, true);
    for (int round = 0; round < 2; ++round) {
        auto form = ShowMainForm(folder);
        form->showMaximized();
        QTRY_VERIFY(form->isMaximized());
        QVERIFY(form->close());
        kuv::TDiarySettings read = kuv::DefaultSettings(folder.paths());
        kuv::ReadSettings(read, folder.paths());
        QCOMPARE(QRect(read.WindowLeft, read.WindowTop, read.WindowWidth, read.WindowHeight),
                 QRect(state.left, state.top, state.width, state.height));
    }
}

void TestMainForm::unreadableSettingsAreReported() {
    ProgramFolder folder;
    // A container under another key: no settings to read, none to take for defaults silently.
    WriteBytes(folder.paths().settingsPath, "[SYSTEM]\r\nUSEPASSWORD=1\r\n");
    QVERIFY(kuv::CryptEncodeFile(folder.paths().settingsPath, "another key", false));
    const std::string before = ReadBytes(folder.paths().settingsPath);
    auto form = ShowMainForm(folder);
    QCOMPARE(kuv::test::Recorded().messages.size(), 1);
    QVERIFY(kuv::test::Recorded().messages.front().contains(QStringLiteral("読み込めません")));
    QVERIFY(!form->Locked());
    QCOMPARE(ReadBytes(folder.paths().settingsPath), before);
}

void TestMainForm::closingWritesTheSettingsFile() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    const QDate today = Day(*form);
    TypeInto(Find<QPlainTextEdit>(*form, "Memo1"), QStringLiteral("last words"));
    form->move(120, 80);
    QVERIFY(form->close());
    QVERIFY(form->Ended());
    QCOMPARE(ReadBytes(folder.EntryPath(today)), std::string("last words"));
    QVERIFY(IsSettingsContainer(folder.paths().settingsPath));

    kuv::TDiarySettings read = kuv::DefaultSettings(folder.paths());
    kuv::ReadSettings(read, folder.paths());
    QVERIFY(read.ShowOldDiary);
    QCOMPARE(read.OldDiaryHeight, 154);
    QCOMPARE(read.WindowLeft, 120);
    QCOMPARE(read.WindowTop, 80);
    QCOMPARE(read.WindowWidth, 640);
    QCOMPARE(read.WindowHeight, 450);

    // The next start comes back there, with the lower pane hidden this time.
    form = ShowMainForm(folder);
    QCOMPARE(form->frameGeometry(), QRect(120, 80, 640, 450));
    Click(Find<QToolButton>(*form, "SpeedButton6"));
    QVERIFY(form->close());
    read = kuv::DefaultSettings(folder.paths());
    kuv::ReadSettings(read, folder.paths());
    QVERIFY(!read.ShowOldDiary);
    QCOMPARE(read.OldDiaryHeight, 0);
}

void TestMainForm::closeAbandonedWhenTheSettingsCannotBeWritten() {
    ProgramFolder folder;
    kuv::WriteClosingSettings(folder.paths(), kuv::ClosingState{}, true);
    auto form = ShowMainForm(folder);
    const QDate today = Day(*form);
    // A read-only settings file refuses the write: the close is abandoned
    // and the message names the cause.
    QVERIFY(::chmod(folder.paths().settingsPath.c_str(), 0444) == 0);
    TypeInto(Find<QPlainTextEdit>(*form, "Memo1"), QStringLiteral("saved first"));
    QVERIFY(!form->close());
    QVERIFY(form->isVisible());
    QVERIFY(!form->Ended());
    QCOMPARE(kuv::test::Recorded().errors.size(), 1);
    QVERIFY2(kuv::test::Recorded().errors.front().contains(
                 QStringLiteral("に書き込めません（読み取り専用のファイルです）")),
             qPrintable(kuv::test::Recorded().errors.front()));
    QCOMPARE(ReadBytes(folder.EntryPath(today)), std::string("saved first"));

    // A failed save of the entry keeps the window as well.
    kuv::test::RecordBoxes();
    QVERIFY(::chmod(folder.paths().settingsPath.c_str(), 0600) == 0);
    TypeInto(Find<QPlainTextEdit>(*form, "Memo1"), QStringLiteral(" again"));
    kuv::fsio::fault::FailNth(kuv::fsio::fault::Op::Create, 1);
    QVERIFY(!form->close());
    QCOMPARE(kuv::test::Recorded().errors.size(), 1);
    QVERIFY(form->close());
    QCOMPARE(ReadBytes(folder.EntryPath(today)), std::string("saved first again"));
}

void TestMainForm::closeEndsWhenTheSettingsFileCannotBeRead() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    // Something that is no settings file stands in its place: it is kept,
    // the window says once that nothing was stored, and the program ends.
    QVERIFY(::mkdir(folder.paths().settingsPath.c_str(), 0700) == 0);
    TypeInto(Find<QPlainTextEdit>(*form, "Memo1"), QStringLiteral("kept"));
    QVERIFY(form->close());
    QVERIFY(form->Ended());
    QVERIFY(kuv::test::Recorded().errors.isEmpty());
    QCOMPARE(kuv::test::Recorded().messages.size(), 1);
    QVERIFY2(kuv::test::Recorded().messages.front().contains(
                 QStringLiteral("を読み込めません（ファイルではありません）")),
             qPrintable(kuv::test::Recorded().messages.front()));
    QVERIFY(kuv::test::IsDir(folder.paths().settingsPath));
    QCOMPARE(ReadBytes(folder.EntryPath(QDate::currentDate())), std::string("kept"));
}

void TestMainForm::exitSavesButWritesNoSettings() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    const QDate today = Day(*form);
    TypeInto(Find<QPlainTextEdit>(*form, "Memo1"), QStringLiteral("exit"));
    form->move(10, 10);
    Action(*form, "Exit1")->trigger();
    QVERIFY(form->Ended());
    QCOMPARE(ReadBytes(folder.EntryPath(today)), std::string("exit"));
    QVERIFY(!kuv::test::Exists(folder.paths().settingsPath));
}

void TestMainForm::exitWithASaveErrorKeepsRunning() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    TypeInto(Find<QPlainTextEdit>(*form, "Memo1"), QStringLiteral("exit"));
    kuv::fsio::fault::FailNth(kuv::fsio::fault::Op::Write, 1);
    Action(*form, "Exit1")->trigger();
    QVERIFY(!form->Ended());
    QCOMPARE(kuv::test::Recorded().errors.size(), 1);
    QVERIFY(form->isVisible());
    QVERIFY(form->Modified());
    QVERIFY(folder.Files().empty());
}

void TestMainForm::endOfSessionDoesWhatClosingDoes() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    const QDate today = Day(*form);
    TypeInto(Find<QPlainTextEdit>(*form, "Memo1"), QStringLiteral("logout"));
    form->EndSession();
    QVERIFY(form->Ended());
    QCOMPARE(ReadBytes(folder.EntryPath(today)), std::string("logout"));
    QVERIFY(IsSettingsContainer(folder.paths().settingsPath));
}

void TestMainForm::settingsAndAboutOpenModeless() {
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    Click(Find<QToolButton>(*form, "SpeedButton1"));
    auto* settingDialog = kuv::test::TopLevel<TSettingDialog>("SettingDialog");
    QVERIFY(settingDialog != nullptr);
    QVERIFY(settingDialog->isVisible());
    QVERIFY(!settingDialog->isModal());
    Action(*form, "N3")->trigger();
    QCOMPARE(kuv::test::TopLevel<TSettingDialog>("SettingDialog"), settingDialog);
    QVERIFY(settingDialog->isVisible());

    Action(*form, "About1")->trigger();
    auto* aboutDialog = kuv::test::TopLevel<TAboutDialog>("AboutDialog");
    QVERIFY(aboutDialog != nullptr);
    QVERIFY(aboutDialog->isVisible());
    QVERIFY(!aboutDialog->isModal());
    // The main window goes on working meanwhile.
    Click(Find<QToolButton>(*form, "SpeedButton4"));
    QCOMPARE(Day(*form), QDate::currentDate().addDays(1));
}

QString gOpenedFolder;

void TestMainForm::recoveredTextIsABarNotABox() {
    kuv::test::TempDir state;
    const QByteArray before = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(state.path()));
    const kuv::RecoveredFile kept = kuv::WriteRecoveredText(
        state.path() + "/kuvandoro", std::string_view("消えた文章"), {2026, 12, 7}, 0);
    QVERIFY(kept.ok);
    TInfoBar::SetFolderOpener([](const QString& folder) { gOpenedFolder = folder; });
    ProgramFolder folder;
    auto form = ShowMainForm(folder);
    qputenv("XDG_STATE_HOME", before);
    QVERIFY(kuv::test::Recorded().messages.isEmpty());
    auto* bar = Find<TInfoBar>(*form, "InfoBar");
    QVERIFY(bar->isVisible());
    QVERIFY(!Find<QLabel>(*form, "InfoBarText")->text().isEmpty());
    Click(Find<QWidget>(*form, "InfoBarOpen"));
    QCOMPARE(gOpenedFolder,
             QString::fromStdString(kuv::RecoveredFolder(state.path() + "/kuvandoro")));
    Click(Find<QWidget>(*form, "InfoBarClose"));
    QVERIFY(!bar->isVisible());
    TInfoBar::SetFolderOpener(nullptr);
}

void TestMainForm::boxLinesEndEven() {
    const QFontMetrics fm(QApplication::font());
    const int width = fm.horizontalAdvance(QString(20, QChar(u'あ')));
    const QString sentence = QStringLiteral("日記のフォルダに書き込めないため保存できませんでした");
    for (int repeat : {1, 2, 3, 5}) {
        const QString text = sentence.repeated(repeat) + QStringLiteral("ません。");
        const QStringList lines = kuv::EvenLines(text, fm, width).split(u'\n');
        QCOMPARE(lines.join(QString()), text);
        for (const QString& line : lines) {
            QVERIFY2(fm.horizontalAdvance(line) <= width + fm.maxWidth(), qPrintable(line));
            QVERIFY2(line.size() >= 6, qPrintable(line));
            QVERIFY(!line.startsWith(u'。'));
        }
    }
    QCOMPARE(kuv::EvenLines(QStringLiteral("短い\n文"), fm, width), QStringLiteral("短い\n文"));
}

QTEST_MAIN(TestMainForm)
#include "test_main_form.moc"
