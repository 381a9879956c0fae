// The three hashes of a program's PRG form: its two load-address bytes, low
// byte first, then its data bytes. They equal the hashes of the program
// saved as a .prg file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "report/program_hash.h"

namespace zumtal {

using ProgramDigests = ProgramHashes;

// Two lowercase hex digits per byte, most significant digit first.
template <std::size_t N>
std::string LowerHex(const std::array<std::uint8_t, N>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * N);
  for (const std::uint8_t byte : bytes) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0xFu]);
  }
  return hex;
}

// A CRC-32 as eight lowercase hex digits.
inline std::string LowerHex(std::uint32_t value) {
  return LowerHex(std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(value >> 24),
                                              static_cast<std::uint8_t>(value >> 16),
                                              static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)});
}

}  // namespace zumtal
