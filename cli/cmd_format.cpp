#include "cli/cli.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include <QLocale>
#include <QString>

#include "dates/calendar.h"
#include "dates/date_locale.h"
#include "dates/date_pattern.h"
#include "dates/qt/locale_loader.h"
#include "platform/cp932.h"
#include "platform/errors.h"

namespace kuv::cli {

namespace {

// Reads count decimal digits at text[at]; false when any is not a digit.
bool Digits(const std::string& text, std::size_t at, std::size_t count, int& out) {
    if (at + count > text.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

// YYYY-MM-DD[THH:MM[:SS[.mmm]]]
std::optional<TDateTime> ParseIsoValue(const std::string& text) {
    const std::optional<DateParts> day = ParseIsoDay(std::string_view(text).substr(0, 10));
    if (!day) return std::nullopt;
    int h = 0, mi = 0, s = 0, ms = 0;
    std::size_t pos = 10;
    if (pos < text.size()) {
        if (text[pos] != 'T' || !Digits(text, pos + 1, 2, h) || pos + 3 >= text.size() ||
            text[pos + 3] != ':' || !Digits(text, pos + 4, 2, mi)) {
            return std::nullopt;
        }
        pos += 6;
        if (pos < text.size()) {
            if (text[pos] != ':' || !Digits(text, pos + 1, 2, s)) return std::nullopt;
            pos += 3;
            if (pos < text.size()) {
                if (text[pos] != '.' || !Digits(text, pos + 1, 3, ms)) return std::nullopt;
                pos += 4;
            }
        }
    }
    if (pos != text.size()) return std::nullopt;
    try {
        const TDateTime date = EncodeDateValue(day->year, day->month, day->day);
        const TDateTime time =
            EncodeTimeValue(static_cast<std::uint16_t>(h), static_cast<std::uint16_t>(mi),
                            static_cast<std::uint16_t>(s), static_cast<std::uint16_t>(ms));
        // Before 1899-12-30 the time of day is the magnitude of the negative fraction.
        return date < 0 ? date - time : date + time;
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

// A plain decimal number; strtod alone would also take hex, "inf" and "nan".
std::optional<TDateTime> ParseNumberValue(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string::npos) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<TDateTime> ParseValue(const std::string& text) {
    std::optional<TDateTime> v = ParseIsoValue(text);
    if (!v) v = ParseNumberValue(text);
    if (!v) return std::nullopt;
    // Only the calendar's range has defined names and weekdays.
    const std::int64_t day = SplitDateTime(*v).day;
    if (day < 1 || day > 3652059) return std::nullopt;
    return v;
}

std::optional<DateLocaleTables> TablesFor(const std::string& name) {
    if (name == "fallback") return FallbackDateLocale();
    if (name == "ja_JP") return JapaneseDateLocale();
    const QLocale locale(QString::fromUtf8(name.c_str()));
    // Qt answers an unknown name with the C locale.
    if (locale == QLocale::c() && name != "C") return std::nullopt;
    return BuildDateLocale(LocaleItemsFromQt(locale));
}

}  // namespace

int RunFormat(int argc, char** argv) {
    auto args = ParseArgs(argc, argv, 2, {"raw"}, {"locale"});
    if (!args) return 2;
    if (args->positional.empty() || args->positional.size() > 2) return Usage();
    const auto pattern = ArgToCp932(args->positional[0], "pattern");
    if (!pattern) return 2;

    TDateTime value = 0;
    if (args->positional.size() == 2) {
        const auto parsed = ParseValue(args->positional[1]);
        if (!parsed) {
            std::fprintf(stderr,
                         "kuvandoro-cli: not a date-time value between 0001-01-01 and "
                         "9999-12-31 (a number or YYYY-MM-DD[THH:MM[:SS[.mmm]]]): %s\n",
                         args->positional[1].c_str());
            return 2;
        }
        value = *parsed;
    } else {
        value = CurrentDateTime();
    }

    DateLocaleTables tables;
    if (const auto name = args->Value("locale")) {
        const auto found = TablesFor(*name);
        if (!found) {
            std::fprintf(stderr, "kuvandoro-cli: unknown locale: %s\n", name->c_str());
            return 2;
        }
        tables = *found;
    } else {
        LoadDateLocale();
        tables = DateLocale();
    }

    const std::string text = FormatDatePattern(*pattern, value, tables);
    if (args->Has("raw")) {
        std::fwrite(text.data(), 1, text.size(), stdout);
    } else {
        const std::string utf8 = cp932::ToUtf8(text) + "\n";
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace kuv::cli
