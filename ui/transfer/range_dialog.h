#pragma once

#include <QDate>
#include <QDialog>

#include "export/diary_export.h"

class QComboBox;
class QDateEdit;
class QDialogButtonBox;
class QRadioButton;

namespace kuv {

enum class RangePurpose { Export, Print };

struct RangeChoice {
    DayRange range;
    ExportFormat format = ExportFormat::Text;  // an export's
};

}  // namespace kuv

// Which days an export or a print takes: the day shown, every day (an
// export's default) or a span of days; an export also chooses its format.
class TRangeDialog final : public QDialog {
    Q_OBJECT

  public:
    // An export offers the format offered first.
    TRangeDialog(kuv::RangePurpose purpose, const QDate& shownDay,
                 kuv::ExportFormat offered = kuv::ExportFormat::Text, QWidget* parent = nullptr);
    TRangeDialog(const TRangeDialog&) = delete;
    TRangeDialog& operator=(const TRangeDialog&) = delete;

    kuv::RangeChoice Choice() const;

  private:
    void UpdateControls();

    QDate FShownDay;
    QRadioButton* ShownDay = nullptr;
    QRadioButton* AllDays = nullptr;
    QRadioButton* SomeDays = nullptr;
    QDateEdit* FromDate = nullptr;
    QDateEdit* ToDate = nullptr;
    QComboBox* Format = nullptr;  // an export's only
    QDialogButtonBox* Buttons = nullptr;
};
