#include "tests/backup/archive_builder.h"

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>

#include <filesystem>
#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace kuv::test {

std::string Sha256Of(const std::string& bytes) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), md, &length, EVP_sha256(), nullptr);
    std::string hex;
    char buf[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", md[i]);
        hex += buf;
    }
    return hex;
}

Member ManifestOf(const std::vector<Member>& files) {
    Member manifest{"kuvandoro.sha256"};
    for (const Member& m : files) {
        if (m.type == AE_IFREG && !m.hardLink)
            manifest.data += Sha256Of(m.data) + "  " + m.name + "\n";
    }
    return manifest;
}

void WriteArchive(const std::string& path, const std::vector<Member>& members, bool gzip) {
    archive* a = archive_write_new();
    archive_write_set_format_gnutar(a);
    if (gzip) archive_write_add_filter_gzip(a);
    if (archive_write_open_filename(a, path.c_str()) != ARCHIVE_OK) {
        throw std::runtime_error("cannot write archive");
    }
    archive_entry* e = archive_entry_new();
    for (const Member& m : members) {
        archive_entry_clear(e);
        archive_entry_copy_pathname(e, m.name.c_str());
        archive_entry_set_filetype(e, m.type);
        archive_entry_set_perm(e, m.type == AE_IFDIR ? 0700 : 0600);
        if (m.type == AE_IFLNK) archive_entry_copy_symlink(e, m.link.c_str());
        if (m.hardLink) archive_entry_copy_hardlink(e, m.link.c_str());
        if (m.type == AE_IFCHR || m.type == AE_IFBLK) archive_entry_set_rdev(e, 0x0103);
        const std::int64_t size =
            m.declaredSize ? *m.declaredSize : static_cast<std::int64_t>(m.data.size());
        if (m.type == AE_IFREG && !m.hardLink) archive_entry_set_size(e, size);
        if (archive_write_header(a, e) < ARCHIVE_WARN) {
            throw std::runtime_error(archive_error_string(a));
        }
        if (!m.data.empty()) archive_write_data(a, m.data.data(), m.data.size());
        // A header that claims more than follows: the archive stops here, with
        // the compression closed properly and no padding written.
        if (m.declaredSize && *m.declaredSize > static_cast<std::int64_t>(m.data.size())) {
            archive_write_fail(a);
            break;
        }
    }
    archive_entry_free(e);
    archive_write_close(a);
    archive_write_free(a);
}

void WriteManyFolders(const std::string& path, std::uint64_t count) {
    archive* a = archive_write_new();
    archive_write_set_format_gnutar(a);
    archive_write_add_filter_gzip(a);
    archive_write_set_options(a, "gzip:compression-level=1");
    if (archive_write_open_filename(a, path.c_str()) != ARCHIVE_OK) {
        throw std::runtime_error("cannot write archive");
    }
    archive_entry* e = archive_entry_new();
    archive_entry_set_filetype(e, AE_IFDIR);
    archive_entry_set_perm(e, 0700);
    archive_entry_copy_pathname(e, "data/");
    archive_write_header(a, e);
    char name[32];
    for (std::uint64_t i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "data/%llu/", static_cast<unsigned long long>(i));
        archive_entry_copy_pathname(e, name);
        archive_write_header(a, e);
    }
    archive_entry_free(e);
    archive_write_close(a);
    archive_write_free(a);
}

std::map<std::string, std::string> Contents(const std::string& dir) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string rel = it->path().lexically_relative(dir).string();
        if (it->is_symlink()) {
            out[rel] = "<link>";
        } else if (it->is_directory()) {
            out[rel] = "<dir>";
        } else {
            out[rel] = ReadBytes(it->path().string());
        }
    }
    return out;
}

}  // namespace kuv::test
