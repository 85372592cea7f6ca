#include "dates/qt/locale_loader.h"

#include <cstdlib>
#include <vector>

#include <QLocale>
#include <QString>

#include "platform/cp932.h"

namespace kuv {

namespace {

// One piece of a Qt date or time format: a field (a run of one pattern letter) or
// literal text.
struct QtPiece {
    bool field = false;
    char16_t letter = 0;
    int count = 0;
    QString text;  // the literal text
};

bool IsQtFieldLetter(char16_t c, bool time) {
    if (time)
        return c == 'h' || c == 'H' || c == 'm' || c == 's' || c == 'z' || c == 'a' || c == 'A' ||
               c == 't';
    return c == 'd' || c == 'M' || c == 'y';
}

// Splits a format by Qt's rules: '...' quotes literal text, '' is one quote, letters that
// are no field of the format are literal, and runs are capped the way Qt caps them.
std::vector<QtPiece> SplitQtFormat(const QString& format, bool time) {
    std::vector<QtPiece> pieces;
    const auto literal = [&](const QString& s) {
        if (pieces.empty() || pieces.back().field) pieces.push_back(QtPiece{});
        pieces.back().text += s;
    };
    const qsizetype n = format.size();
    qsizetype i = 0;
    while (i < n) {
        const char16_t c = format[i].unicode();
        if (c == '\'') {
            if (i + 1 < n && format[i + 1] == QLatin1Char('\'')) {
                literal(QStringLiteral("'"));
                i += 2;
                continue;
            }
            QString text;
            ++i;
            while (i < n) {
                if (format[i] == QLatin1Char('\'')) {
                    if (i + 1 < n && format[i + 1] == QLatin1Char('\'')) {
                        text += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += format[i++];
            }
            literal(text);
            continue;
        }
        if (!IsQtFieldLetter(c, time)) {
            literal(QString(QChar(c)));
            ++i;
            continue;
        }
        int repeat = 1;
        while (i + repeat < n && format[i + repeat].unicode() == c) ++repeat;
        int count = repeat;
        switch (c) {
            case 'y':
                count = repeat >= 4 ? 4 : repeat >= 2 ? 2 : 0;
                break;
            case 'd':
            case 'M':
                count = repeat > 4 ? 4 : repeat;
                break;
            case 'h':
            case 'H':
            case 'm':
            case 's':
                count = repeat > 2 ? 2 : repeat;
                break;
            case 'z':
                count = repeat >= 3 ? 3 : 1;
                break;
            case 'a':
            case 'A':
                // "AP" / "ap" is one marker, a lone a or A as well.
                count = (i + 1 < n &&
                         (format[i + 1] == QLatin1Char('p') || format[i + 1] == QLatin1Char('P')))
                            ? 2
                            : 1;
                break;
            default:
                count = 1;
                break;
        }
        if (count == 0) {
            // A single y is no field in Qt.
            literal(QString(QChar(c)));
            ++i;
            continue;
        }
        pieces.push_back(QtPiece{true, c, count, {}});
        i += count;
    }
    return pieces;
}

// Literal text in this pattern language: quoted, except blanks and the punctuation that
// prints itself; a '/' stays bare when it is the locale's date separator anyway.
void AppendLiteral(QString& out, const QString& text, bool slashIsSeparator) {
    bool open = false;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        const bool bare =
            c == ' ' || c == ',' || c == '.' || c == '-' || (c == '/' && slashIsSeparator);
        if (bare || c == '\'') {
            if (open) {
                out += QLatin1Char('\'');
                open = false;
            }
            out += c == '\'' ? QStringLiteral("\"'\"") : QString(ch);
            continue;
        }
        if (!open) {
            out += QLatin1Char('\'');
            open = true;
        }
        out += ch;
    }
    if (open) out += QLatin1Char('\'');
}

}  // namespace

QString DatePatternFromQt(const QString& format, bool slashIsSeparator) {
    QString out;
    char16_t lastField = 0;
    for (const QtPiece& p : SplitQtFormat(format, false)) {
        if (!p.field) {
            AppendLiteral(out, p.text, slashIsSeparator);
            lastField = 0;
            continue;
        }
        // Two equal quotes print nothing and keep adjacent fields apart as two runs.
        if (lastField == p.letter) out += QStringLiteral("''");
        out += QString(p.count, QChar(p.letter));
        lastField = p.letter;
    }
    return out;
}

namespace {

// The literal text between the first field and the next one.
std::optional<QString> SeparatorOf(const std::vector<QtPiece>& pieces) {
    for (std::size_t k = 0; k + 2 < pieces.size(); ++k) {
        if (pieces[k].field) {
            if (!pieces[k + 1].field && pieces[k + 2].field) return pieces[k + 1].text;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ToCp932(const QString& text) {
    return cp932::FromUtf8(text.toStdString());
}

std::uint16_t LanguageIdOf(const QLocale& locale) {
    switch (locale.language()) {
        case QLocale::Japanese:
            return 0x0411;
        case QLocale::Korean:
            return 0x0412;
        case QLocale::Chinese:
            switch (locale.territory()) {
                case QLocale::Taiwan:
                    return 0x0404;
                case QLocale::HongKong:
                    return 0x0C04;
                case QLocale::Singapore:
                    return 0x1004;
                case QLocale::Macao:
                    return 0x1404;
                default:
                    return 0x0804;
            }
        case QLocale::English:
            return locale.territory() == QLocale::UnitedKingdom ? 0x0809 : 0x0409;
        default:
            // Not known: the tables keep English (United States).
            return 0;
    }
}

QLocale LocaleFromName(const char* name) {
    const QString n = QString::fromLocal8Bit(name);
    if (n == QLatin1String("C") || n == QLatin1String("POSIX") || n.startsWith(u"C.")) {
        return QLocale::c();
    }
    return QLocale(n);
}

}  // namespace

LocaleItems LocaleItemsFromQt(const QLocale& locale) {
    LocaleItems it;
    // The C locale has no items of its own: every item takes its fallback,
    // as where Windows answers no locale item. The code page stays 932.
    if (locale.language() == QLocale::C) return it;
    for (int j = 1; j <= 7; ++j) {
        // Qt counts Monday as 1 and Sunday as 7.
        const int qtDay = (j + 5) % 7 + 1;
        it.shortDayNames[j] = ToCp932(locale.dayName(qtDay, QLocale::ShortFormat));
        it.longDayNames[j] = ToCp932(locale.dayName(qtDay, QLocale::LongFormat));
    }
    for (int i = 1; i <= 12; ++i) {
        it.shortMonthNames[i] = ToCp932(locale.monthName(i, QLocale::ShortFormat));
        it.longMonthNames[i] = ToCp932(locale.monthName(i, QLocale::LongFormat));
    }

    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    if (const auto sep = SeparatorOf(SplitQtFormat(shortDate, false))) {
        it.dateSeparator = ToCp932(*sep);
    }
    const bool slashIsSeparator = it.dateSeparator && *it.dateSeparator == "/";
    if (!shortDate.isEmpty())
        it.shortDate = ToCp932(DatePatternFromQt(shortDate, slashIsSeparator));
    const QString longDate = locale.dateFormat(QLocale::LongFormat);
    if (locale.language() == QLocale::Japanese) {
        // Qt's Japanese long date adds the weekday; the Japanese system's is
        // the year, month and day alone.
        it.longDate = JapaneseLocaleItems().longDate;
    } else if (!longDate.isEmpty()) {
        it.longDate = ToCp932(DatePatternFromQt(longDate, slashIsSeparator));
    }

    const std::vector<QtPiece> time = SplitQtFormat(locale.timeFormat(QLocale::ShortFormat), true);
    std::optional<std::size_t> hourAt, markAt;
    for (std::size_t k = 0; k < time.size(); ++k) {
        if (!time[k].field) continue;
        if (!hourAt && (time[k].letter == 'h' || time[k].letter == 'H')) hourAt = k;
        if (!markAt && (time[k].letter == 'a' || time[k].letter == 'A')) markAt = k;
    }
    if (hourAt) {
        const QtPiece& hour = time[*hourAt];
        it.iTLZero = hour.count >= 2 ? "1" : "0";
        // In Qt an h without an AM/PM marker is a 24-hour clock, as H always is.
        const bool twelve = hour.letter == 'h' && markAt.has_value();
        it.iTime = twelve ? "0" : "1";
        it.iTimeMarkPosn = markAt && *markAt < *hourAt ? "1" : "0";
        if (*hourAt + 2 < time.size() && !time[*hourAt + 1].field && time[*hourAt + 2].field) {
            it.timeSeparator = ToCp932(time[*hourAt + 1].text);
        }
    }
    it.am = ToCp932(locale.amText());
    it.pm = ToCp932(locale.pmText());

    // Qt gives the Gregorian patterns only; the Japanese era calendar is the alternative
    // one, as on Windows.
    it.iCalendarType = "1";
    it.languageId = LanguageIdOf(locale);
    // The code page of this program is always 932.
    it.doubleByteCodePage = true;
    it.eras = locale.language() == QLocale::Japanese ? EraCalendar::Japanese : EraCalendar::None;
    return it;
}

QLocale UserDateLocale() {
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0') return LocaleFromName(value);
    }
    return QLocale::system();
}

void LoadDateLocale() {
    DateLocale() = BuildDateLocale(LocaleItemsFromQt(UserDateLocale()));
}

}  // namespace kuv
