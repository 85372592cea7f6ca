#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

// The manifest of a backup: the SHA-256 of every file in it, in the layout of
// sha256sum, so that an unpacked backup can also be checked with
// "sha256sum -c kuvandoro.sha256".
namespace kuv {

// The manifest's name inside the archive.
inline constexpr const char* kManifestName = "kuvandoro.sha256";

struct ManifestLine {
    std::string digest;  // 64 lower-case hexadecimal digits
    std::string path;    // member name, bytes as in the archive
};

std::string FormatManifest(const std::vector<ManifestLine>& lines);

// Digest by path. False when a line is not a digest, two spaces and a name,
// or when a name comes twice.
bool ParseManifest(std::string_view text, std::map<std::string, std::string>& byPath);

}  // namespace kuv
