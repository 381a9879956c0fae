#include "readers/names.h"

namespace zumtal {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
}

std::string ByteToHex(std::uint8_t value) { return {kHexDigits[value >> 4], kHexDigits[value & 0xF]}; }

std::string ToHex(std::string_view text) {
  std::string hex;
  hex.reserve(2 * text.size());
  for (const char character : text) {
    const auto value = static_cast<std::uint8_t>(character);
    hex.push_back(kHexDigits[value >> 4]);
    hex.push_back(kHexDigits[value & 0xF]);
  }
  return hex;
}

std::string ToPrintable(std::string_view text) {
  std::string printable(text);
  for (auto& character : printable) {
    const auto value = static_cast<std::uint8_t>(character);
    if (value < 32 || value > 127) {
      character = ' ';
    }
  }
  return printable;
}

}  // namespace zumtal
