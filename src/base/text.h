// Small text helpers that every part of the program shares: ASCII case
// folding, digits and hex. Names in C64 files and on the PC are bytes, so
// none of these look at a locale.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zumtal {

inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";
inline constexpr char kLowerHexDigits[] = "0123456789abcdef";

constexpr bool IsDigit(char character) { return character >= '0' && character <= '9'; }

constexpr char AsciiUpper(char character) {
  return character >= 'a' && character <= 'z' ? static_cast<char>(character - 'a' + 'A') : character;
}
constexpr char AsciiLower(char character) {
  return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
}
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

// Whether `name` ends in `ending`, ASCII letters compared in any case.
bool EndsWithIgnoringCase(std::string_view name, std::string_view ending);

// Two upper-case digits for every byte, leading zeros included, no separator.
std::string ToHex(std::string_view text);

// The bytes that ToHex wrote; false for anything else.
bool FromHex(std::string_view hex, std::string& bytes);

// Two lower-case digits per byte, as hash values are written.
void AppendLowerHex(std::string& out, const std::uint8_t* bytes, std::size_t count);

template <std::size_t N>
std::string LowerHex(const std::array<std::uint8_t, N>& bytes) {
  std::string hex;
  AppendLowerHex(hex, bytes.data(), N);
  return hex;
}

// A CRC-32 as eight lower-case digits, most significant first.
std::string LowerHex(std::uint32_t value);

}  // namespace zumtal
