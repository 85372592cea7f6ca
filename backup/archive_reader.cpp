#include "backup/archive_reader.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <map>
#include <memory>
#include <unordered_set>
#include <vector>

#include "backup/manifest.h"
#include "backup/messages.h"
#include "backup/sha256.h"
#include "backup/source_tree.h"
#include "platform/cp932.h"
#include "platform/errors.h"

namespace kuv {

namespace {

using namespace backup_text;

constexpr std::size_t kReadBlock = std::size_t{64} << 10;
// A manifest line is about a hundred bytes; a million members stay well below.
constexpr std::int64_t kMaxManifestBytes = std::int64_t{256} << 20;

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};

ArchiveCheck Refuse(ArchiveProblem problem, std::string detail) {
    ArchiveCheck check;
    check.problem = problem;
    check.detail = std::move(detail);
    return check;
}

std::string LibraryWords(archive* a) {
    const char* words = archive_error_string(a);
    return words != nullptr ? words : "";
}

// What kind of member this is, by the rule that only plain files and folders
// may come out of a backup.
ArchiveProblem CheckKind(archive_entry* e) {
    if (archive_entry_hardlink(e) != nullptr) return ArchiveProblem::Link;
    switch (archive_entry_filetype(e)) {
        case AE_IFREG:
        case AE_IFDIR:
            return ArchiveProblem::None;
        case AE_IFLNK:
            return ArchiveProblem::Link;
        case AE_IFCHR:
        case AE_IFBLK:
            return ArchiveProblem::Device;
        case AE_IFIFO:
            return ArchiveProblem::Fifo;
        default:
            return ArchiveProblem::OtherType;
    }
}

}  // namespace

ArchiveProblem CheckMemberName(const std::string& name, bool directory) {
    if (name.empty()) return ArchiveProblem::NotBackup;
    if (name.front() == '/') return ArchiveProblem::AbsolutePath;
    std::string_view rest = name;
    if (directory && rest.back() == '/') rest.remove_suffix(1);
    std::vector<std::string_view> steps;
    while (true) {
        const std::size_t slash = rest.find('/');
        steps.push_back(rest.substr(0, slash));
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    for (std::string_view step : steps) {
        if (step == "..") return ArchiveProblem::DotDot;
    }
    for (std::string_view step : steps) {
        if (step.empty() || step == ".") return ArchiveProblem::NotBackup;
    }
    // Under "data/" anything of the data folder, under "history/" anything of
    // the diary's history; each folder itself only as one.
    if (steps.front() == kDataMember || steps.front() == kHistoryMember) {
        return directory || steps.size() > 1 ? ArchiveProblem::None : ArchiveProblem::NotBackup;
    }
    if (directory) {
        return steps.size() == 1 && steps.front() == "settings" ? ArchiveProblem::None
                                                                : ArchiveProblem::NotBackup;
    }
    return name == kSettingsMember || name == kManifestName ? ArchiveProblem::None
                                                            : ArchiveProblem::NotBackup;
}

ArchiveCheck ReadBackupArchive(const std::string& native, MemberSink* sink,
                               const ProgressFn& progress) {
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return Refuse(ArchiveProblem::CannotOpen, {});
    }
    const std::uint64_t archiveSize = static_cast<std::uint64_t>(st.st_size);
    std::unique_ptr<archive, ArchiveCloser> a(archive_read_new());
    // A backup is a gzip-compressed tar and nothing else.
    archive_read_support_filter_gzip(a.get());
    archive_read_support_format_tar(a.get());
    if (archive_read_open_filename(a.get(), native.c_str(), kReadBlock) != ARCHIVE_OK) {
        const int err = archive_errno(a.get());
        return Refuse(
            err == ENOENT || err == EACCES ? ArchiveProblem::CannotOpen : ArchiveProblem::Damaged,
            LibraryWords(a.get()));
    }
    if (!KeepGoing(progress, 0, archiveSize)) return Refuse(ArchiveProblem::Cancelled, {});

    ArchiveCheck check;
    std::unordered_set<std::string> seen;
    std::map<std::string, std::string> digests;  // what the files hold
    std::string manifest;
    bool manifestSeen = false;
    std::uint64_t members = 0;
    std::vector<char> buffer(kReadBlock);
    Sha256 sha;

    archive_entry* e = nullptr;
    int r;
    while ((r = archive_read_next_header(a.get(), &e)) == ARCHIVE_OK) {
        if (++members > kMaxArchiveMembers) return Refuse(ArchiveProblem::TooMany, {});
        const char* rawName = archive_entry_pathname(e);
        const std::string name = rawName != nullptr ? rawName : "";
        if (ArchiveProblem p = CheckKind(e); p != ArchiveProblem::None) return Refuse(p, name);
        const bool directory = archive_entry_filetype(e) == AE_IFDIR;
        if (ArchiveProblem p = CheckMemberName(name, directory); p != ArchiveProblem::None) {
            return Refuse(p, name);
        }
        const std::int64_t size = archive_entry_size_is_set(e) ? archive_entry_size(e) : 0;
        if (size < 0 || size > kMaxMemberBytes) return Refuse(ArchiveProblem::TooLarge, name);
        const std::int64_t mtime = archive_entry_mtime(e);
        // A folder named twice is harmless, and a folder of a file's name
        // fails the unpacking; a file named twice would replace another.
        if (directory) {
            if (sink != nullptr && !sink->Directory(name, mtime)) {
                return Refuse(ArchiveProblem::WriteFailed, name);
            }
            continue;
        }
        if (!seen.insert(name).second) return Refuse(ArchiveProblem::Duplicate, name);
        const bool isManifest = name == kManifestName;
        if (isManifest) {
            if (size > kMaxManifestBytes) return Refuse(ArchiveProblem::TooLarge, name);
            manifestSeen = true;
        } else if (sink != nullptr && !sink->BeginFile(name, size, mtime)) {
            return Refuse(ArchiveProblem::WriteFailed, name);
        }
        std::int64_t got = 0;
        while (true) {
            const la_ssize_t n = archive_read_data(a.get(), buffer.data(), buffer.size());
            if (n < 0) return Refuse(ArchiveProblem::Damaged, LibraryWords(a.get()));
            if (n == 0) break;
            got += n;
            if (got > size) return Refuse(ArchiveProblem::Damaged, name);
            if (isManifest) {
                manifest.append(buffer.data(), static_cast<std::size_t>(n));
                continue;
            }
            sha.Update(buffer.data(), static_cast<std::size_t>(n));
            if (sink != nullptr && !sink->Data(buffer.data(), static_cast<std::size_t>(n))) {
                return Refuse(ArchiveProblem::WriteFailed, name);
            }
            if (!KeepGoing(progress, static_cast<std::uint64_t>(archive_filter_bytes(a.get(), -1)),
                           archiveSize)) {
                return Refuse(ArchiveProblem::Cancelled, {});
            }
        }
        if (got != size) return Refuse(ArchiveProblem::Damaged, name);
        if (isManifest) continue;
        if (sink != nullptr && !sink->EndFile()) return Refuse(ArchiveProblem::WriteFailed, name);
        digests.emplace(name, sha.HexDigest());
        ++check.files;
        check.bytes += static_cast<std::uint64_t>(size);
        if (name == kSettingsMember) check.hasSettings = true;
        if (!KeepGoing(progress, static_cast<std::uint64_t>(archive_filter_bytes(a.get(), -1)),
                       archiveSize)) {
            return Refuse(ArchiveProblem::Cancelled, {});
        }
    }
    // A warning here is a header that did not read cleanly: nothing of such
    // an archive is taken on trust.
    if (r != ARCHIVE_EOF) return Refuse(ArchiveProblem::Damaged, LibraryWords(a.get()));
    if (members == 0) return Refuse(ArchiveProblem::Damaged, {});
    if (!manifestSeen) return Refuse(ArchiveProblem::NoManifest, {});

    std::map<std::string, std::string> listed;
    if (!ParseManifest(manifest, listed)) return Refuse(ArchiveProblem::Damaged, kManifestName);
    for (const auto& [name, digest] : digests) {
        const auto it = listed.find(name);
        if (it == listed.end()) return Refuse(ArchiveProblem::NotListed, name);
        if (it->second != digest) return Refuse(ArchiveProblem::Mismatch, name);
    }
    for (const auto& [name, digest] : listed) {
        if (digests.count(name) == 0) return Refuse(ArchiveProblem::Missing, name);
    }
    KeepGoing(progress, archiveSize, archiveSize);
    return check;
}

