#include "dates/date_pattern.h"

#include <array>
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

// What the scanner sees in a byte: a letter as its upper-case token, the separators and
// quotes as themselves, kHigh for a byte that may be a lead byte, kPlain for a byte that
// only prints itself, kEnd for the NUL that ends a pattern.
constexpr char kEnd = 0;
constexpr char kPlain = 1;
constexpr char kHigh = 2;
constexpr std::array<char, 256> MakeByteKinds() {
    std::array<char, 256> k{};
    for (int b = 0; b < 256; ++b) {
        if (b >= 'a' && b <= 'z') {
            k[b] = static_cast<char>(b - 'a' + 'A');
        } else if ((b >= 'A' && b <= 'Z') || b == '/' || b == ':' || b == '\'' || b == '"') {
            k[b] = static_cast<char>(b);
        } else {
            k[b] = b == 0 ? kEnd : b >= 0x80 ? kHigh : kPlain;
        }
    }
    return k;
}
constexpr std::array<char, 256> kByteKind = MakeByteKinds();

// "00" to "99", for the common two- and four-digit numbers.
constexpr std::array<char, 200> MakeDigitPairs() {
    std::array<char, 200> d{};
    for (int v = 0; v < 100; ++v) {
        d[2 * v] = static_cast<char>('0' + v / 10);
        d[2 * v + 1] = static_cast<char>('0' + v % 10);
    }
    return d;
}
constexpr std::array<char, 200> kDigitPairs = MakeDigitPairs();

// The pictures of the alternative-calendar call behind E and G.
enum class AltPicture { YY, YYYY, GG };

