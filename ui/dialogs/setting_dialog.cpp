#include "ui/dialogs/setting_dialog.h"

#include <cmath>
#include <limits>
#include <string>

#include <QCheckBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QToolButton>

#include "ui/common/bevel.h"
#include "ui/common/centring.h"
#include "ui/common/desktop_look.h"
#include "ui/common/dialog_parts.h"
#include "ui/common/fonts.h"
#include "ui/common/messages.h"
#include "ui/common/qt_text.h"

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const char16_t* caption, int left, int top,
                  int width, int height) {
    auto* label = new QLabel(QString::fromUtf16(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(left, top, width, height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const char16_t* caption, int left,
                        int top, int width, int height) {
    auto* box = new QCheckBox(QString::fromUtf16(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(left, top, width, height);
    return box;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(left, top, width, height);
    // The edits set no length limit of their own.
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

// The font size in points that the settings file keeps.
int PointSizeOf(const QFont& font) {
    if (font.pointSize() > 0) return font.pointSize();
    if (font.pixelSize() > 0) return static_cast<int>(std::lround(font.pixelSize() * 72.0 / 96.0));
    return 12;
}

}  // namespace

TSettingDialog::TSettingDialog() : QDialog(nullptr) {
    // A top-level window of its own, not kept above the main window; as a
    // tool window without parent it does not keep the program alive either.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setObjectName(QStringLiteral("SettingDialog"));
    setWindowTitle(QStringLiteral("設定変更"));
    setFixedSize(454, 398);
    setFont(kuv::ControlFont(12));
    CreateControls();
}

void TSettingDialog::CreateControls() {
    Image1 = kuv::MakePicture(this, "Image1", QStringLiteral(":/assets/banner_setting.png"),
                              QRect(0, 0, 97, 321));
    Image1->setAccessibleName(QStringLiteral("Kuvandoro Tessarine"));

    CheckBox1 = MakeCheckBox(this, "CheckBox1", u"暗号化を使用する", 112, 24, 121, 17);
    Label2 = MakeLabel(this, "Label2", u"起動パスワード：", 112, 52, 84, 12);
    Edit2 = MakeEdit(this, "Edit2", 200, 48, 225, 20);
    kuv::MaskWithAsterisks(*Edit2);
    Label5 = MakeLabel(this, "Label5",
                       u"※パスワードを変更すると古いデータが復号化できなくなることがあります", 112,
                       70, 321, 26);
    Label5->setFont(kuv::ControlFont(11));
    // Wider fonts than the Windows one would run the warning past the frame.
    Label5->setWordWrap(true);
    ShowWarningInRed();
    Bevel2 = new TBevel(TBevel::Edge::Top, this);
    Bevel2->setObjectName(QStringLiteral("Bevel2"));
    Bevel2->setGeometry(104, 96, 329, 9);

    Label1 = MakeLabel(this, "Label1", u"日記データの格納フォルダ：", 112, 112, 142, 12);
    Edit1 = MakeEdit(this, "Edit1", 120, 128, 305, 20);
    Label3 = MakeLabel(this, "Label3", u"挿入する日付のフォーマット：", 112, 160, 148, 12);
    Edit3 = MakeEdit(this, "Edit3", 120, 176, 305, 20);
    CheckBox4 =
        MakeCheckBox(this, "CheckBox4", u"新しい日記に日付を自動挿入する", 120, 200, 193, 17);
    // The text a new day starts with: several lines, so an edit of its own kind.
    TemplateLabel = MakeLabel(this, "TemplateLabel", u"新しい日の定型文：", 112, 224, 148, 12);
    TemplateEdit = new QPlainTextEdit(this);
    TemplateEdit->setObjectName(QStringLiteral("TemplateEdit"));
    TemplateEdit->setGeometry(120, 240, 305, 64);
    TemplateEdit->setTabChangesFocus(true);
    TemplateEdit->setToolTip(QStringLiteral(
        "日付はフォーマットと同じ書き方、'…' は文字どおり、| だけの行に入力が始まります"));
    Bevel3 = new TBevel(TBevel::Edge::Top, this);
    Bevel3->setObjectName(QStringLiteral("Bevel3"));
    Bevel3->setGeometry(104, 312, 329, 9);
    CheckBox3 = MakeCheckBox(this, "CheckBox3", u"ウィンドウの位置を記憶する", 112, 328, 169, 17);
    StrongLockButton = kuv::MakeFlatButton(this, "StrongLockButton", QStringLiteral("強い鍵..."),
                                           QRect(312, 326, 113, 22));
    StrongLockButton->setToolTip(
        QStringLiteral("日記を強い暗号（パスワードと回復コード）で守ります"));

    SpeedButton3 = kuv::MakeFlatButton(this, "SpeedButton3", QStringLiteral("表示フォントの変更"),
                                       QRect(112, 368, 113, 22));
    SpeedButton1 = kuv::MakeFlatButton(this, "SpeedButton1", QStringLiteral("設定反映"),
                                       QRect(272, 368, 73, 22));
    SpeedButton2 = kuv::MakeFlatButton(this, "SpeedButton2", QStringLiteral("キャンセル"),
                                       QRect(352, 368, 73, 22));

    for (QLabel* label : {Image1, Label1, Label2, Label3, Label5, TemplateLabel}) {
        label->setFocusPolicy(Qt::NoFocus);
    }
    // A screen reader names each field after its label.
    Label1->setBuddy(Edit1);
    Label2->setBuddy(Edit2);
    Label3->setBuddy(Edit3);
    TemplateLabel->setBuddy(TemplateEdit);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, CheckBox1);
    setTabOrder(CheckBox1, CheckBox3);
    setTabOrder(CheckBox3, CheckBox4);
    setTabOrder(CheckBox4, TemplateEdit);
    // The first activation puts the focus here; later ones return it to the
    // control that had it last, which Qt remembers per window.
    Edit1->setFocus();

    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
    connect(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { ApplySettings(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
    connect(StrongLockButton, &QToolButton::clicked, this, [this] { emit strongLockRequested(); });
}

void TSettingDialog::SetStrongLock(bool on) {
    CheckBox1->setEnabled(!on);
    CheckBox1->setToolTip(on ? QStringLiteral("強い鍵がかかっている間は使えません") : QString());
}

void TSettingDialog::CreateFontDialog() {
    // Made on first use: listing every installed face costs start-up time and
    // memory that most runs never need.
    FontDialog = new QFontDialog(this);
    FontDialog->setObjectName(QStringLiteral("FontDialog"));
    FontDialog->setOption(QFontDialog::DontUseNativeDialog);
    FontDialog->setWindowModality(Qt::WindowModal);
    // The chooser offers face, style, size and script only: the group with
    // strike-out and underline (Qt's "Effects") is the one holding check boxes.
    for (QGroupBox* group : FontDialog->findChildren<QGroupBox*>()) {
        if (!group->findChildren<QCheckBox*>().isEmpty()) {
            group->hide();
        } else {
            // The sample took its height from the group beside it; alone it
            // would have none.
            for (QLineEdit* sample : group->findChildren<QLineEdit*>()) {
                sample->setMinimumHeight(48);
            }
        }
    }
}

void TSettingDialog::OpenSettingDialog(const kuv::DialogValues& current, const QFont& paneFont,
                                       std::int32_t paneColor, const QWidget* over) {
    Edit1->setText(kuv::ToQString(current.dataPath));
    Edit2->setText(kuv::ToQString(current.password));
    CheckBox1->setChecked(current.useEncryption);  // runs CheckBox1Click when the state changes
    Edit3->setText(kuv::ToQString(current.dateFormat));
    CheckBox3->setChecked(current.saveWindow);
    CheckBox4->setChecked(current.autoInsertDate);
    TemplateEdit->setPlainText(
        kuv::WidgetTextFromPane(kuv::ToQString(current.newDayTemplate.value_or(std::string()))));
    FPaneFont = paneFont;
    FPaneColor = paneColor;
    FUseEncryption = current.useEncryption;

    if (!FPlaced) {
        // Centred the first time; afterwards Qt keeps the place it was left at.
        kuv::CentreOnScreen(*this, over != nullptr ? over->screen() : nullptr);
        FPlaced = true;
    }
    if (isVisible()) raise();  // a newly shown window comes up in front anyway
    show();                    // runs FormShow when the dialog was hidden
    activateWindow();
}

void TSettingDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TSettingDialog::FormShow() {
    FChosenFont = FPaneFont;
    FChosenFontColor = FPaneColor;
    Edit2->setEnabled(FUseEncryption);
}

void TSettingDialog::CheckBox1Click() {
    Edit2->setEnabled(CheckBox1->isChecked());
}

void TSettingDialog::SpeedButton3Click() {
    QFont start = FChosenFont;
    if (start.pointSize() <= 0) start.setPointSize(PointSizeOf(start));
    // The chooser lists installed families only; a name the panes show
    // through an alias (the Windows faces) is offered as the family behind it.
    const QString shown = QFontInfo(start).family();
    start.setFamilies({shown});
    if (FontDialog == nullptr) CreateFontDialog();
    FontDialog->setCurrentFont(start);
    if (FontDialog->exec() != QDialog::Accepted) return;

    const QFont chosen = FontDialog->selectedFont();
    QFont next = FChosenFont;
    // A family left as it was keeps its stored name byte for byte, so that
    // the settings still suit the Windows program.
    if (chosen.family() != shown) {
        next.setFamilies(chosen.families().isEmpty() ? QStringList{chosen.family()}
                                                     : chosen.families());
    }
    next.setStyleName(chosen.styleName());
    next.setWeight(chosen.weight());
    next.setItalic(chosen.italic());
    next.setStretch(chosen.stretch());
    if (chosen.pointSizeF() > 0) {
        next.setPointSizeF(chosen.pointSizeF());
    } else if (chosen.pixelSize() > 0) {
        next.setPixelSize(chosen.pixelSize());
    }
    // Colour, underline and strike-out stay as they were.
    next.setUnderline(FChosenFont.underline());
    next.setStrikeOut(FChosenFont.strikeOut());
    FChosenFont = next;
}

bool TSettingDialog::CheckTexts(kuv::DialogValues& values) {
    struct Field {
        const QString text;
        const char16_t* name;
        std::string* out;
    };
    const Field fields[] = {
        {Edit2->text(), u"起動パスワード", &values.password},
        {Edit1->text(), u"日記データの格納フォルダ", &values.dataPath},
        {Edit3->text(), u"挿入する日付のフォーマット", &values.dateFormat},
        {FChosenFont.family(), u"表示フォントの名前", &values.fontName},
        {kuv::PaneTextFromWidget(TemplateEdit->toPlainText()), u"新しい日の定型文",
         &values.newDayTemplate.emplace()},
    };
    for (const Field& f : fields) {
        kuv::Cp932Text e = kuv::ToCp932(f.text);
        if (!e.ok) {
            // Code page 932 is how every text is stored; a character outside
            // it would be written as something else than the user typed.
            kuv::ShowMessage(
                QString::fromUtf16(f.name) +
                QStringLiteral("に使えない文字「%1」（U+%2）が含まれています")
                    .arg(e.badChar, QString::number(static_cast<unsigned>(e.badCode), 16)
                                        .toUpper()
                                        .rightJustified(4, u'0')));
            return false;
        }
        *f.out = std::move(e.bytes);
    }
    return true;
}

void TSettingDialog::ApplySettings() {
    // A word still being composed in an edit is part of what the user typed:
    // the input method puts it in (the apply button takes no focus, so
    // nothing else would).
    if (QWidget* focus = focusWidget(); focus != nullptr && focus->hasFocus()) {
        QGuiApplication::inputMethod()->commit();
    }
    kuv::DialogValues values;
    if (!CheckTexts(values)) return;
    values.useEncryption = CheckBox1->isChecked();
    values.fontSize = PointSizeOf(FChosenFont);
    values.fontColor = FChosenFontColor;
    values.saveWindow = CheckBox3->isChecked();
    values.autoInsertDate = CheckBox4->isChecked();
    emit settingsApplied(values, FChosenFont, FChosenFontColor);
}

void TSettingDialog::SpeedButton2Click() {
    hide();
}

void TSettingDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) ShowWarningInRed();
}

void TSettingDialog::ShowWarningInRed() {
    QPalette palette = Label5->palette();
    palette.setColor(QPalette::WindowText, kuv::WarningColor(this->palette()));
    Label5->setPalette(palette);
}

void TSettingDialog::keyPressEvent(QKeyEvent* event) {
    // No key applies or cancels the dialog: skip QDialog's Enter and Esc.
    QWidget::keyPressEvent(event);
}
