#include "platform/errors.h"

namespace kuv {

std::string FormatMessage(const std::string& cp932Template, const std::string& cp932Arg) {
    std::string out = cp932Template;
    std::size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, cp932Arg);
    return out;
}

std::string FormatMessage(const std::string& cp932Template,
                          std::initializer_list<std::string> cp932Args) {
    std::string out;
    std::size_t from = 0;
    for (const std::string& arg : cp932Args) {
        const std::size_t at = cp932Template.find("%s", from);
        if (at == std::string::npos) break;
        out.append(cp932Template, from, at - from).append(arg);
        from = at + 2;
    }
    return out.append(cp932Template, from, std::string::npos);
}

}  // namespace kuv
