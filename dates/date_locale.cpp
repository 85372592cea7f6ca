#include "dates/date_locale.h"

#include <charconv>

#include "platform/cp932.h"

namespace kuv {

namespace {

// A locale text item is read into a 256-byte buffer with its terminating NUL.
constexpr std::size_t kTextItemBuffer = 256;

constexpr const char* kFallbackShortDays[8] = {"", "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kFallbackLongDays[8] = {"",          "Sunday",   "Monday", "Tuesday",
                                              "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char* kFallbackShortMonths[13] = {"",    "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kFallbackLongMonths[13] = {
    "",     "January", "February",  "March",   "April",    "May",     "June",
    "July", "August",  "September", "October", "November", "December"};

// A text item that does not fit the buffer counts as a failed read.
std::string TextItem(const std::optional<std::string>& item, const char* fallback) {
    if (!item) return fallback;
    std::string text = item->substr(0, item->find('\0'));
    if (text.size() + 1 > kTextItemBuffer) return fallback;
    return text;
}

// Day and month names have no fallback of their own: a failed or empty read takes the
// built-in name.
std::string NameItem(const std::optional<std::string>& item, const char* fallback) {
    std::string text = TextItem(item, fallback);
    return text.empty() ? std::string(fallback) : text;
}

// The separators are read into a 2-byte buffer, so anything longer than one byte fails.
// An empty item fails as well: a NUL separator would cut an inserted entry short when it
// is read back.
char OneByteItem(const std::optional<std::string>& item, char fallback) {
    if (!item || item->size() != 1 || (*item)[0] == '\0') return fallback;
    return (*item)[0];
}

int ToInteger(const std::string& text, int invalid) {
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || first == last) return invalid;
    return value;
}

int NumberItem(const std::optional<std::string>& item, const char* fallback, int invalid) {
    return ToInteger(TextItem(item, fallback), invalid);
}

bool IsLetterY(char c) {
    return c == 'y' || c == 'Y';
}
bool IsLetterG(char c) {
    return c == 'g' || c == 'G';
}

}  // namespace

DateLocaleTables& DateLocale() {
    // Until the locale source has been read, the built-in tables serve.
    static DateLocaleTables tables = FallbackDateLocale();
    return tables;
}

std::string TranslateLocaleDatePattern(const std::string& pattern, int calendarType,
                                       int primaryLanguage, const std::bitset<256>& leadBytes) {
    const auto lead = [&](char c) { return leadBytes.test(static_cast<unsigned char>(c)); };
    const std::size_t n = pattern.size();
    std::string out;
    out.reserve(n + 8);
    if (calendarType >= 3 && calendarType <= 5) {
        // Era calendars: the year pictures become era-year pictures, the era name gets
        // its long form.
        std::size_t i = 0;
        while (i < n) {
            const char c = pattern[i];
            if (lead(c)) {
                out += c;
                if (i + 1 < n) out += pattern[i + 1];
                i += 2;
            } else if (IsLetterG(c) && i + 1 < n && IsLetterG(pattern[i + 1])) {
                out += "ggg";
                i += 2;
            } else if (i + 3 < n && IsLetterY(c) && IsLetterY(pattern[i + 1]) &&
                       IsLetterY(pattern[i + 2]) && IsLetterY(pattern[i + 3])) {
                out += "eeee";
                i += 4;
            } else if (i + 1 < n && IsLetterY(c) && IsLetterY(pattern[i + 1])) {
                out += "ee";
                i += 2;
            } else if (IsLetterY(c)) {
                out += 'e';
                i += 1;
            } else {
                out += c;
                i += 1;
            }
        }
        return out;
    }
    if (primaryLanguage == 4 || primaryLanguage == 17 || primaryLanguage == 18) {
        // Chinese, Japanese and Korean patterns lose their era letters on the Gregorian
        // calendar.
        std::size_t i = 0;
        while (i < n) {
            const char c = pattern[i];
            if (lead(c)) {
                out += c;
                if (i + 1 < n) out += pattern[i + 1];
                i += 2;
            } else {
                if (!IsLetterG(c)) out += c;
                i += 1;
            }
        }
        return out;
    }
    return pattern;
}

DateLocaleTables BuildDateLocale(const LocaleItems& items) {
    DateLocaleTables t;
    const int primary = items.languageId & 0x3FF;
    const int sub = items.languageId >> 10;
    if ((items.languageId & 0xFFFF) != 0) {
        t.primaryLanguage = primary;
        t.subLanguage = sub;
    }
    if (items.doubleByteCodePage) {
        for (int b = 0; b < 256; ++b) {
            if (cp932::IsLeadByte(static_cast<unsigned char>(b))) t.leadBytes.set(b);
        }
    }
    for (int i = 1; i <= 12; ++i) {
        t.shortMonthNames[i] = NameItem(items.shortMonthNames[i], kFallbackShortMonths[i]);
        t.longMonthNames[i] = NameItem(items.longMonthNames[i], kFallbackLongMonths[i]);
    }
    for (int j = 1; j <= 7; ++j) {
        t.shortDayNames[j] = NameItem(items.shortDayNames[j], kFallbackShortDays[j]);
        t.longDayNames[j] = NameItem(items.longDayNames[j], kFallbackLongDays[j]);
    }
    const int calendarType = NumberItem(items.iCalendarType, "1", 1);
    t.dateSeparator = OneByteItem(items.dateSeparator, '/');
    t.shortDateFormat = TranslateLocaleDatePattern(TextItem(items.shortDate, "m/d/yy"),
                                                   calendarType, t.primaryLanguage, t.leadBytes);
    t.longDateFormat = TranslateLocaleDatePattern(TextItem(items.longDate, "mmmm d, yyyy"),
                                                  calendarType, t.primaryLanguage, t.leadBytes);
    t.timeSeparator = OneByteItem(items.timeSeparator, ':');
    t.timeAMString = TextItem(items.am, "am");
    t.timePMString = TextItem(items.pm, "pm");

    const std::string hour = NumberItem(items.iTLZero, "0", 0) != 0 ? "hh" : "h";
    std::string prefix, suffix;
    if (NumberItem(items.iTime, "0", 0) == 0) {
        if (NumberItem(items.iTimeMarkPosn, "0", 0) != 0) {
            prefix = "AMPM ";
        } else {
            suffix = " AMPM";
        }
    }
    t.shortTimeFormat = prefix + hour + ":mm" + suffix;
    t.longTimeFormat = prefix + hour + ":mm:ss" + suffix;
    t.eras = items.eras;
    return t;
}

DateLocaleTables FallbackDateLocale() {
    LocaleItems none;
    none.doubleByteCodePage = false;
    return BuildDateLocale(none);
}

LocaleItems JapaneseLocaleItems() {
    static constexpr const char* kDays[8] = {"",         "\x93\xfa", "\x8c\x8e", "\x89\xce",
                                             "\x90\x85", "\x96\xd8", "\x8b\xe0", "\x93\x79"};
    const std::string youbi = "\x97\x6a\x93\xfa";  // 曜日
    const std::string gatsu = "\x8c\x8e";          // 月
    LocaleItems it;
    for (int j = 1; j <= 7; ++j) {
        it.shortDayNames[j].emplace(kDays[j]);
        it.longDayNames[j].emplace(kDays[j] + youbi);
    }
    for (int i = 1; i <= 12; ++i) {
        it.shortMonthNames[i].emplace(std::to_string(i) + gatsu);
        it.longMonthNames[i].emplace(std::to_string(i) + gatsu);
    }
    it.dateSeparator.emplace("/");
    it.timeSeparator.emplace(":");
    it.shortDate.emplace("yyyy/MM/dd");
    it.longDate.emplace("yyyy'\x94\x4e'M'\x8c\x8e'd'\x93\xfa'");  // yyyy'年'M'月'd'日'
    it.am.emplace("\x8c\xdf\x91\x4f");                            // 午前
    it.pm.emplace("\x8c\xdf\x8c\xe3");                            // 午後
    it.iTLZero.emplace("0");
    it.iTime.emplace("1");
    it.iTimeMarkPosn.emplace("1");
    it.iCalendarType.emplace("1");
    it.languageId = 0x0411;
    it.doubleByteCodePage = true;
    it.eras = EraCalendar::Japanese;
    return it;
}

DateLocaleTables JapaneseDateLocale() {
    return BuildDateLocale(JapaneseLocaleItems());
}

}  // namespace kuv
