// The loading of an entry: the pane's text rules on any bytes, and LoadPane
// on any plain or locked entry file under any password.
//
// Input: byte 0 = flags (1 the file is the locked .xda, 2 a .dia stands
// beside it, 4 wrap the bytes in a valid container under the password first),
// then the password, a 0x1F byte and the file's bytes.
#include <cstring>
#include <string>

#include "crypt/cryptogram.h"
#include "diary/diary_book.h"
#include "harness.h"
#include "platform/errors.h"

using kuv::fuzz::Check;
using kuv::fuzz::Hex;
using kuv::fuzz::ReadRaw;
using kuv::fuzz::WriteRaw;

namespace {

// The text rules written out once more: the first zero byte ends the text,
// every CR LF, lone CR and lone LF becomes CR LF.
std::string Reference(std::string_view b) {
    b = b.substr(0, b.find('\0'));
    std::string out;
    for (std::size_t i = 0; i < b.size(); ++i) {
        if (b[i] == '\r' || b[i] == '\n') {
            if (b[i] == '\r' && i + 1 < b.size() && b[i + 1] == '\n') ++i;
            out += "\r\n";
        } else {
            out += b[i];
        }
    }
    return out;
}

void CheckTextRules(std::string_view bytes) {
    const std::string t = kuv::PaneTextFromFile(bytes);
    Check(t == Reference(bytes), "the pane's text follows the text rules", Hex(bytes));
    Check(t.find('\0') == std::string::npos, "a pane's text holds no zero byte");
    Check(kuv::PaneTextFromFile(t) == t, "the text rules are idempotent");
}

std::string Container(std::string_view plain, const std::string& key) {
    unsigned char header[kuv::kCryptHeaderSize];
    kuv::MakeCryptHeader(header, key, 0x52310000u);
    return std::string(reinterpret_cast<const char*>(header), sizeof header) +
           kuv::fuzz::LayoutXor(plain, key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t flags = data[0];
    const auto f = kuv::fuzz::SplitFields(data + 1, size - 1, 2);
    const std::string password(f[0]);
    std::string bytes(f[1]);
    CheckTextRules(bytes);

    const bool locked = flags & 1;
    const bool both = flags & 2;
    if (locked && (flags & 4) && !password.empty()) bytes = Container(bytes, password);

    kuv::fuzz::ClearScratch();
    const std::string& dir = kuv::fuzz::ScratchDir();
    const std::string dia = dir + "/0117.dia";
    const std::string xda = dir + "/0117.xda";
    const std::string plainBeside = "plain beside";
    WriteRaw(locked ? xda : dia, bytes);
    if (locked && both) WriteRaw(dia, plainBeside);
    const auto namesBefore = kuv::fuzz::ScratchNames();

    kuv::PaneContent pane;
    try {
        pane = kuv::LoadPane(dir, "0117", password);
    } catch (const kuv::AppError& e) {
        kuv::fuzz::Fail("a small entry file loads without an error", e.what());
    }

    if (!locked || both) {
        Check(pane.source == kuv::PaneSource::Plain, "a plain entry is loaded as plain");
        Check(pane.text == kuv::PaneTextFromFile(locked ? plainBeside : bytes),
              "a plain entry shows its bytes by the text rules");
    } else {
        std::string decoded;
        const kuv::CryptResult r =
            kuv::CryptDecodeToMemory(xda, password, decoded, kuv::kMaxPaneBytes);
        if (r == kuv::CryptResult::Decoded) {
            Check(pane.source == kuv::PaneSource::Locked, "an entry that opens is shown decoded");
            Check(pane.text == kuv::PaneTextFromFile(decoded), "the decoded text by the rules");
        } else {
            const bool marker = kuv::HasCryptMarker(
                reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
            Check(pane.source == (marker ? kuv::PaneSource::Sealed : kuv::PaneSource::Raw),
                  "an entry that does not open is sealed or raw", Hex(bytes));
            Check(pane.text == kuv::PaneTextFromFile(bytes), "it shows its stored bytes");
        }
    }

    std::string now;
    Check(ReadRaw(locked ? xda : dia, now) && now == bytes, "loading leaves the entry as it was");
    Check(kuv::fuzz::ScratchNames() == namesBefore, "loading creates and removes nothing");
    return 0;
}
