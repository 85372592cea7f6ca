#include "dates/date_pattern.h"

#include <cstring>

#include "dates/date_locale.h"

namespace kuv {

namespace {

constexpr std::size_t kBufferSize = 256;
// A caller's pattern may hold a locale pattern, which may hold nothing deeper.
constexpr int kMaxLevels = 2;

struct EraStart {
    int year, month, day;
    const char* name;  // code page 932
};
// The imperial eras as the system's calendar data gives them.
constexpr EraStart kJapaneseEras[] = {
    {1868, 1, 1, "\x96\xbe\x8e\xa1"},    // 明治
    {1912, 7, 30, "\x91\xe5\x90\xb3"},   // 大正
    {1926, 12, 25, "\x8f\xba\x98\x61"},  // 昭和
    {1989, 1, 8, "\x95\xbd\x90\xac"},    // 平成
    {2019, 5, 1, "\x97\xdf\x98\x61"},    // 令和
};

const EraStart* FindJapaneseEra(int year, int month, int day) {
    const long key = year * 10000L + month * 100L + day;
    const EraStart* found = nullptr;
    for (const EraStart& e : kJapaneseEras) {
        if (key >= e.year * 10000L + e.month * 100L + e.day) found = &e;
    }
    return found;
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The pictures of the alternative-calendar call behind E and G.
enum class AltPicture { YY, YYYY, GG };

class Formatter {
public:
    Formatter(const DateLocaleTables& locale, TDateTime value) : loc_(locale), value_(value) {}

    void FormatLevel(std::string_view pattern);
    std::string Result() const { return std::string(buf_, count_); }

private:
    bool Lead(char c) const { return loc_.leadBytes.test(static_cast<unsigned char>(c)); }

    void Append(const char* p, std::size_t n) {
        const std::size_t room = kBufferSize - count_;
        if (n > room) n = room;
        std::memcpy(buf_ + count_, p, n);
        count_ += n;
    }
    void Append(char c) {
        if (count_ < kBufferSize) buf_[count_++] = c;
    }
    void Append(const std::string& s) { Append(s.data(), s.size()); }

    // Writes value with leading zeros up to digits into the 16-byte work area; returns
    // the length, the text ends at work + 16.
    static std::size_t Digits(unsigned value, int digits, char (&work)[16]) {
        std::size_t len = 0;
        do {
            work[15 - len++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (len < static_cast<std::size_t>(digits) && len < sizeof work) work[15 - len++] = '0';
        return len;
    }
    void AppendNumber(unsigned value, int digits) {
        char work[16];
        const std::size_t len = Digits(value, digits, work);
        Append(work + 16 - len, len);
    }

    bool AltCalendarText(const DateParts& d, AltPicture picture, const char*& text,
                         std::size_t& len, char (&work)[16]) const;
    void AppendEraYear(const DateParts& d, int run);
    void AppendEraName(const DateParts& d, int run);
    bool StartsWith(std::string_view p, std::size_t i, const char* upperLiteral) const;
    bool TwelveHourAhead(std::string_view p, std::size_t i) const;

    const DateLocaleTables& loc_;
    const TDateTime value_;
    char buf_[kBufferSize];
    std::size_t count_ = 0;
    int level_ = 0;
};

// Case-insensitive for a to z, exact for every other byte.
bool Formatter::StartsWith(std::string_view p, std::size_t i, const char* upperLiteral) const {
    for (std::size_t k = 0; upperLiteral[k] != '\0'; ++k) {
        if (i + k >= p.size() || Upper(p[i + k]) != upperLiteral[k]) return false;
    }
    return true;
}

// Decides before an hour is printed whether an AM/PM marker follows it.
bool Formatter::TwelveHourAhead(std::string_view p, std::size_t i) const {
    const std::size_t n = p.size();
    bool inQuotes = false;
    while (i < n && p[i] != '\0') {
        const char c = p[i];
        if (Lead(c)) {
            if (i + 1 >= n || p[i + 1] == '\0') return false;
            i += 2;
            continue;
        }
        if (c == '\'' || c == '"') {
            inQuotes = !inQuotes;
        } else if (c == 'h' || c == 'H') {
            return false;
        } else if ((c == 'a' || c == 'A') && !inQuotes) {
            return StartsWith(p, i, "AM/PM") || StartsWith(p, i, "A/P") ||
                   StartsWith(p, i, "AMPM");
        }
        ++i;
    }
    return false;
}

// The equivalent of the platform's alternative-calendar date formatting. False when the
// calendar cannot give the date (then nothing is printed).
bool Formatter::AltCalendarText(const DateParts& d, AltPicture picture, const char*& text,
                                std::size_t& len, char (&work)[16]) const {
    if (d.month == 0) return false;
    if (loc_.eras == EraCalendar::Japanese) {
        const EraStart* era = FindJapaneseEra(d.year, d.month, d.day);
        if (era == nullptr) return false;
        const unsigned eraYear = static_cast<unsigned>(d.year - era->year + 1);
        switch (picture) {
            case AltPicture::YY:
                len = Digits(eraYear, 2, work);
                text = work + 16 - len;
                return true;
            case AltPicture::YYYY:
                len = Digits(eraYear, 1, work);
                text = work + 16 - len;
                return true;
            case AltPicture::GG:
                text = era->name;
                len = std::strlen(era->name);
                return true;
        }
        return false;
    }
    switch (picture) {
        case AltPicture::YY:
            len = Digits(d.year % 100u, 2, work);
            text = work + 16 - len;
            return true;
        case AltPicture::YYYY:
            len = Digits(d.year, 4, work);
            text = work + 16 - len;
            return true;
        case AltPicture::GG:
            text = "";
            len = 0;
            return true;
    }
    return false;
}

void Formatter::AppendEraYear(const DateParts& d, int run) {
    char work[16];
    const char* text = nullptr;
    std::size_t len = 0;
    if (!AltCalendarText(d, run <= 2 ? AltPicture::YY : AltPicture::YYYY, text, len, work)) return;
    if (run == 1 && len > 0 && text[0] == '0') {
        ++text;
        --len;
    }
    Append(text, len);
}

void Formatter::AppendEraName(const DateParts& d, int run) {
    char work[16];
    const char* text = nullptr;
    std::size_t len = 0;
    if (!AltCalendarText(d, AltPicture::GG, text, len, work)) return;
    if (run == 1) {
        // Byte offsets of the characters, counted with the lead-byte set.
        std::size_t starts[5] = {};
        std::size_t chars = 0;
        for (std::size_t k = 0; k < len;) {
            if (chars < 5) starts[chars] = k;
            ++chars;
            k += (Lead(text[k]) && k + 1 < len) ? 2 : 1;
        }
        if (loc_.primaryLanguage == 17) {
            if (chars > 1) len = starts[1];
        } else if (loc_.primaryLanguage == 4 && loc_.subLanguage == 1 && chars == 4) {
            text += starts[2];
            len -= starts[2];
        }
    }
    Append(text, len);
}

void Formatter::FormatLevel(std::string_view p) {
    if (p.empty() || p[0] == '\0' || level_ >= kMaxLevels) return;
    ++level_;
    const std::size_t n = p.size();
    // The pattern ends at its first NUL as well as at its end.
    const auto at = [&](std::size_t i) -> char { return i < n ? p[i] : '\0'; };

    char previous = ' ';
    bool dateDecoded = false, timeDecoded = false, twelveHour = false;
    DateParts date;
    TimeParts time;
    const auto needDate = [&] {
        if (!dateDecoded) {
            date = DecodeDateValue(value_);
            dateDecoded = true;
        }
    };
    const auto needTime = [&] {
        if (!timeDecoded) {
            time = DecodeTimeValue(value_);
            timeDecoded = true;
        }
    };

    std::size_t i = 0;
    while (at(i) != '\0') {
        const std::size_t start = i;
        const char starter = p[i++];
        if (Lead(starter)) {
            if (at(i) == '\0') break;
            // A double-byte character is never a specifier; it prints as written.
            Append(p.data() + start, 2);
            ++i;
            previous = ' ';
            continue;
        }
        char token = Upper(starter);
        if (token >= 'A' && token <= 'Z') {
            if (token == 'M' && previous == 'H') token = 'N';
            previous = token;
        }
        const auto takeRun = [&] {
            int run = 1;
            while (at(i) == starter) {
                ++i;
                ++run;
            }
            return run;
        };

        switch (token) {
            case 'Y': {
                const int run = takeRun();
                needDate();
                if (run <= 2) {
                    AppendNumber(date.year % 100u, 2);
                } else {
                    AppendNumber(date.year, 4);
                }
                break;
            }
            case 'M': {
                const int run = takeRun();
                needDate();
                if (run <= 2) {
                    AppendNumber(date.month, run);
                } else if (run == 3) {
                    Append(loc_.shortMonthNames[date.month]);
                } else {
                    Append(loc_.longMonthNames[date.month]);
                }
                break;
            }
            case 'N': {
                const int run = takeRun();
                needTime();
                AppendNumber(time.minute, run < 2 ? run : 2);
                break;
            }
            case 'D': {
                const int run = takeRun();
                switch (run) {
                    case 1:
                    case 2:
                        needDate();
                        AppendNumber(date.day, run);
                        break;
                    case 3:
                        Append(loc_.shortDayNames[WeekdayOf(value_)]);
                        break;
                    case 4:
                        Append(loc_.longDayNames[WeekdayOf(value_)]);
                        break;
                    case 5:
                        FormatLevel(loc_.shortDateFormat);
                        break;
                    default:
                        FormatLevel(loc_.longDateFormat);
                        break;
                }
                break;
            }
            case 'H': {
                const int run = takeRun();
                needTime();
                if (!twelveHour && TwelveHourAhead(p, i)) twelveHour = true;
                unsigned hour = time.hour;
                if (twelveHour) {
                    if (hour == 0) {
                        hour = 12;
                    } else if (hour > 12) {
                        hour -= 12;
                    }
                }
                AppendNumber(hour, run < 2 ? run : 2);
                break;
            }
            case 'S': {
                const int run = takeRun();
                needTime();
                AppendNumber(time.second, run < 2 ? run : 2);
                break;
            }
            case 'Z': {
                const int run = takeRun();
                needTime();
                AppendNumber(time.msec, run < 3 ? run : 3);
                break;
            }
            case 'T':
                FormatLevel(takeRun() == 1 ? loc_.shortTimeFormat : loc_.longTimeFormat);
                break;
            case 'C':
                takeRun();
                // Inside a locale pattern the whole specifier prints nothing, its blank
                // included.
                if (level_ >= kMaxLevels) break;
                FormatLevel(loc_.shortDateFormat);
                needTime();
                if (time.hour != 0 || time.minute != 0 || time.second != 0) {
                    Append(' ');
                    FormatLevel(loc_.longTimeFormat);
                }
                break;
            case 'E': {
                const int run = takeRun();
                needDate();
                AppendEraYear(date, run);
                break;
            }
            case 'G': {
                const int run = takeRun();
                needDate();
                AppendEraName(date, run);
                break;
            }
            case 'A':
                if (StartsWith(p, start, "AM/PM")) {
                    needTime();
                    Append(p.data() + start + (time.hour < 12 ? 0 : 3), 2);
                    i = start + 5;
                    twelveHour = true;
                } else if (StartsWith(p, start, "A/P")) {
                    needTime();
                    Append(p[start + (time.hour < 12 ? 0 : 2)]);
                    i = start + 3;
                    twelveHour = true;
                } else if (StartsWith(p, start, "AMPM")) {
                    needTime();
                    Append(time.hour < 12 ? loc_.timeAMString : loc_.timePMString);
                    i = start + 4;
                    twelveHour = true;
                } else if (StartsWith(p, start, "AAAA")) {
                    Append(loc_.longDayNames[WeekdayOf(value_)]);
                    i = start + 4;
                } else if (StartsWith(p, start, "AAA")) {
                    Append(loc_.shortDayNames[WeekdayOf(value_)]);
                    i = start + 3;
                } else {
                    Append(starter);
                }
                break;
            case '/':
                Append(loc_.dateSeparator);
                break;
            case ':':
                Append(loc_.timeSeparator);
                break;
            case '\'':
            case '"': {
                // No escape: the text runs to the next equal quote; a lead byte takes its
                // second byte along, so that byte never closes the text.
                std::size_t j = i;
                while (at(j) != '\0' && at(j) != starter) {
                    j += (Lead(p[j]) && at(j + 1) != '\0') ? 2 : 1;
                }
                Append(p.data() + i, j - i);
                i = at(j) == starter ? j + 1 : j;
                break;
            }
            default:
                Append(starter);
                break;
        }
    }
    --level_;
}

}  // namespace

bool JapaneseEraOf(int year, int month, int day, EraDate& out) {
    const EraStart* era = FindJapaneseEra(year, month, day);
    if (era == nullptr) return false;
    out.name = era->name;
    out.year = year - era->year + 1;
    return true;
}

std::string FormatDatePattern(std::string_view pattern, TDateTime value,
                              const DateLocaleTables& locale) {
    Formatter f(locale, value);
    f.FormatLevel(pattern.empty() ? std::string_view("C") : pattern);
    return f.Result();
}

std::string FormatDatePattern(std::string_view pattern, TDateTime value) {
    return FormatDatePattern(pattern, value, DateLocale());
}

}  // namespace kuv
