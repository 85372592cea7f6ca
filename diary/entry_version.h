#pragma once

#include <cstdint>
#include <string>

#include "diary/diary_book.h"
#include "platform/fileio.h"

// What a window remembers of a day's entry files as it loaded them, so that
// a save can tell whether another writer (a second machine through a sync
// tool, the companion tool, an editor) has changed them since. Both files of
// the day count, the one that was loaded and the one beside it: a .dia that
// appears beside a loaded .xda wins the next load, and a locked save
// replaces the .xda.
namespace kuv {

// One file of the day: present or not, its stamp, and a hash of its bytes as
// stored (a locked file is hashed as its container, without the password).
struct FileVersion {
    bool present = false;
    bool hashed = false;  // the bytes could be read; otherwise only the stamp counts
    fsio::FileStamp stamp;
    std::uint64_t hash = 0;
};

enum class EntryFile { None, Plain, Locked, Sealed };

struct EntryVersion {
    EntryFile file = EntryFile::None;  // the one a load reads: .kvd, then .dia
    FileVersion plain;                 // mmdd.dia
    FileVersion locked;                // mmdd.xda
    FileVersion sealed;                // mmdd.kvd, under the strong lock
    // False when the files did not hold still while they were read, or did
    // not hold what was saved: every check then reports a change.
    bool settled = true;
};

// Reads the day's two files, folder/name.dia and folder/name.xda.
EntryVersion CaptureEntryVersion(const std::string& folder, const std::string& name);

enum class EntryChange {
    None,      // the same bytes in the same files
    Created,   // there was no entry; there is one now
    Modified,  // other bytes, or the other file
    Removed,   // there was an entry; there is none now
};

// Entries are compared by their bytes: a file rewritten with the same bytes,
// or touched, is no change; other bytes are one even with the same size and
// time.
EntryChange CompareEntryVersions(const EntryVersion& loaded, const EntryVersion& now);

// The check before a save: captures the files now and compares.
EntryChange EntryChangedSince(const EntryVersion& loaded, const std::string& folder,
                              const std::string& name);

// LoadPane with the version of exactly what it read: the files are captured
// before and after the load, and read again when they changed in between.
// Throws as LoadPane does.
PaneContent LoadPaneVersioned(const std::string& folder, const std::string& name,
                              const std::string& password, EntryVersion& version);

// The version after a save of text: the files as they are now, provided the
// entry holds text (decoded with password when locked; a sealed one may hold
// it as the UTF-8 it was sealed from); otherwise a version
// that every check reports as changed, because another writer came between.
EntryVersion VersionAfterSave(const std::string& folder, const std::string& name,
                              const std::string& text, const std::string& password);

}  // namespace kuv
