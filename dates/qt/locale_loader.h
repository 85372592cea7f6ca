#pragma once

#include "dates/date_locale.h"

class QLocale;

namespace kuv {

// Reads the locale items of a Qt locale.
LocaleItems LocaleItemsFromQt(const QLocale& locale);

// Fills DateLocale() from the user's locale (LC_ALL, LC_TIME, LANG).
void LoadDateLocale();

}  // namespace kuv
