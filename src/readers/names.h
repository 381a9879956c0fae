// How names from C64 files are written in the reports: the printable form,
// and (base/text.h) their bytes in hex.
#pragma once

#include <string>
#include <string_view>

#include "base/text.h"

namespace zumtal {

// A name's byte as it is shown: below 32 and above 127, a blank.
constexpr char PrintableByte(char byte) {
  const auto value = static_cast<std::uint8_t>(byte);
  return value < 32 || value > 127 ? ' ' : byte;
}

// Bytes below 32 and above 127 become blanks; every byte keeps its place.
std::string ToPrintable(std::string_view text);

}  // namespace zumtal
