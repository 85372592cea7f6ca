// The integer and Boolean value rules of the settings file, against a second
// reading of the same rules written independently here, and the round trip
// of every 32-bit value through the written form.
//
// Input: the value text; its first 4 bytes also give a 32-bit number.
#include <cstring>
#include <optional>
#include <string>

#include "app/profile.h"
#include "harness.h"

using kuv::fuzz::Check;
using kuv::fuzz::Hex;

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The rules step by step: "0x" of a longer text becomes "$"; leading spaces
// go; then a sign and decimal digits, a hexadecimal prefix and hexadecimal
// digits, or decimal digits alone, running to the end; decimal in the 32-bit
// range, hexadecimal of at most 8 significant digits as a 32-bit pattern.
std::optional<std::int32_t> Reference(std::string t) {
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = "$" + t.substr(2);
    std::size_t i = t.find_first_not_of(' ');
    if (i == std::string::npos) return std::nullopt;
    std::string s = t.substr(i);
    std::string digits;
    bool hex = false;
    bool negative = false;
    if (s[0] == '-' || s[0] == '+') {
        negative = s[0] == '-';
        digits = s.substr(1);
    } else if (s[0] == '$' || s[0] == 'x' || s[0] == 'X') {
        hex = true;
        digits = s.substr(1);
    } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        hex = true;
        digits = s.substr(2);
    } else {
        digits = s;
    }
    if (digits.empty()) return std::nullopt;
    if (hex) {
        const std::size_t first = digits.find_first_not_of('0');
        for (char c : digits) {
            if (HexDigit(c) < 0) return std::nullopt;
        }
        if (first != std::string::npos && digits.size() - first > 8) return std::nullopt;
        std::uint32_t v = 0;
        for (char c : digits) v = (v << 4) | static_cast<std::uint32_t>(HexDigit(c));
        return static_cast<std::int32_t>(v);
    }
    long long v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
        if (v > 2147483648LL) return std::nullopt;
    }
    if (negative) v = -v;
    if (v < -2147483648LL || v > 2147483647LL) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::int32_t got = 12345;
    const bool ok = kuv::ParseProfileInt(text, got);
    const std::optional<std::int32_t> want = Reference(text);
    Check(ok == want.has_value(),
          ok ? "accepted a text the rules refuse" : "refused a text the rules accept", Hex(text));
    if (ok) Check(got == *want, "read a different value than the rules give", Hex(text));

    if (size >= 4) {
        std::int32_t v;
        std::memcpy(&v, data, sizeof v);
        const std::string written = kuv::FormatProfileInt(v);
        std::int32_t back = 0;
        Check(kuv::ParseProfileInt(written, back) && back == v,
              "a written integer reads back as the same value", written);
        Check(written == std::to_string(v), "integers are written in plain signed decimal",
              written);
    }
    return 0;
}
