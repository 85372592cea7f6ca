// Reading the files kept outside the data folder, which a next start or the
// tool reads back whatever a crash, a disk or another program left in them:
// a draft under any password, and an earlier version of an entry.
//
// Input: byte 0 = flags (1 the bytes are a draft, else a version), then the
// password, a 0x1F byte and the file's bytes.
#include <string>

#include "drafts/draft_store.h"
#include "harness.h"
#include "history/entry_history.h"

using kuv::fuzz::Check;
using kuv::fuzz::WriteRaw;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool draft = (data[0] & 1) != 0;
    const auto f = kuv::fuzz::SplitFields(data + 1, size - 1, 2);
    const std::string password(f[0]);
    const std::string bytes(f[1]);

    kuv::fuzz::ClearScratch();
    const std::string path = kuv::fuzz::ScratchDir() + (draft ? "/x.draft" : "/x.kvz");
    WriteRaw(path, bytes);
    const auto namesBefore = kuv::fuzz::ScratchNames();
    if (draft) {
        kuv::Draft out;
        if (kuv::ReadDraft(path, password, out) == kuv::DraftRead::Ok) {
            Check(out.month >= 1 && out.month <= 12 && out.day >= 1 && out.day <= 31,
                  "a draft that reads names a day of the calendar");
            Check(out.utf8.size() <= bytes.size(), "a draft's text comes from its file");
        }
    } else {
        std::string kept;
        bool locked = false;
        if (kuv::ReadEntryVersion(path, kept, locked)) {
            Check(bytes.size() >= 32, "a version that reads has its header");
        } else {
            Check(kept.empty(), "a version that does not read gives no bytes");
        }
    }
    std::string now;
    Check(kuv::fuzz::ReadRaw(path, now) && now == bytes, "reading leaves the file as it was");
    Check(kuv::fuzz::ScratchNames() == namesBefore, "reading creates and removes nothing");
    return 0;
}
