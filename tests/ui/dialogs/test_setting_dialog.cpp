// The settings dialog driven as a user drives it: clicks, keys and focus, with
// the settings file on disk decoded and read back afterwards.
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include "app/multiline_value.h"
#include "app/profile.h"
#include "app/settings.h"
#include "app/settings_file.h"
#include "crypt/cryptogram.h"
#include "platform/fileio.h"
#include "tests/ui/support_ui.h"
#include "ui/common/font_alias.h"
#include "ui/common/fonts.h"
#include "ui/common/messages.h"
#include "ui/common/qt_text.h"
#include "ui/dialogs/setting_dialog.h"
#include "ui/window/main_form.h"

namespace {

std::vector<QString> gMessages;
std::vector<QString> gErrors;

void RecordMessage(const QString& text) {
    gMessages.push_back(text);
}
void RecordError(const QString& text) {
    gErrors.push_back(text);
}

const QString kNoPassword = QStringLiteral("パスワードが設定されていません");
const QString kNextStart =
    QStringLiteral("パスワード・暗号化の設定は次回起動時から有効になります。");

std::string Bytes(const QString& s) {
    return kuv::ToCp932(s).bytes;
}

}  // namespace

class TestSettingDialog : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    kuv::AppPaths paths_;
    std::unique_ptr<TMainForm> form_;
    TSettingDialog* dialog_ = nullptr;  // the main window's, made by its first opening

    template <class T>
    T* Find(const char* name) {
        T* w = dialog_->findChild<T*>(QString::fromLatin1(name));
        if (w == nullptr) qFatal("no control %s", name);
        return w;
    }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
    QCheckBox* Box(const char* name) { return Find<QCheckBox>(name); }
    QToolButton* Button(const char* name) { return Find<QToolButton>(name); }

    void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2)); }

    // The main window's settings command, as the menu item runs it.
    void OpenFromTheWindow() {
        form_->findChild<QAction*>(QStringLiteral("N3"))->trigger();
        dialog_ = kuv::test::TopLevel<TSettingDialog>("SettingDialog");
        QVERIFY(dialog_ != nullptr);
    }
    void Open() {
        OpenFromTheWindow();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_));
    }
    QPlainTextEdit* Pane(const char* name) {
        return form_->findChild<QPlainTextEdit*>(QString::fromLatin1(name));
    }

    // The value of a key in the settings file, read from a decoded copy.
    std::string Stored(const char* section, const char* key) {
        const std::string copy = paths_.appDir + "/copy.ini";
        std::string bytes;
        if (kuv::fsio::ReadWholeFile(paths_.settingsPath, bytes, 1 << 20) !=
            kuv::fsio::ReadStatus::Ok) {
            return "<no file>";
        }
        kuv::fsio::WriteFileAtomic(copy, bytes, copy + ".tmp");
        if (kuv::CryptDecodeFile(copy, kuv::kSettingsKey, false) != kuv::CryptResult::Decoded) {
            return "<not a container>";
        }
        return kuv::GetPrivateProfileString(section, key, "<missing>", 2048, copy);
    }
    bool SettingsFileExists() { return kuv::fsio::IsFile(paths_.settingsPath); }

    // Types as a user does: keys for ASCII, the input method's commit for the rest.
    static void Type(QLineEdit* edit, const QString& text) {
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClicks(edit, QString(c));
            } else {
                QInputMethodEvent commit;
                commit.setCommitString(QString(c));
                QApplication::sendEvent(edit, &commit);
            }
        }
    }

    void SetTexts(const QString& folder, const QString& password, const QString& format) {
        Edit("Edit1")->clear();
        Type(Edit("Edit1"), folder);
        Edit("Edit2")->clear();
        Type(Edit("Edit2"), password);
        Edit("Edit3")->clear();
        Type(Edit("Edit3"), format);
    }

  private slots:
    void init() {
        gMessages.clear();
        gErrors.clear();
        kuv::gShowMessageHook = RecordMessage;
        kuv::gErrorBoxHook = RecordError;
        kuv::fsio::fault::Reset();
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        paths_ = kuv::FixedAppPaths(dir_->path().toStdString());
        form_ = std::make_unique<TMainForm>(paths_);
        kuv::TDiarySettings& s = form_->Settings();
        s.DataPath = paths_.settingsFolder;
        s.Password = "abc";
        s.UseEncryption = false;
        s.DateFormat = kuv::kDefaultDateFormat;
        s.AutoInsertDate = false;
        s.SaveWindow = true;
        // The dialog as the running program has it: made once, then hidden.
        OpenFromTheWindow();
        dialog_->hide();
    }

    void cleanup() {
        kuv::fsio::fault::Reset();
        dialog_ = nullptr;
        form_.reset();
        dir_.reset();
    }

    void windowProperties() {
        QCOMPARE(dialog_->objectName(), QStringLiteral("SettingDialog"));
        QCOMPARE(dialog_->windowTitle(), QStringLiteral("設定変更"));
        QCOMPARE(dialog_->size(), QSize(454, 398));
        QCOMPARE(dialog_->minimumSize(), dialog_->maximumSize());
        const Qt::WindowFlags f = dialog_->windowFlags();
        QCOMPARE(f & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(f.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!f.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!f.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!f.testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(dialog_->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
        QCOMPARE(dialog_->font().pixelSize(), 12);
        QVERIFY(!dialog_->isVisible());
    }

    void windowsFaceMapsToTheIpaFont() {
        if (!QFontDatabase::families().contains(QStringLiteral("IPAPGothic"))) {
            QSKIP("fonts-ipafont-gothic is not installed");
        }
        // The program's fontconfig file stands in for the Windows faces.
        QVERIFY(!qEnvironmentVariable("FONTCONFIG_FILE").isEmpty());
        QCOMPARE(QFontInfo(dialog_->font()).family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(QFontInfo(QFont(QStringLiteral("MS PGothic"))).family(),
                 QStringLiteral("IPAPGothic"));
        QCOMPARE(QFontInfo(QFont(QStringLiteral("ＭＳ ゴシック"))).family(),
                 QStringLiteral("IPAGothic"));
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QString>("caption");
        auto row = [](const char* n, QRect r, const char* c) {
            QTest::newRow(n) << QString::fromLatin1(n) << r << QString::fromUtf8(c);
        };
        row("Image1", QRect(0, 0, 97, 321), "");
        row("CheckBox1", QRect(112, 24, 121, 17), "暗号化を使用する");
        row("Label2", QRect(112, 52, 84, 12), "起動パスワード：");
        row("Edit2", QRect(200, 48, 225, 20), "");
        row("Label5", QRect(112, 70, 321, 26),
            "※パスワードを変更すると古いデータが復号化できなくなることがあります");
        row("Bevel2", QRect(104, 96, 329, 9), "");
        row("Label1", QRect(112, 112, 142, 12), "日記データの格納フォルダ：");
        row("Edit1", QRect(120, 128, 305, 20), "");
        row("Label3", QRect(112, 160, 148, 12), "挿入する日付のフォーマット：");
        row("Edit3", QRect(120, 176, 305, 20), "");
        row("CheckBox4", QRect(120, 200, 193, 17), "新しい日記に日付を自動挿入する");
        row("TemplateLabel", QRect(112, 224, 148, 12), "新しい日の定型文：");
        row("TemplateEdit", QRect(120, 240, 305, 64), "");
        row("Bevel3", QRect(104, 312, 329, 9), "");
        row("CheckBox3", QRect(112, 328, 169, 17), "ウィンドウの位置を記憶する");
        row("SpeedButton3", QRect(112, 368, 113, 22), "表示フォントの変更");
        row("SpeedButton1", QRect(272, 368, 73, 22), "設定反映");
        row("SpeedButton2", QRect(352, 368, 73, 22), "キャンセル");
    }

    void controls() {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        QFETCH(QString, caption);
        auto* w = dialog_->findChild<QWidget*>(name);
        QVERIFY(w != nullptr);
        QCOMPARE(w->geometry(), rect);
        if (auto* label = qobject_cast<QLabel*>(w); label && !caption.isEmpty()) {
            QCOMPARE(label->text(), caption);
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            QCOMPARE(button->text(), caption);
        }
        if (auto* tool = qobject_cast<QToolButton*>(w)) {
            QVERIFY(tool->autoRaise());  // flat
            QCOMPARE(tool->focusPolicy(), Qt::NoFocus);
        }
    }

    void pictureAndWarning() {
        auto* image = Find<QLabel>("Image1");
        QCOMPARE(image->pixmap().size(), QSize(100, 320));
        QVERIFY(!image->hasScaledContents());
        QCOMPARE(image->alignment(), Qt::AlignLeft | Qt::AlignTop);
        QVERIFY(!QImage(QStringLiteral(":/assets/banner_setting.png")).hasAlphaChannel());

        auto* warning = Find<QLabel>("Label5");
        QCOMPARE(warning->palette().color(QPalette::WindowText), QColor(Qt::red));
        QCOMPARE(warning->font().pixelSize(), 11);
        // The whole warning stands inside the frame, above the line below it.
        QVERIFY(warning->wordWrap());
        QVERIFY(warning->heightForWidth(warning->width()) <= warning->height());
        QVERIFY(warning->geometry().right() <= Find<QWidget>("Bevel2")->geometry().right());

        auto* password = Edit("Edit2");
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(
            password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password),
            int('*'));
        // The chooser is made when first asked for and is never shown on its own.
        auto* chooser = dialog_->findChild<QFontDialog*>(QStringLiteral("FontDialog"));
        QVERIFY(chooser == nullptr || !chooser->isVisible());
    }

    void openFillsTheControls_data() {
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<bool>("saveWindow");
        QTest::addColumn<bool>("autoDate");
        QTest::newRow("all off") << false << false << false;
        QTest::newRow("all on") << true << true << true;
        QTest::newRow("mixed") << true << false << true;
    }

    void openFillsTheControls() {
        QFETCH(bool, encrypt);
        QFETCH(bool, saveWindow);
        QFETCH(bool, autoDate);
        kuv::TDiarySettings& s = form_->Settings();
        s.DataPath = Bytes(QStringLiteral("/home/user/日記"));
        s.Password = Bytes(QStringLiteral("秘密 pass"));
        s.UseEncryption = encrypt;
        s.DateFormat = Bytes(QStringLiteral("yyyy年m月d日"));
        s.SaveWindow = saveWindow;
        s.AutoInsertDate = autoDate;
        Open();
        QVERIFY(dialog_->isVisible());
        QCOMPARE(Edit("Edit1")->text(), QStringLiteral("/home/user/日記"));
        QCOMPARE(Edit("Edit2")->text(), QStringLiteral("秘密 pass"));
        QCOMPARE(Edit("Edit3")->text(), QStringLiteral("yyyy年m月d日"));
        QCOMPARE(Box("CheckBox1")->isChecked(), encrypt);
        QCOMPARE(Box("CheckBox3")->isChecked(), saveWindow);
        QCOMPARE(Box("CheckBox4")->isChecked(), autoDate);
        QCOMPARE(Edit("Edit2")->isEnabled(), encrypt);
    }

    void formShowTakesThePaneFont() {
        QFont pane(QStringLiteral("DejaVu Serif"));
        pane.setPointSize(15);
        pane.setUnderline(true);
        kuv::ApplyPaneFont(*Pane("Memo1"), pane, 0x000000FF);
        Open();
        QCOMPARE(dialog_->ChosenFont().family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(dialog_->ChosenFont().pointSize(), 15);
        QVERIFY(dialog_->ChosenFont().underline());
        QCOMPARE(dialog_->ChosenFontColor(), 0x000000FF);
    }

    void checkBox1EnablesThePassword() {
        Open();
        auto* box = Box("CheckBox1");
        auto* password = Edit("Edit2");
        QVERIFY(!box->isChecked());
        QVERIFY(!password->isEnabled());
        QCOMPARE(password->text(), QStringLiteral("abc"));  // kept while disabled
        Click(box);
        QVERIFY(box->isChecked());
        QVERIFY(password->isEnabled());
        Click(box);
        QVERIFY(!password->isEnabled());
        // A program step that sets the box runs the handler too.
        box->setChecked(true);
        QVERIFY(password->isEnabled());
    }

    void focusAndTabOrder() {
        form_->Settings().UseEncryption = true;
        Open();
        QVERIFY(QTest::qWaitForWindowActive(dialog_));
        QCOMPARE(QApplication::focusWidget(), Edit("Edit1"));
        const char* order[] = {"Edit2",     "Edit3",        "CheckBox1", "CheckBox3",
                               "CheckBox4", "TemplateEdit", "Edit1"};
        for (const char* name : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(name));
        }
        // Unticking disables the password edit, which the keyboard then skips.
        Box("CheckBox1")->setChecked(false);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), Edit("Edit3"));

        // The buttons never take the focus from the edit.
        Click(Button("SpeedButton2"));  // cancel
        QVERIFY(!dialog_->isVisible());
        // Back in the main window, then the settings command again.
        form_->show();
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        Open();
        QVERIFY(QTest::qWaitForWindowActive(dialog_));
        QTRY_COMPARE(QApplication::focusWidget(), Edit("Edit3"));  // where it was last
    }

    void noKeyAppliesOrCancels() {
        Open();
        QTest::keyClick(Edit("Edit1"), Qt::Key_Escape);
        QTest::keyClick(Edit("Edit1"), Qt::Key_Return);
        QVERIFY(dialog_->isVisible());
        QVERIFY(!SettingsFileExists());
        QVERIFY(gMessages.empty());
    }

    void emptyPasswordIsRefused() {
        form_->Settings().UseEncryption = true;
        form_->Settings().Password = "";
        Open();
        Edit("Edit1")->setText(QStringLiteral("/elsewhere"));
        Click(Button("SpeedButton1"));
        QCOMPARE(gMessages, std::vector<QString>{kNoPassword});
        QVERIFY(dialog_->isVisible());
        QVERIFY(!SettingsFileExists());
        QCOMPARE(form_->Settings().DataPath, paths_.settingsFolder);
    }

    void applyWritesAndUpdates() {
        const QFont before = Pane("Memo1")->font();
        Open();
        Click(Box("CheckBox1"));  // tick encryption: takes effect at the next start only
        SetTexts(QStringLiteral("/tmp/日記"), QStringLiteral("新しい pw"),
                 QStringLiteral("d.m.yyyy"));
        Click(Box("CheckBox3"));  // off
        Click(Box("CheckBox4"));  // on
        Click(Button("SpeedButton1"));

        QCOMPARE(gErrors, std::vector<QString>{});
        QCOMPARE(gMessages, std::vector<QString>{kNextStart});
        QVERIFY(!dialog_->isVisible());

        // The file lies encrypted under the fixed key, with every dialog key.
        std::string raw;
        QCOMPARE(kuv::fsio::ReadWholeFile(paths_.settingsPath, raw, 1 << 20),
                 kuv::fsio::ReadStatus::Ok);
        QVERIFY(
            kuv::HasCryptMarker(reinterpret_cast<const unsigned char*>(raw.data()), raw.size()));
        QCOMPARE(Stored("SYSTEM", "PASSWORD"), Bytes(QStringLiteral("新しい pw")));
        QCOMPARE(Stored("SYSTEM", "USEPASSWORD"), std::string("1"));
        QCOMPARE(Stored("SYSTEM", "DATAPATH"), Bytes(QStringLiteral("/tmp/日記")));
        QCOMPARE(Stored("SYSTEM", "FORMAT"), std::string("d.m.yyyy"));
        QCOMPARE(Stored("SYSTEM", "AUTOINSERTDATE"), std::string("1"));
        QCOMPARE(Stored("WINDOW", "SAVE"), std::string("0"));
        QCOMPARE(Stored("FONT", "NAME"), Bytes(before.family()));
        QCOMPARE(Stored("FONT", "SIZE"),
                 std::to_string(before.pointSize() > 0 ? before.pointSize()
                                                       : qRound(before.pixelSize() * 72.0 / 96.0)));
        QCOMPARE(Stored("FONT", "COLOR"), std::string("-2147483640"));
        QCOMPARE(Stored("OLDDIARY", "SHOW"), std::string("<missing>"));
        QCOMPARE(Stored("WINDOW", "TOP"), std::string("<missing>"));

        const kuv::TDiarySettings& s = form_->Settings();
        QCOMPARE(s.Password, Bytes(QStringLiteral("新しい pw")));
        QCOMPARE(s.DataPath, Bytes(QStringLiteral("/tmp/日記")));
        QCOMPARE(s.DateFormat, std::string("d.m.yyyy"));
        QVERIFY(!s.SaveWindow);
        QVERIFY(s.AutoInsertDate);
        QVERIFY(!s.UseEncryption);  // unchanged until the next start

        // Opening again shows the switch as it was at start-up.
        gMessages.clear();
        Open();
        QVERIFY(!Box("CheckBox1")->isChecked());
        QVERIFY(!Edit("Edit2")->isEnabled());
        Click(Button("SpeedButton1"));
        QCOMPARE(Stored("SYSTEM", "USEPASSWORD"), std::string("0"));
        QCOMPARE(gMessages, std::vector<QString>{kNextStart});  // after every apply
    }

    void templateRoundTrips() {
        form_->Settings().NewDayTemplate = Bytes(QStringLiteral("天気：\r\n|"));
        Open();
        auto* edit = Find<QPlainTextEdit>("TemplateEdit");
        QCOMPARE(edit->toPlainText(), QStringLiteral("天気：\n|"));
        edit->setFocus();
        edit->moveCursor(QTextCursor::End);
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("\n'今日は' yyyy"));
        QApplication::sendEvent(edit, &commit);
        Click(Button("SpeedButton1"));
        QCOMPARE(gErrors, std::vector<QString>{});
        const std::string stored = Bytes(QStringLiteral("天気：\r\n|\r\n'今日は' yyyy"));
        QCOMPARE(form_->Settings().NewDayTemplate, stored);
        QCOMPARE(kuv::SplitLinesFromIni(Stored("KUVANDORO", "NEWDAYTEMPLATE")), stored);
        // Emptied, it is no template at all.
        Open();
        QCOMPARE(edit->toPlainText(), QStringLiteral("天気：\n|\n'今日は' yyyy"));
        edit->clear();
        Click(Button("SpeedButton1"));
        QCOMPARE(form_->Settings().NewDayTemplate, std::string());
    }

    void uncheckedPasswordIsStoredAsTyped_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("empty") << QString();
        QTest::newRow("spaces") << QStringLiteral("   ");
        QTest::newRow("longer than the container keeps") << QString(40, u'x');
        QTest::newRow("with え") << QStringLiteral("まええ");
    }

    void uncheckedPasswordIsStoredAsTyped() {
        QFETCH(QString, password);
        Open();
        Edit("Edit2")->setText(password);  // disabled: only a program sets it
        QVERIFY(!Edit("Edit2")->isEnabled());
        Click(Button("SpeedButton1"));
        QCOMPARE(gMessages, std::vector<QString>{kNextStart});
        QCOMPARE(Stored("SYSTEM", "PASSWORD"), Bytes(password));
        QCOMPARE(form_->Settings().Password, Bytes(password));
    }

    void spacesAreAPassword() {
        form_->Settings().UseEncryption = true;
        Open();
        Edit("Edit2")->clear();
        QTest::keyClicks(Edit("Edit2"), QStringLiteral("  "));
        Click(Button("SpeedButton1"));
        QCOMPARE(gMessages, std::vector<QString>{kNextStart});
        QCOMPARE(form_->Settings().Password, std::string("  "));
    }

    void unstorablePasswordIsRefused_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("33 bytes") << QString(33, u'a');
        QTest::newRow("17 double-byte characters") << QString(17, u'あ');
        QTest::newRow("trail byte 0xA6: え") << QStringLiteral("いえ");
        QTest::newRow("single byte 0xA6: ｦ") << QStringLiteral("ｦ");
    }

    void unstorablePasswordIsRefused() {
        QFETCH(QString, password);
        form_->Settings().UseEncryption = true;
        Open();
        Edit("Edit2")->setText(password);
        Click(Button("SpeedButton1"));
        QCOMPARE(gMessages.size(), std::size_t{1});
        QVERIFY(gMessages[0].contains(QStringLiteral("32バイト")));
        QVERIFY(dialog_->isVisible());
        QVERIFY(!SettingsFileExists());
        QCOMPARE(form_->Settings().Password, std::string("abc"));
    }

    void longestStorablePasswordIsAccepted() {
        form_->Settings().UseEncryption = true;
        Open();
        Edit("Edit2")->setText(QString(16, u'あ'));  // 32 bytes
        Click(Button("SpeedButton1"));
        QCOMPARE(gMessages, std::vector<QString>{kNextStart});
        QCOMPARE(form_->Settings().Password.size(), std::size_t{32});
    }

    void textsOutsideCodePage932AreRefused_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("field");
        QTest::newRow("password, ticked") << "Edit2" << true << QStringLiteral("起動パスワード");
        QTest::newRow("password, not ticked")
            << "Edit2" << false << QStringLiteral("起動パスワード");
        QTest::newRow("data folder")
            << "Edit1" << false << QStringLiteral("日記データの格納フォルダ");
        QTest::newRow("date pattern")
            << "Edit3" << false << QStringLiteral("挿入する日付のフォーマット");
    }

    void textsOutsideCodePage932AreRefused() {
        QFETCH(QString, edit);
        QFETCH(bool, encrypt);
        QFETCH(QString, field);
        form_->Settings().UseEncryption = encrypt;
        Open();
        Edit(edit.toLatin1().constData())->setText(QStringLiteral("ab한c"));
        Click(Button("SpeedButton1"));
        QCOMPARE(gMessages.size(), std::size_t{1});
        QVERIFY2(gMessages[0].startsWith(field), qPrintable(gMessages[0]));
        QVERIFY(gMessages[0].contains(QStringLiteral("U+D55C")));
        QVERIFY(dialog_->isVisible());
        QVERIFY(!SettingsFileExists());
        QCOMPARE(form_->Settings().Password, std::string("abc"));
    }

    void writeErrorKeepsEverything_data() {
        QTest::addColumn<int>("op");
        QTest::newRow("work file cannot be created") << int(kuv::fsio::fault::Op::Create);
        QTest::newRow("disk full") << int(kuv::fsio::fault::Op::NoSpace);
        QTest::newRow("rename fails") << int(kuv::fsio::fault::Op::Rename);
    }

    void writeErrorKeepsEverything() {
        QFETCH(int, op);
        const QFont paneBefore = Pane("Memo2")->font();
        Open();
        Edit("Edit1")->setText(QStringLiteral("/new"));
        Edit("Edit3")->setText(QStringLiteral("yyyy"));
        kuv::fsio::fault::FailNth(static_cast<kuv::fsio::fault::Op>(op), 1);
        Click(Button("SpeedButton1"));
        QVERIFY(kuv::fsio::fault::Fired());
        QCOMPARE(gErrors.size(), std::size_t{1});
        QVERIFY(gErrors[0].contains(QStringLiteral("に書き込めません")));
        QVERIFY(gErrors[0].contains(QString::fromStdString(paths_.settingsPath)));
        QVERIFY(gMessages.empty());  // no closing message
        QVERIFY(dialog_->isVisible());
        QCOMPARE(form_->Settings().DataPath, paths_.settingsFolder);
        QCOMPARE(form_->Settings().DateFormat, std::string(kuv::kDefaultDateFormat));
        QCOMPARE(Pane("Memo2")->font(), paneBefore);
    }

    void writeErrorGoesToTheGeneralHandler() {
        Open();
        // A file stands where the program folder was, so the settings folder
        // cannot be made.
        QVERIFY(QDir(dir_->path()).removeRecursively());
        QFile blocker(dir_->path());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Click(Button("SpeedButton1"));
        QCOMPARE(gErrors.size(), std::size_t{1});
        QVERIFY(dialog_->isVisible());
        QVERIFY(gMessages.empty());
    }

    void cancelAndCloseBoxChangeNothing_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("cancel") << false;
        QTest::newRow("close box") << true;
    }

    void cancelAndCloseBoxChangeNothing() {
        QFETCH(bool, closeBox);
        const kuv::TDiarySettings before = form_->Settings();
        const QFont font = Pane("Memo1")->font();
        Open();
        Click(Box("CheckBox1"));
        SetTexts(QStringLiteral("/x"), QStringLiteral("y"), QStringLiteral("z"));
        Click(Box("CheckBox4"));
        if (closeBox) {
            dialog_->windowHandle()->close();  // as the window manager asks
        } else {
            Click(Button("SpeedButton2"));
        }
        QVERIFY(!dialog_->isVisible());
        QVERIFY(!SettingsFileExists());
        QVERIFY(gMessages.empty());
        const kuv::TDiarySettings& s = form_->Settings();
        QCOMPARE(s.DataPath, before.DataPath);
        QCOMPARE(s.Password, before.Password);
        QCOMPARE(s.DateFormat, before.DateFormat);
        QCOMPARE(s.AutoInsertDate, before.AutoInsertDate);
        QCOMPARE(Pane("Memo1")->font(), font);
        // The controls keep the user's edits until the next open fills them.
        QCOMPARE(Edit("Edit1")->text(), QStringLiteral("/x"));
        Open();
        QCOMPARE(Edit("Edit1")->text(), QString::fromStdString(before.DataPath));
        QVERIFY(!Box("CheckBox1")->isChecked());
    }

    void fontChooserConfirmAndCancel_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirm") << true;
        QTest::newRow("cancel") << false;
    }

    void fontChooserConfirmAndCancel() {
        QFETCH(bool, confirm);
        QFont pane(QStringLiteral("DejaVu Sans"));
        pane.setPointSize(12);
        pane.setUnderline(true);
        kuv::ApplyPaneFont(*Pane("Memo1"), pane, 0x00336699);
        kuv::ApplyPaneFont(*Pane("Memo2"), pane, 0x00336699);
        Open();

        bool sawChooser = false;
        QTimer::singleShot(0, this, [&] {
            auto* chooser = dialog_->findChild<QFontDialog*>(QStringLiteral("FontDialog"));
            QVERIFY(chooser != nullptr);
            QTRY_VERIFY(chooser->isVisible());
            sawChooser = true;
            // No effects group: no strike-out, underline or colour to pick.
            for (QCheckBox* box : chooser->findChildren<QCheckBox*>()) {
                QVERIFY(!box->isVisibleTo(chooser));
            }
            QCOMPARE(chooser->currentFont().family(), QStringLiteral("DejaVu Sans"));
            QFont pick(QStringLiteral("DejaVu Serif"));
            pick.setPointSize(16);
            pick.setBold(true);
            pick.setStrikeOut(true);
            chooser->setCurrentFont(pick);
            auto* buttons = chooser->findChild<QDialogButtonBox*>();
            QVERIFY(buttons != nullptr);
            QTest::mouseClick(
                buttons->button(confirm ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel),
                Qt::LeftButton);
        });
        Click(Button("SpeedButton3"));
        QVERIFY(sawChooser);
        QVERIFY(dialog_->isVisible());
        const QFont chosen = dialog_->ChosenFont();
        if (confirm) {
            QCOMPARE(chosen.family(), QStringLiteral("DejaVu Serif"));
            QCOMPARE(chosen.pointSize(), 16);
            QVERIFY(chosen.bold());
        } else {
            QCOMPARE(chosen.family(), QStringLiteral("DejaVu Sans"));
            QCOMPARE(chosen.pointSize(), 12);
            QVERIFY(!chosen.bold());
        }
        QVERIFY(chosen.underline());   // unchanged
        QVERIFY(!chosen.strikeOut());  // unchanged
        // The panes get the font only when the dialog is applied.
        QCOMPARE(Pane("Memo1")->font().family(), QStringLiteral("DejaVu Sans"));

        Click(Button("SpeedButton1"));
        QCOMPARE(gMessages, std::vector<QString>{kNextStart});
        for (QPlainTextEdit* memo : {Pane("Memo1"), Pane("Memo2")}) {
            QCOMPARE(memo->font().family(), chosen.family());
            QCOMPARE(memo->font().pointSize(), chosen.pointSize());
            QCOMPARE(memo->font().bold(), chosen.bold());
            QCOMPARE(kuv::PaneColorValue(*memo), 0x00336699);
        }
        QCOMPARE(Stored("FONT", "NAME"), Bytes(chosen.family()));
        QCOMPARE(Stored("FONT", "SIZE"), std::to_string(chosen.pointSize()));
        QCOMPARE(Stored("FONT", "COLOR"), std::string("3368601"));  // 0x00336699
    }

    void fontChooserStartsOnTheFamilyShownAndKeepsItsName() {
        if (!QFontDatabase::families().contains(QStringLiteral("IPAPGothic"))) {
            QSKIP("fonts-ipafont-gothic is not installed");
        }
        // The default face, shown through the IPA alias.
        QFont pane(QStringLiteral("ＭＳ Ｐゴシック"));
        pane.setPointSize(12);
        kuv::ApplyPaneFont(*Pane("Memo1"), pane, 0x00000000);
        Open();
        QTimer::singleShot(0, this, [&] {
            auto* chooser = dialog_->findChild<QFontDialog*>(QStringLiteral("FontDialog"));
            QTRY_VERIFY(chooser->isVisible());
            QCOMPARE(chooser->currentFont().family(), QStringLiteral("IPAPGothic"));
            // The sample shows a sample.
            for (QGroupBox* group : chooser->findChildren<QGroupBox*>()) {
                if (!group->isVisibleTo(chooser)) continue;
                for (QLineEdit* sample : group->findChildren<QLineEdit*>()) {
                    QVERIFY(sample->height() >= 40);
                }
            }
            chooser->accept();
        });
        Click(Button("SpeedButton3"));
        QCOMPARE(dialog_->ChosenFont().family(), QStringLiteral("ＭＳ Ｐゴシック"));
        Click(Button("SpeedButton1"));
        QCOMPARE(Stored("FONT", "NAME"), std::string(kuv::kDefaultFontName));
    }

    void reopeningWhileShownKeepsTheChosenFont() {
        Open();
        QFont pane(QStringLiteral("DejaVu Serif"));
        pane.setPointSize(20);
        QTimer::singleShot(0, this, [&] {
            auto* chooser = dialog_->findChild<QFontDialog*>(QStringLiteral("FontDialog"));
            QTRY_VERIFY(chooser->isVisible());
            chooser->setCurrentFont(pane);
            chooser->accept();
        });
        Click(Button("SpeedButton3"));
        QCOMPARE(dialog_->ChosenFont().pointSize(), 20);
        Edit("Edit1")->setText(QStringLiteral("/unapplied"));
        OpenFromTheWindow();  // while shown: refill, but no FormShow
        QCOMPARE(Edit("Edit1")->text(), QString::fromStdString(paths_.settingsFolder));
        QCOMPARE(dialog_->ChosenFont().pointSize(), 20);
    }

    void placedCentredThenWhereLeft() {
        Open();
        const QRect area = dialog_->screen()->availableGeometry();
        const QPoint centre = dialog_->geometry().center();
        QVERIFY(qAbs(centre.x() - area.center().x()) <= 20);
        QVERIFY(qAbs(centre.y() - area.center().y()) <= 40);
        dialog_->move(10, 20);
        Click(Button("SpeedButton2"));
        Open();
        QCOMPARE(dialog_->pos(), QPoint(10, 20));
    }

    void stillUsableMainWindowWhileShown() {
        form_->show();
        Open();
        QVERIFY(!dialog_->isModal());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(form_->isEnabled());
    }
};

int main(int argc, char** argv) {
    InstallFontAlias(QString::fromStdString(kuv::fsio::ExecutableDir()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestSettingDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_setting_dialog.moc"
