// How names from C64 files are written in the reports: the printable form,
// and (base/text.h) their bytes in hex.
#pragma once

#include <string>
#include <string_view>

#include "base/text.h"

namespace zumtal {

// Bytes below 32 and above 127 become blanks; every byte keeps its place.
std::string ToPrintable(std::string_view text);

}  // namespace zumtal
