#include "base/text.h"

namespace zumtal {

std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (auto& character : upper) {
    character = AsciiUpper(character);
  }
  return upper;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (auto& character : lower) {
    character = AsciiLower(character);
  }
  return lower;
}

bool EndsWithIgnoringCase(std::string_view name, std::string_view ending) {
  if (name.size() < ending.size()) {
    return false;
  }
  const std::string_view tail = name.substr(name.size() - ending.size());
  for (std::size_t i = 0; i < ending.size(); ++i) {
    if (AsciiLower(tail[i]) != AsciiLower(ending[i])) {
      return false;
    }
  }
  return true;
}

std::string ToHex(std::string_view text) {
  std::string hex;
  hex.reserve(2 * text.size());
  for (const char character : text) {
    const auto value = static_cast<std::uint8_t>(character);
    hex.push_back(kUpperHexDigits[value >> 4]);
    hex.push_back(kUpperHexDigits[value & 0xF]);
  }
  return hex;
}

namespace {

// The value of an upper-case hex digit as ToHex writes it; -1 for anything else.
int HexDigitValue(char character) {
  return IsDigit(character) ? character - '0' : character >= 'A' && character <= 'F' ? character - 'A' + 10 : -1;
}

}  // namespace

bool FromHex(std::string_view hex, std::string& bytes) {
  bytes.clear();
  if (hex.size() % 2 != 0) {
    return false;
  }
  // Sized once: names are decoded for every program a catalogue keeps.
  bytes.resize(hex.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = HexDigitValue(hex[2 * i]);
    const int low = HexDigitValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) {
      bytes.clear();
      return false;
    }
    bytes[i] = static_cast<char>(high << 4 | low);
  }
  return true;
}

void AppendLowerHex(std::string& out, const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    out.push_back(kLowerHexDigits[bytes[i] >> 4]);
    out.push_back(kLowerHexDigits[bytes[i] & 0xF]);
  }
}

std::string LowerHex(std::uint32_t value) {
  return LowerHex(std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(value >> 24),
                                              static_cast<std::uint8_t>(value >> 16),
                                              static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)});
}

}  // namespace zumtal
