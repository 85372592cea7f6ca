// FormatDatePattern on any pattern bytes and any value, with the built-in
// fallback tables and the Japanese ones, and with locale date patterns taken
// from the input (through the calendar-type translation) so that the nested
// "c", "ddddd" and "t" levels see hostile text too.
//
// Input: byte 0 = flags, bytes 1-8 = the value (a double as stored in memory),
// byte 9 = calendar type, then the pattern; with flag 2 the pattern is split
// at its first 0x1F into a locale pattern and the pattern to format.
#include <cmath>
#include <cstring>
#include <string>

#include "dates/date_locale.h"
#include "dates/date_pattern.h"
#include "harness.h"

using kuv::DateLocaleTables;
using kuv::fuzz::Check;
using kuv::fuzz::Hex;
using kuv::fuzz::SplitFields;

namespace {

constexpr std::size_t kMaxResult = 256;

const DateLocaleTables& Fallback() {
    static const DateLocaleTables t = kuv::FallbackDateLocale();
    return t;
}
const DateLocaleTables& Japanese() {
    static const DateLocaleTables t = kuv::JapaneseDateLocale();
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 10) return 0;
    const std::uint8_t flags = data[0];
    double value;
    std::memcpy(&value, data + 1, sizeof value);
    const int calendarType = data[9] % 8;
    const std::uint8_t* rest = data + 10;
    const std::size_t restSize = size - 10;

    const DateLocaleTables& base = (flags & 1) ? Japanese() : Fallback();
    std::string pattern;
    std::string out;
    if (flags & 2) {
        const auto f = SplitFields(rest, restSize, 2);
        DateLocaleTables loc = base;
        const std::string localePattern(f[0]);
        loc.shortDateFormat = kuv::TranslateLocaleDatePattern(localePattern, calendarType,
                                                              loc.primaryLanguage, loc.leadBytes);
        loc.longDateFormat = localePattern;
        if (flags & 4) loc.shortTimeFormat = localePattern;
        if (flags & 8) loc.longTimeFormat = localePattern;
        pattern.assign(f[1]);
        out = kuv::FormatDatePattern(pattern, value, loc);
        Check(out == kuv::FormatDatePattern(pattern, value, loc), "same input, same result");
    } else {
        pattern.assign(reinterpret_cast<const char*>(rest), restSize);
        out = kuv::FormatDatePattern(pattern, value, base);
        Check(out == kuv::FormatDatePattern(pattern, value, base), "same input, same result");
    }
    Check(out.size() <= kMaxResult, "the result holds at most 256 bytes", Hex(pattern));

    // A pattern of one literal in double quotes prints that literal unchanged
    // (cut to the buffer) when it holds no quote and no lead byte.
    if (!(flags & 2) && !pattern.empty() &&
        pattern.find_first_of(std::string_view("\"\0", 2)) == std::string::npos) {
        bool plain = true;
        for (unsigned char c : pattern) plain = plain && !base.leadBytes.test(c);
        if (plain) {
            const std::string quoted = "\"" + pattern + "\"";
            const std::string lit = kuv::FormatDatePattern(quoted, value, base);
            Check(lit == pattern.substr(0, kMaxResult), "a quoted literal prints as written",
                  Hex(pattern));
        }
    }
    return 0;
}
