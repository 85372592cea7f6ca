#include "backup/manifest.h"

namespace kuv {

namespace {

bool IsHexDigest(std::string_view s) {
    if (s.size() != 64) return false;
    for (char c : s) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

}  // namespace

// sha256sum marks a line whose name holds a backslash, a line feed or a
// carriage return with a leading backslash and escapes those three.
std::string FormatManifest(const std::vector<ManifestLine>& lines) {
    std::string out;
    for (const ManifestLine& line : lines) {
        const bool escaped = line.path.find_first_of("\\\n\r") != std::string::npos;
        if (escaped) out += '\\';
        out += line.digest;
        out += "  ";
        for (char c : line.path) {
            if (c == '\\') {
                out += "\\\\";
            } else if (c == '\n') {
                out += "\\n";
            } else if (c == '\r') {
                out += "\\r";
            } else {
                out += c;
            }
        }
        out += '\n';
    }
    return out;
}

bool ParseManifest(std::string_view text, std::map<std::string, std::string>& byPath) {
    byPath.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) return false;  // every line ends in "\n"
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        const bool escaped = !line.empty() && line.front() == '\\';
        if (escaped) line.remove_prefix(1);
        if (line.size() < 67 || line.substr(64, 2) != "  " || !IsHexDigest(line.substr(0, 64))) {
            return false;
        }
        const std::string_view name = line.substr(66);
        std::string path;
        for (std::size_t i = 0; i < name.size(); ++i) {
            if (!escaped || name[i] != '\\') {
                path += name[i];
                continue;
            }
            if (++i == name.size()) return false;
            switch (name[i]) {
                case '\\':
                    path += '\\';
                    break;
                case 'n':
                    path += '\n';
                    break;
                case 'r':
                    path += '\r';
                    break;
                default:
                    return false;
            }
        }
        if (!byPath.emplace(std::move(path), std::string(line.substr(0, 64))).second) return false;
    }
    return true;
}

}  // namespace kuv
