#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>

namespace kuv {

// An error that goes to the application's general error handler. The message
// is code page 932 text, shown as it stands (plus the final "." rule).
class AppError : public std::runtime_error {
  public:
    explicit AppError(std::string cp932Message) : std::runtime_error(cp932Message) {}
};

// A date or time that cannot be converted (calendar operations).
class EConvertError : public AppError {
  public:
    using AppError::AppError;
};

// Replaces the first "%s" of a code page 932 message template.
std::string FormatMessage(const std::string& cp932Template, const std::string& cp932Arg);
// Replaces each "%s" in turn by the next argument; an argument is never
// searched for "%s" itself.
std::string FormatMessage(const std::string& cp932Template,
                          std::initializer_list<std::string> cp932Args);

}  // namespace kuv
