#include "ui/common/date_format.h"

namespace kuv {

QString PickerFormat(const QLocale& locale) {
    // The C locale's short date is the fallback tables' m/d/yy.
    if (locale.language() == QLocale::C) return QStringLiteral("M/d/yyyy");
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    // A run of exactly two y letters is the two-digit year.
    QString wide;
    for (qsizetype i = 0; i < format.size();) {
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == format[i]) ++run;
        const QString piece = format.mid(i, run);
        wide += format[i] == u'y' && run == 2 ? QStringLiteral("yyyy") : piece;
        i += run;
    }
    return wide;
}

}  // namespace kuv
