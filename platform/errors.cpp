#include "platform/errors.h"

namespace kuv {

std::string FormatMessage(const std::string& cp932Template, const std::string& cp932Arg) {
    std::string out = cp932Template;
    std::size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, cp932Arg);
    return out;
}

}  // namespace kuv
