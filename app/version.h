#pragma once

namespace kuv {

// The version both programs report and the About dialog shows, "2.00β" as
// code page 932 bytes. The Debian package's version, the newest entry of
// packaging/debian/changelog, follows it as 2.00~beta.
extern const char* const kVersionText;

}  // namespace kuv
