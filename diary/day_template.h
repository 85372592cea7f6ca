#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "dates/calendar.h"

// The text a new day starts with: the user's template, written in the date
// pattern language (quoted text stays as written, so "'天気:'" is not a date),
// with a line holding only "|" to say where the typing goes.
namespace kuv {

struct ExpandedTemplate {
    std::string text;        // code page 932, CR LF line breaks
    std::size_t cursor = 0;  // byte offset in text where the typing goes
};

// The template expanded for day with the process-wide date locale. The
// first line holding only "|" becomes an empty line with the cursor at its
// start; without one the cursor is at the end. Any length of template is
// expanded whole.
ExpandedTemplate ExpandDayTemplate(std::string_view cp932Template, TDateTime day);

}  // namespace kuv
