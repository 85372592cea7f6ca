#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>

// How the program reports errors.
//
// The core returns results (a bool, a small enum, a result struct) and does
// not throw: the file layer and the code page converter (platform/), the
// container (crypt/), the INI layer and the settings read (app/), the locale
// tables, the date formatter and the calendar's decoding steps (dates/).
//
// AppError is thrown only on the paths whose failure the window's general
// error handler reports: an entry that cannot be loaded or saved (diary/), a
// settings write that fails (app/settings_file.h), and, as EConvertError, a
// date or time that the calendar cannot convert (dates/calendar.h).
//
// Cancelled stops a handler that the user chose to stop (a save that found
// the entry changed on disk, and the user cancelled the move): it shows no
// box and ends the handler as an error would.
//
// They are caught at the edge and nowhere in the core: in the window by
// kuv::Guarded, which runs every handler that Qt calls, with
// TApplication::notify behind it (ui/app/application.h); in the companion tool
// by the command that called the throwing path (cli/).
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

// The user stopped the operation; nothing was written and nothing is shown.
class Cancelled : public std::exception {
  public:
    const char* what() const noexcept override { return "cancelled"; }
};

// Replaces the first "%s" of a code page 932 message template.
std::string FormatMessage(const std::string& cp932Template, const std::string& cp932Arg);
// Replaces each "%s" in turn by the next argument; an argument is never
// searched for "%s" itself.
std::string FormatMessage(const std::string& cp932Template,
                          std::initializer_list<std::string> cp932Args);

}  // namespace kuv
