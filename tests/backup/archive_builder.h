#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Builds tar archives member by member with libarchive, for the tests of
// what a restore accepts and refuses.
namespace kuv::test {

struct Member {
    Member(std::string name_, unsigned type_ = 0100000, std::string data_ = {},
           std::string link_ = {}, bool hardLink_ = false,
           std::optional<std::int64_t> declaredSize_ = {})
        : name(std::move(name_)),
          type(type_),
          data(std::move(data_)),
          link(std::move(link_)),
          hardLink(hardLink_),
          declaredSize(declaredSize_) {}
    std::string name;
    unsigned type = 0100000;  // AE_IFREG
    std::string data;
    std::string link;  // symbolic link target
    bool hardLink = false;
    std::optional<std::int64_t> declaredSize;  // a header that claims another size
};

// The SHA-256 of bytes, through libcrypto directly.
std::string Sha256Of(const std::string& bytes);
// The manifest member of files: "<digest>  <name>" per line.
Member ManifestOf(const std::vector<Member>& files);

// Writes members to path as a tar (gzip-compressed unless plain); a member
// with a declared size larger than its data ends the archive there.
void WriteArchive(const std::string& path, const std::vector<Member>& members, bool gzip = true);

// Writes the folder "data/" and then count folders "data/<n>/", gzip-compressed
// quickly: an archive of very many members.
void WriteManyFolders(const std::string& path, std::uint64_t count);

// Every file and folder under dir by relative path: file bytes, "<dir>" or
// "<link>".
std::map<std::string, std::string> Contents(const std::string& dir);

}  // namespace kuv::test
