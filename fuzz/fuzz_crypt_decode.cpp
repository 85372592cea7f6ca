// CryptDecodeFile and CryptDecodeToMemory on any file and any key, checked
// against a decoding written here from the container's layout; with flag 4
// also the encode-then-decode round trip of the same bytes as a plain file.
//
// Input: byte 0 = flags (1 keepSource, 2 the file name has no extension,
// 4 round trip, 8 a ".crp"/".org" name is already taken), then the key, a
// 0x1F byte and the file's bytes.
#include <algorithm>
#include <string>
#include <vector>

#include "crypt/cryptogram.h"
#include "harness.h"

using kuv::CryptResult;
using kuv::fuzz::Check;
using kuv::fuzz::Hex;
using kuv::fuzz::ReadRaw;
using kuv::fuzz::ScratchDir;
using kuv::fuzz::ScratchNames;
using kuv::fuzz::WriteRaw;

namespace {

// What decoding must give, with the plain bytes when it decodes.
CryptResult ExpectedDecode(const std::string& file, const std::string& key, std::string& plain) {
    plain.clear();
    if (key.empty() || file.size() < 35) return CryptResult::Failed;
    std::string header = file.substr(0, 44);
    header.resize(44, '\0');
    static const char kMarker[8] = {23, 0, 'L', 'O', 'C', 'K', 'E', 'D'};
    if (header.compare(0, 8, std::string(kMarker, 8)) != 0) return CryptResult::NoMatchingHeader;
    std::string stored;
    for (std::size_t i = 12; i < 44 && header[i] != '\0'; ++i) {
        stored += static_cast<char>(static_cast<unsigned char>(header[i]) ^ 0xA6);
    }
    if (stored != key) return CryptResult::NoMatchingHeader;
    if (file.size() > 44) plain = kuv::fuzz::LayoutXor(file.substr(44), key);
    return CryptResult::Decoded;
}

bool Storable(const std::string& key) {
    return !key.empty() && key.size() <= 32 && key.find('\xa6') == std::string::npos;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t flags = data[0];
    const auto f = kuv::fuzz::SplitFields(data + 1, size - 1, 2);
    const std::string key(f[0]);
    const std::string file(f[1]);
    const bool keep = flags & 1;
    const bool noExt = flags & 2;

    kuv::fuzz::ClearScratch();
    const std::string& dir = ScratchDir();
    const std::string name = noExt ? "entry" : "0117.xda";
    const std::string path = dir + "/" + name;
    const std::string work = dir + (noExt ? "/entry.$$$" : "/0117.$$$");
    const std::string crp = dir + (noExt ? "/entry.crp" : "/0117.crp");
    WriteRaw(path, file);
    if (flags & 8) WriteRaw(crp, "taken");

    std::string plain;
    const CryptResult want = ExpectedDecode(file, key, plain);

    std::string memory = "junk";
    const CryptResult inMemory = kuv::CryptDecodeToMemory(path, key, memory, std::size_t{1} << 24);
    Check(inMemory == want, "CryptDecodeToMemory gives the layout's result", Hex(file));
    Check(want == CryptResult::Decoded ? memory == plain : memory.empty(),
          "CryptDecodeToMemory gives the body");
    std::string now;
    Check(ReadRaw(path, now) && now == file, "decoding in memory leaves the file as it was");
    Check(ScratchNames() == Sorted(flags & 8
                                       ? std::vector<std::string>{name, crp.substr(dir.size() + 1)}
                                       : std::vector<std::string>{name}),
          "decoding in memory creates no file");

    CryptResult expectedFile = want;
    // The ".crp" name is taken.
    if (want == CryptResult::Decoded && keep && (flags & 8)) expectedFile = CryptResult::Failed;
    const CryptResult result = kuv::CryptDecodeFile(path, key, keep);
    Check(result == expectedFile, "CryptDecodeFile gives the layout's result",
          "got " + std::to_string(static_cast<int>(result)) + " want " +
              std::to_string(static_cast<int>(expectedFile)));
    Check(ReadRaw(path, now), "something stands at the path");
    if (result == CryptResult::Decoded) {
        Check(now == plain, "the decoded file holds the body deciphered");
        if (keep) {
            std::string kept;
            Check(ReadRaw(crp, kept) && kept == file, "the container is kept under .crp");
        }
    } else {
        Check(now == file, "a failed decoding leaves the source as it was");
    }
    std::string left;
    if (ReadRaw(work, left)) {
        // A refused header leaves the empty work file; a decoding whose keep
        // name is taken leaves its whole output there, the source untouched.
        if (result == CryptResult::NoMatchingHeader) {
            Check(left.empty(), "a refused header leaves an empty work file");
        } else {
            Check(result == CryptResult::Failed && want == CryptResult::Decoded && keep &&
                      (flags & 8) && left == plain,
                  "only a blocked keep name leaves the output in the work file");
        }
    }

    if (flags & 4) {
        // The same bytes as a plain file: encode, then decode again.
        kuv::fuzz::ClearScratch();
        WriteRaw(path, file);
        const bool encoded = kuv::CryptEncodeFile(path, key, keep);
        Check(encoded == Storable(key), "encoding succeeds exactly for a storable key");
        Check(ReadRaw(path, now), "something stands at the path after encoding");
        if (!encoded) {
            Check(now == file, "a refused encoding leaves the file as it was");
            Check(ScratchNames() == std::vector<std::string>{name},
                  "a refused encoding creates nothing");
            return 0;
        }
        Check(now.size() == file.size() + 44, "a container is 44 bytes longer");
        if (keep) {
            std::string org;
            Check(ReadRaw(dir + (noExt ? "/entry.org" : "/0117.org"), org) && org == file,
                  "the plain file is kept under .org");
        }
        std::string back;
        Check(kuv::CryptDecodeToMemory(path, key, back, std::size_t{1} << 24) ==
                      CryptResult::Decoded &&
                  back == file,
              "what was encoded decodes in memory");
        Check(kuv::CryptDecodeFile(path, key, false) == CryptResult::Decoded,
              "what was encoded decodes");
        Check(ReadRaw(path, now) && now == file, "the round trip gives the file back");
    }
    return 0;
}
