#pragma once

#include "dates/date_locale.h"

class QLocale;
class QString;

namespace kuv {

// Reads the locale items of a Qt locale. The C locale gives none, so that
// the fallback tables serve; the Japanese long date is the Japanese system's
// year, month and day.
LocaleItems LocaleItemsFromQt(const QLocale& locale);

// A Qt date format (d to dddd, M to MMMM, yy, yyyy, quoted text) in this pattern
// language. A bare '/' stands for the date separator, so it stays bare only when
// slashIsSeparator.
QString DatePatternFromQt(const QString& format, bool slashIsSeparator);

// The user's locale for dates: LC_ALL, LC_TIME or LANG, else the system's.
QLocale UserDateLocale();

// Fills DateLocale() from the user's locale (LC_ALL, LC_TIME, LANG).
void LoadDateLocale();

}  // namespace kuv
