// Builders of cartridge images and SID tunes, whose headers hold big-endian
// numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "builders.h"

namespace zumtal::testing {

inline void PutBigEndian(Bytes& bytes, std::size_t at, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
  }
}

inline void PutText(Bytes& bytes, std::size_t at, std::string_view text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    bytes[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0;
  }
}

// Data bytes as Program makes them, without the load address: a ROM's, or a
// tune's.
inline Bytes ProgramData(std::size_t size, std::uint32_t seed) {
  const Bytes program = Program(0, size, seed);
  return Bytes(program.begin() + 2, program.end());
}

// A cartridge image: a 64-byte header, then the packets added. A test
// damages one through bytes() and the offsets that Add returns.
class CrtBuilder {
 public:
  explicit CrtBuilder(std::string_view name, std::string_view signature = "C64 CARTRIDGE   ",
                      std::uint32_t headerLength = 64)
      : bytes_(64) {
    PutText(bytes_, 0, signature, 16);
    PutBigEndian(bytes_, 16, headerLength, 4);
    PutBigEndian(bytes_, 20, 0x0100, 2);  // version 1.0
    bytes_[24] = 0;                       // EXROM
    bytes_[25] = 1;                       // GAME
    PutText(bytes_, 32, name, 32);
  }

  // A CHIP packet holding `rom`, with `padding` bytes after it inside the
  // packet; returns where the packet begins.
  std::size_t Add(std::uint16_t loadAddress, const Bytes& rom, std::uint16_t bank = 0, std::size_t padding = 0) {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + 16);
    PutText(bytes_, at, "CHIP", 4);
    PutBigEndian(bytes_, at + 4, 16 + rom.size() + padding, 4);
    PutBigEndian(bytes_, at + 8, 0, 2);  // ROM
    PutBigEndian(bytes_, at + 10, bank, 2);
    PutBigEndian(bytes_, at + 12, loadAddress, 2);
    PutBigEndian(bytes_, at + 14, rom.size(), 2);
    bytes_.insert(bytes_.end(), rom.begin(), rom.end());
    bytes_.resize(bytes_.size() + padding, 0xEE);
    return at;
  }

  Bytes& bytes() { return bytes_; }

 private:
  Bytes bytes_;
};

// A SID tune of `data` at `loadAddress`; a load address of 0 leaves it to
// the data's first two bytes.
inline Bytes SidFile(std::string_view name, std::uint16_t loadAddress, const Bytes& data,
                     std::string_view kind = "PSID", std::uint16_t version = 2) {
  const std::size_t offset = version == 1 ? 118 : 124;
  Bytes bytes(offset);
  PutText(bytes, 0, kind, 4);
  PutBigEndian(bytes, 4, version, 2);
  PutBigEndian(bytes, 6, offset, 2);
  PutBigEndian(bytes, 8, loadAddress, 2);
  PutBigEndian(bytes, 10, loadAddress, 2);      // init
  PutBigEndian(bytes, 12, loadAddress + 3, 2);  // play
  PutBigEndian(bytes, 14, 1, 2);                // songs
  PutBigEndian(bytes, 16, 1, 2);                // start song
  PutText(bytes, 22, name, 32);
  PutText(bytes, 54, "A. COMPOSER", 32);
  PutText(bytes, 86, "1987 SOMEONE", 32);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

}  // namespace zumtal::testing
