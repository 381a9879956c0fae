// The two encodings in which names from the input files are written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zumtal {

// Two upper-case hex digits.
std::string ByteToHex(std::uint8_t value);
// Two digits for every byte, leading zeros included, no separator.
std::string ToHex(std::string_view text);
// Bytes below 32 and above 127 become blanks; every byte keeps its place.
std::string ToPrintable(std::string_view text);

}  // namespace zumtal
