#pragma once

#include <QLocale>
#include <QString>

namespace kuv {

// The user's short date format, with the year in four digits so that every
// year the picker takes can be read and typed: the form every date the
// window's dialogs show takes.
QString PickerFormat(const QLocale& locale);

}  // namespace kuv
