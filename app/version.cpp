#include "app/version.h"

namespace kuv {

// "2.00" and the Greek small letter beta.
const char* const kVersionText = "2.00\x83\xc0";

}  // namespace kuv