std::string ArchiveProblemMessage(const ArchiveCheck& check, const std::string& archivePath) {
    const std::string shown = ShownPath(check.detail);
    switch (check.problem) {
        case ArchiveProblem::None:
            return FormatMessage(kArchiveWhole, {archivePath, std::to_string(check.files)});
        case ArchiveProblem::CannotOpen:
            return FormatMessage(kCannotOpenArchive, archivePath);
        case ArchiveProblem::Damaged:
            return FormatMessage(kDamaged, {archivePath, shown});
        case ArchiveProblem::NotBackup:
            return FormatMessage(kNotBackup, {archivePath, shown});
        case ArchiveProblem::AbsolutePath:
            return FormatMessage(kAbsolutePath, {archivePath, shown});
        case ArchiveProblem::DotDot:
            return FormatMessage(kDotDot, {archivePath, shown});
        case ArchiveProblem::Link:
            return FormatMessage(kLink, {archivePath, shown});
        case ArchiveProblem::Device:
            return FormatMessage(kDevice, {archivePath, shown});
        case ArchiveProblem::Fifo:
            return FormatMessage(kFifo, {archivePath, shown});
        case ArchiveProblem::OtherType:
            return FormatMessage(kOtherType, {archivePath, shown});
        case ArchiveProblem::TooLarge:
            return FormatMessage(kMemberTooLarge, {archivePath, shown});
        case ArchiveProblem::TooMany:
            return FormatMessage(kTooMany, archivePath);
        case ArchiveProblem::Duplicate:
            return FormatMessage(kDuplicate, {archivePath, shown});
        case ArchiveProblem::NoManifest:
            return FormatMessage(kNoManifest, archivePath);
        case ArchiveProblem::Mismatch:
            return FormatMessage(kMismatch, {archivePath, shown});
        case ArchiveProblem::Missing:
            return FormatMessage(kMissing, {archivePath, shown});
        case ArchiveProblem::NotListed:
            return FormatMessage(kNotListed, {archivePath, shown});
        case ArchiveProblem::Cancelled:
            return kRestoreCancelled;
        case ArchiveProblem::WriteFailed:
            return FormatMessage(kCannotWriteStaged, shown);
    }
    return {};
}

}  // namespace kuv
