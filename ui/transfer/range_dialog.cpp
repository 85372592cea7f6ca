#include "ui/transfer/range_dialog.h"

#include <algorithm>
#include <cstdint>

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dates/qt/locale_loader.h"
#include "ui/common/date_format.h"
#include "ui/window/main_form_metrics.h"

namespace {

kuv::DateParts PartsOf(const QDate& d) {
    return {static_cast<std::uint16_t>(d.year()), static_cast<std::uint16_t>(d.month()),
            static_cast<std::uint16_t>(d.day())};
}

QDateEdit* MakeDateEdit(QWidget* parent, const char* name, const QDate& value) {
    auto* edit = new QDateEdit(value, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setDateRange(kuv::mainform::kFirstPickerDate, kuv::mainform::kLastPickerDate);
    const QLocale locale = kuv::UserDateLocale();
    edit->setLocale(locale);
    edit->setDisplayFormat(kuv::PickerFormat(locale));
    edit->setCalendarPopup(true);
    return edit;
}

}  // namespace

TRangeDialog::TRangeDialog(kuv::RangePurpose purpose, const QDate& shownDay,
                           kuv::ExportFormat offered, QWidget* parent)
    : QDialog(parent), FShownDay(shownDay) {
    const bool exporting = purpose == kuv::RangePurpose::Export;
    setObjectName(QStringLiteral("RangeDialog"));
    setWindowTitle(exporting ? QStringLiteral("エクスポート") : QStringLiteral("印刷"));

    auto* days = new QGroupBox(QStringLiteral("日記の範囲"), this);
    ShownDay = new QRadioButton(QStringLiteral("表示中の日（%1）")
                                    .arg(kuv::UserDateLocale().toString(
                                        shownDay, kuv::PickerFormat(kuv::UserDateLocale()))),
                                days);
    ShownDay->setObjectName(QStringLiteral("ShownDay"));
    AllDays = new QRadioButton(QStringLiteral("すべての日"), days);
    AllDays->setObjectName(QStringLiteral("AllDays"));
    SomeDays = new QRadioButton(QStringLiteral("期間を指定"), days);
    SomeDays->setObjectName(QStringLiteral("SomeDays"));
    // A span starts as the year of the day shown.
    FromDate = MakeDateEdit(days, "FromDate", QDate(shownDay.year(), 1, 1));
    ToDate = MakeDateEdit(days, "ToDate", QDate(shownDay.year(), 12, 31));
    auto* span = new QHBoxLayout;
    span->addSpacing(20);
    span->addWidget(FromDate);
    span->addWidget(new QLabel(QStringLiteral("から"), days));
    span->addWidget(ToDate);
    span->addWidget(new QLabel(QStringLiteral("まで"), days));
    span->addStretch();
    auto* column = new QVBoxLayout(days);
    column->addWidget(ShownDay);
    column->addWidget(AllDays);
    column->addWidget(SomeDays);
    column->addLayout(span);
    (exporting ? AllDays : ShownDay)->setChecked(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(days);
    if (exporting) {
        Format = new QComboBox(this);
        Format->setObjectName(QStringLiteral("Format"));
        Format->addItem(QStringLiteral("テキスト (.txt)"),
                        static_cast<int>(kuv::ExportFormat::Text));
        Format->addItem(QStringLiteral("Markdown (.md)"),
                        static_cast<int>(kuv::ExportFormat::Markdown));
        Format->addItem(QStringLiteral("HTML (.html)"), static_cast<int>(kuv::ExportFormat::Html));
        Format->addItem(QStringLiteral("PDF (.pdf)"), static_cast<int>(kuv::ExportFormat::Pdf));
        Format->setCurrentIndex(std::max(0, Format->findData(static_cast<int>(offered))));
        auto* form = new QFormLayout;
        form->addRow(QStringLiteral("形式:"), Format);
        layout->addLayout(form);
    }
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons->setObjectName(QStringLiteral("Buttons"));
    Buttons->button(QDialogButtonBox::Ok)
        ->setText(exporting ? QStringLiteral("エクスポート") : QStringLiteral("プレビュー"));
    Buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    layout->addWidget(Buttons);

    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QRadioButton* b : {ShownDay, AllDays, SomeDays}) {
        connect(b, &QRadioButton::toggled, this, [this] { UpdateControls(); });
    }
    for (QDateEdit* e : {FromDate, ToDate}) {
        connect(e, &QDateEdit::dateChanged, this, [this] { UpdateControls(); });
    }
    UpdateControls();
}

void TRangeDialog::UpdateControls() {
    const bool span = SomeDays->isChecked();
    FromDate->setEnabled(span);
    ToDate->setEnabled(span);
    // A span that ends before it starts holds no day.
    Buttons->button(QDialogButtonBox::Ok)->setEnabled(!span || FromDate->date() <= ToDate->date());
}

kuv::RangeChoice TRangeDialog::Choice() const {
    kuv::RangeChoice choice;
    if (ShownDay->isChecked()) {
        choice.range.from = choice.range.to = PartsOf(FShownDay);
    } else if (SomeDays->isChecked()) {
        choice.range.from = PartsOf(FromDate->date());
        choice.range.to = PartsOf(ToDate->date());
    }
    if (Format != nullptr) {
        choice.format = static_cast<kuv::ExportFormat>(Format->currentData().toInt());
    }
    return choice;
}
