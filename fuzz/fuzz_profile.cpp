// The private-profile reader and writer on any file contents and names.
//
// Input: byte 0 = flags, then section, key, value, probe ("SECTION=KEY") and
// the file's contents, separated by 0x1F bytes (the contents take the rest).
// Properties: no crash; a written entry reads back as written; the write
// changes no other entry; the file calls agree with the pure forms.
#include <string>

#include "app/profile.h"
#include "harness.h"

using kuv::fuzz::Check;
using kuv::fuzz::Hex;

namespace {

constexpr std::size_t kBufSizes[] = {2048, 0, 1, 2, 17, 2048, 4096, 2048};

// Equal under a fold of every ASCII letter, trail bytes included: wider than
// the reader's own comparison, so a pair it calls different really is.
bool LooselyEqual(std::string_view a, std::string_view b) {
    const auto trim = [](std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
        return s;
    };
    a = trim(a);
    b = trim(b);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

std::string Cut(std::string_view v, std::size_t bufSize) {
    const std::size_t zero = v.find('\0');
    if (zero != std::string_view::npos) v = v.substr(0, zero);
    const std::size_t max = bufSize == 0 ? 0 : bufSize - 1;
    return std::string(v.substr(0, max));
}

struct Found {
    bool found = false;
    std::string value;
    bool operator==(const Found&) const = default;
};

Found Lookup(std::string_view contents, std::string_view section, std::string_view key) {
    Found f;
    f.found = kuv::ProfileLookup(contents, section, key, f.value);
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t flags = data[0];
    const auto f = kuv::fuzz::SplitFields(data + 1, size - 1, 5);
    const std::string_view section = f[0], key = f[1], value = f[2], probe = f[3];
    const std::string_view contents = f[4];
    const std::size_t eq = probe.find('=');
    const std::string_view probeSection = probe.substr(0, eq);
    const std::string_view probeKey = eq == std::string_view::npos ? "" : probe.substr(eq + 1);

    const Found before = Lookup(contents, section, key);
    if (before.found) {
        Check(before.value.find_first_of("\r\n") == std::string::npos,
              "a value read holds no line break", Hex(before.value));
    }

    const bool writable = kuv::ProfileEntryWritable(section, key, value);
    if (writable) {
        const std::string updated = kuv::ProfileUpdate(contents, section, key, value);
        const Found after = Lookup(updated, section, key);
        Check(after.found && after.value == value, "a written entry reads back as written",
              "value " + Hex(value) + " section " + Hex(section) + " key " + Hex(key));
        if (!(LooselyEqual(section, probeSection) && LooselyEqual(key, probeKey))) {
            Check(
                Lookup(contents, probeSection, probeKey) == Lookup(updated, probeSection, probeKey),
                "a write leaves every other entry as it was",
                "probe " + Hex(probe) + " section " + Hex(section) + " key " + Hex(key));
        }
        // Writing the same value again changes nothing.
        Check(kuv::ProfileUpdate(updated, section, key, value) == updated,
              "a repeated write is a no-op");
    }

    if (flags & 1) {
        // The file forms: the same answers as the pure ones.
        kuv::fuzz::ClearScratch();
        const std::string path = kuv::fuzz::ScratchDir() + "/diary.ini";
        kuv::fuzz::WriteRaw(path, contents);
        const std::size_t bufSize = kBufSizes[(flags >> 1) & 7];
        const std::string got = kuv::GetPrivateProfileString(section, key, "DEF", bufSize, path);
        Check(got == Cut(before.found ? std::string_view(before.value) : "DEF", bufSize),
              "the file read agrees with the lookup");
        if (flags & 16) {
            const bool ok = kuv::WritePrivateProfileString(section, key, value, path);
            std::string now;
            Check(kuv::fuzz::ReadRaw(path, now), "the file is still there");
            if (!writable) {
                Check(!ok && now == contents, "a refused write leaves the file as it was");
            } else {
                Check(ok, "a write of a valid entry succeeds");
                Check(
                    kuv::GetPrivateProfileString(section, key, "", 4096, path) == Cut(value, 4096),
                    "the written value reads back from the file");
            }
            Check(kuv::fuzz::ScratchNames() == std::vector<std::string>{"diary.ini"},
                  "no work file stays behind");
        }
    }
    return 0;
}
