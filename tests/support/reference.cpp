#include "tests/support/reference.h"

#include <stdexcept>

#include "platform/cp932.h"
#include "platform/errors.h"

namespace kuv::test {

TDateTime Day(int year, int month, int day) {
    return EncodeDateValue(static_cast<std::uint16_t>(year), static_cast<std::uint16_t>(month),
                           static_cast<std::uint16_t>(day));
}

std::time_t LocalTime(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::string Cp932(std::string_view utf8) {
    auto bytes = cp932::FromUtf8(utf8);
    if (!bytes) throw std::runtime_error("not code page 932");
    return *bytes;
}

std::string HandHeader(std::string_view key, std::uint32_t dosDate) {
    std::string h = {'\x17', '\0', 'L', 'O', 'C', 'K', 'E', 'D'};
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<char>((dosDate >> (8 * i)) & 0xFF));
    for (std::size_t i = 0; i < 32; ++i) {
        h.push_back(i < key.size() ? static_cast<char>(key[i] ^ '\xA6') : '\0');
    }
    return h;
}

std::string HandBody(std::string_view plain, std::string_view key) {
    std::string b(plain);
    for (std::size_t k = 0; k < b.size(); ++k) b[k] ^= key[(k % 1024) % key.size()];
    return b;
}

std::string HandContainer(std::string_view plain, std::string_view key, std::uint32_t dosDate) {
    return HandHeader(key, dosDate) + HandBody(plain, key);
}

CryptResult ReferenceDecode(std::string_view file, std::string_view key, std::string& plain) {
    plain.clear();
    if (key.empty() || file.size() < 35) return CryptResult::Failed;
    std::string header(file.substr(0, 44));
    header.resize(44, '\0');
    if (header.compare(0, 8, std::string("\x17\0LOCKED", 8)) != 0) {
        return CryptResult::NoMatchingHeader;
    }
    std::string stored;
    for (std::size_t i = 12; i < 44 && header[i] != '\0'; ++i) {
        stored += static_cast<char>(static_cast<unsigned char>(header[i]) ^ 0xA6);
    }
    if (stored != key) return CryptResult::NoMatchingHeader;
    if (file.size() > 44) plain = HandBody(file.substr(44), key);
    return CryptResult::Decoded;
}

std::string SettingsFieldsNeither(const TDiarySettings& got, const TDiarySettings& a,
                                  const TDiarySettings& b) {
    std::string bad;
#define KUV_FIELD(f) \
    if (!(got.f == a.f) && !(got.f == b.f)) bad += #f " ";
    KUV_FIELD(Password)
    KUV_FIELD(UseEncryption)
    KUV_FIELD(DataPath)
    KUV_FIELD(DateFormat)
    KUV_FIELD(AutoInsertDate)
    KUV_FIELD(FontName)
    KUV_FIELD(FontSize)
    KUV_FIELD(FontColor)
    KUV_FIELD(ShowOldDiary)
    KUV_FIELD(OldDiaryHeight)
    KUV_FIELD(SaveWindow)
    KUV_FIELD(WindowTop)
    KUV_FIELD(WindowLeft)
    KUV_FIELD(WindowHeight)
    KUV_FIELD(WindowWidth)
#undef KUV_FIELD
    return bad;
}

std::string CannotCreate(const std::string& path) {
    return FormatMessage(Cp932("ファイル %s を作成できません"), path);
}
std::string CannotOpen(const std::string& path) {
    return FormatMessage(Cp932("ファイル %s は開けません"), path);
}
std::string CannotWrite(const std::string& settingsPath) {
    return FormatMessage(Cp932("%s に書き込めません"), settingsPath);
}
std::string SettingsKept(const std::string& settingsPath, std::string_view causeUtf8) {
    return Cp932("設定ファイル ") + settingsPath + Cp932(" を読み込めません（") + Cp932(causeUtf8) +
           Cp932("）。\n設定は保存していません。ファイルはそのまま残してあります。");
}

bool SettingsNotStored(const std::string& settingsPath, const std::string& message) {
    const auto startsWith = [&](const std::string& s) { return message.rfind(s, 0) == 0; };
    const auto endsWith = [&](const std::string& s) {
        return message.size() >= s.size() &&
               message.compare(message.size() - s.size(), s.size(), s) == 0;
    };
    const std::string refused = CannotWrite(settingsPath) + Cp932("（");
    const std::string kept = Cp932("設定ファイル ") + settingsPath + Cp932(" を読み込めません（");
    return (startsWith(refused) && endsWith(Cp932("）")) && message.size() > refused.size() + 2) ||
           (startsWith(kept) && endsWith(SettingsKept(settingsPath, "").substr(kept.size())));
}

std::string TooLarge() {
    return Cp932("文字列の大きさが メモ の制限を越えました");
}

}  // namespace kuv::test

namespace kuv {

void PrintTo(CryptResult result, std::ostream* os) {
    switch (result) {
        case CryptResult::Decoded:
            *os << "Decoded";
            return;
        case CryptResult::NoMatchingHeader:
            *os << "NoMatchingHeader";
            return;
        case CryptResult::Failed:
            *os << "Failed";
            return;
    }
    *os << "CryptResult(" << static_cast<int>(result) << ")";
}

}  // namespace kuv