// Writes value with leading zeros up to digits into the 16-byte work area; returns the
// length, the text ends at work + 16.
std::size_t Digits(unsigned value, int digits, char (&work)[16]) {
    std::size_t len = 0;
    do {
        work[15 - len++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (len < static_cast<std::size_t>(digits) && len < sizeof work) work[15 - len++] = '0';
    return len;
}

// The write position in the output buffer. Each level keeps its own copy in a local, so
// that the byte stores into the buffer do not force the position back to memory.
struct Sink {
    char* buf;
    std::size_t count;

    void Put(const char* p, std::size_t n) {
        const std::size_t room = kBufferSize - count;
        if (n > room) n = room;
        char* out = buf + count;
        count += n;
        // Most pieces are a few bytes long, where single moves beat a call of memcpy.
        switch (n) {
            case 4:
                out[3] = p[3];
                [[fallthrough]];
            case 3:
                out[2] = p[2];
                [[fallthrough]];
            case 2:
                out[1] = p[1];
                [[fallthrough]];
            case 1:
                out[0] = p[0];
                [[fallthrough]];
            case 0:
                break;
            default:
                std::memcpy(out, p, n);
                break;
        }
    }
    void Put(char c) {
        if (count < kBufferSize) buf[count++] = c;
    }
    void Put(const std::string& s) { Put(s.data(), s.size()); }

    void PutNumber(unsigned value, int digits) {
        if (value < 100 && digits <= 2) {
            if (value < 10 && digits < 2) {
                Put(static_cast<char>('0' + value));
            } else {
                Put(kDigitPairs.data() + 2 * value, 2);
            }
            return;
        }
        if (value < 10000 && digits == 4) {
            const char four[4] = {
                kDigitPairs[2 * (value / 100)], kDigitPairs[2 * (value / 100) + 1],
                kDigitPairs[2 * (value % 100)], kDigitPairs[2 * (value % 100) + 1]};
            Put(four, 4);
            return;
        }
        char work[16];
        const std::size_t len = Digits(value, digits, work);
        Put(work + 16 - len, len);
    }
};

class Formatter {
  public:
    Formatter(const DateLocaleTables& locale, TDateTime value) : loc_(locale), value_(value) {}

    void FormatLevel(std::string_view pattern);
    std::string Result() const { return std::string(buf_, count_); }

  private:
    // Lead bytes are never ASCII bytes, so the set is only consulted above 0x7F.
    bool Lead(char c) const {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0x80 && loc_.leadBytes[b];
    }

    // The value is split once per call; every level decodes from that split.
    const DaySplit& Split() {
        if (!split_) {
            splitValue_ = SplitDateTime(value_);
            split_ = true;
        }
        return splitValue_;
    }
    int Weekday() { return WeekdayOfDayNumber(Split().day); }

    bool AltCalendarText(const DateParts& d, AltPicture picture, const char*& text,
                         std::size_t& len, char (&work)[16]) const;
    bool EraYearText(const DateParts& d, int run, const char*& text, std::size_t& len,
                     char (&work)[16]) const;
    bool EraNameText(const DateParts& d, int run, const char*& text, std::size_t& len,
                     char (&work)[16]) const;
    bool StartsWith(std::string_view p, std::size_t i, const char* upperLiteral) const;
    bool TwelveHourAhead(std::string_view p, std::size_t i) const;

    const DateLocaleTables& loc_;
    const TDateTime value_;
    DaySplit splitValue_;
    bool split_ = false;
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
            return StartsWith(p, i, "AM/PM") || StartsWith(p, i, "A/P") || StartsWith(p, i, "AMPM");
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

bool Formatter::EraYearText(const DateParts& d, int run, const char*& text, std::size_t& len,
                            char (&work)[16]) const {
    if (!AltCalendarText(d, run <= 2 ? AltPicture::YY : AltPicture::YYYY, text, len, work)) {
        return false;
    }
    if (run == 1 && len > 0 && text[0] == '0') {
        ++text;
        --len;
    }
    return true;
}

bool Formatter::EraNameText(const DateParts& d, int run, const char*& text, std::size_t& len,
                            char (&work)[16]) const {
    if (!AltCalendarText(d, AltPicture::GG, text, len, work)) return false;
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
    return true;
}

void Formatter::FormatLevel(std::string_view p) {
    if (level_ >= kMaxLevels) return;
    // The pattern ends at its first NUL as well as at its end.
    if (p.empty() || p[0] == '\0') return;
    ++level_;
    const std::size_t n = p.size();
    Sink out{buf_, count_};
    // A locale pattern one level deeper writes through the members.
    const auto nested = [&](const std::string& pattern) {
        count_ = out.count;
        FormatLevel(pattern);
        out.count = count_;
    };
    const auto at = [&](std::size_t i) -> char { return i < n ? p[i] : '\0'; };

    char previous = ' ';
    bool dateDecoded = false, timeDecoded = false, twelveHour = false;
    DateParts date;
    TimeParts time;
    const auto needDate = [&] {
        if (!dateDecoded) {
            DecodeDayNumber(Split().day, date);
            dateDecoded = true;
        }
    };
    const auto needTime = [&] {
        if (!timeDecoded) {
            time = DecodeMillisecondOfDay(Split().msec);
            timeDecoded = true;
        }
    };

    std::size_t i = 0;
    while (i < n) {
        const std::size_t start = i;
        const char starter = p[i++];
        const char kind = kByteKind[static_cast<unsigned char>(starter)];
        if (kind == kEnd) break;
        if (kind == kPlain) {
            out.Put(starter);
            continue;
        }
        if (kind == kHigh && Lead(starter)) {
            if (i >= n || p[i] == '\0') break;
            // A double-byte character is never a specifier; it prints as written.
            out.Put(p.data() + start, 2);
            ++i;
            previous = ' ';
            continue;
        }
        char token = kind;
        if (token >= 'A' && token <= 'Z') {
            if (token == 'M' && previous == 'H') token = 'N';
            previous = token;
        }
        const auto takeRun = [&] {
            int run = 1;
            while (i < n && p[i] == starter) {
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
                    out.PutNumber(date.year % 100u, 2);
                } else {
                    out.PutNumber(date.year, 4);
                }
                break;
            }
            case 'M': {
                const int run = takeRun();
                needDate();
                if (run <= 2) {
                    out.PutNumber(date.month, run);
                } else if (run == 3) {
                    out.Put(loc_.shortMonthNames[date.month]);
                } else {
                    out.Put(loc_.longMonthNames[date.month]);
                }
                break;
            }
            case 'N': {
                const int run = takeRun();
                needTime();
                out.PutNumber(time.minute, run < 2 ? run : 2);
                break;
            }
            case 'D': {
                const int run = takeRun();
                switch (run) {
                    case 1:
                    case 2:
                        needDate();
                        out.PutNumber(date.day, run);
                        break;
                    case 3:
                        out.Put(loc_.shortDayNames[Weekday()]);
                        break;
                    case 4:
                        out.Put(loc_.longDayNames[Weekday()]);
                        break;
                    case 5:
                        nested(loc_.shortDateFormat);
                        break;
                    default:
                        nested(loc_.longDateFormat);
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
                out.PutNumber(hour, run < 2 ? run : 2);
                break;
            }
            case 'S': {
                const int run = takeRun();
                needTime();
                out.PutNumber(time.second, run < 2 ? run : 2);
                break;
            }
            case 'Z': {
                const int run = takeRun();
                needTime();
                out.PutNumber(time.msec, run < 3 ? run : 3);
                break;
            }
            case 'T':
                nested(takeRun() == 1 ? loc_.shortTimeFormat : loc_.longTimeFormat);
                break;
            case 'C':
                takeRun();
                // Inside a locale pattern the whole specifier prints nothing, its blank
                // included.
                if (level_ >= kMaxLevels) break;
                nested(loc_.shortDateFormat);
                needTime();
                if (time.hour != 0 || time.minute != 0 || time.second != 0) {
                    out.Put(' ');
                    nested(loc_.longTimeFormat);
                }
                break;
            case 'E': {
                const int run = takeRun();
                needDate();
                char work[16];
                const char* text = nullptr;
                std::size_t len = 0;
                if (EraYearText(date, run, text, len, work)) out.Put(text, len);
                break;
            }
            case 'G': {
                const int run = takeRun();
                needDate();
                char work[16];
                const char* text = nullptr;
                std::size_t len = 0;
                if (EraNameText(date, run, text, len, work)) out.Put(text, len);
                break;
            }
            case 'A': {
                // The second byte tells which literal can match.
                const char second = Upper(at(start + 1));
                if (second == 'M' && StartsWith(p, start, "AM/PM")) {
                    needTime();
                    out.Put(p.data() + start + (time.hour < 12 ? 0 : 3), 2);
                    i = start + 5;
                    twelveHour = true;
                } else if (second == '/' && StartsWith(p, start, "A/P")) {
                    needTime();
                    out.Put(p[start + (time.hour < 12 ? 0 : 2)]);
                    i = start + 3;
                    twelveHour = true;
                } else if (second == 'M' && StartsWith(p, start, "AMPM")) {
                    needTime();
                    out.Put(time.hour < 12 ? loc_.timeAMString : loc_.timePMString);
                    i = start + 4;
                    twelveHour = true;
                } else if (second == 'A' && Upper(at(start + 2)) == 'A') {
                    // AAAA, else AAA.
                    if (Upper(at(start + 3)) == 'A') {
                        out.Put(loc_.longDayNames[Weekday()]);
                        i = start + 4;
                    } else {
                        out.Put(loc_.shortDayNames[Weekday()]);
                        i = start + 3;
                    }
                } else {
                    out.Put(starter);
                }
                break;
            }
            case '/':
                out.Put(loc_.dateSeparator);
                break;
            case ':':
                out.Put(loc_.timeSeparator);
                break;
            case '\'':
            case '"': {
                // No escape: the text runs to the next equal quote; a lead byte takes its
                // second byte along, so that byte never closes the text.
                std::size_t j = i;
                while (j < n && p[j] != starter && p[j] != '\0') {
                    j += (Lead(p[j]) && j + 1 < n && p[j + 1] != '\0') ? 2 : 1;
                }
                out.Put(p.data() + i, j - i);
                i = j < n && p[j] == starter ? j + 1 : j;
                break;
            }
            default:
                out.Put(starter);
                break;
        }
    }
    count_ = out.count;
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
