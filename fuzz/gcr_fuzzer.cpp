// libFuzzer target for the GCR track decoder: the first byte is the track
// number, the rest the track's bit stream, decoded both as a ring and as a
// line. Each result is checked against a plain bit-by-bit reading of the
// same rules, without the decoder's word-at-a-time search or its buffer for
// the wrap.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "readers/gcr.h"

namespace {

struct Plain {
  const std::uint8_t* stream;
  std::size_t bits;

  int Bit(std::size_t at) const {
    at %= bits;
    return stream[at / 8] >> (7 - at % 8) & 1;
  }
  int Nibble(std::size_t at) const {
    static constexpr std::uint8_t kCodes[16] = {0x0A, 0x0B, 0x12, 0x13, 0x0E, 0x0F, 0x16, 0x17,
                                                0x09, 0x19, 0x1A, 0x1B, 0x0D, 0x1D, 0x1E, 0x15};
    int code = 0;
    for (std::size_t i = 0; i < 5; ++i) {
      code = code << 1 | Bit(at + i);
    }
    for (int nibble = 0; nibble < 16; ++nibble) {
      if (kCodes[nibble] == code) {
        return nibble;
      }
    }
    return -1;
  }
  // Byte `index` of the block at `at`, or -1.
  int Byte(std::size_t at, std::size_t index) const {
    const int high = Nibble(at + 10 * index);
    const int low = Nibble(at + 10 * index + 5);
    return high < 0 || low < 0 ? -1 : high << 4 | low;
  }
};

// The sectors that the rules give for the stream, by sector number.
std::vector<std::vector<std::uint8_t>> Expected(const Plain& plain, int trackNumber, bool ring) {
  constexpr std::size_t kHeaderBits = 60;
  constexpr std::size_t kDataBits = 2580;
  std::vector<std::vector<std::uint8_t>> want(256);
  std::vector<std::size_t> ends;
  for (std::size_t at = ring ? 0 : 10; at < plain.bits; ++at) {
    bool end = plain.Bit(at) == 0;
    for (std::size_t back = 1; back <= 10 && end; ++back) {
      end = plain.Bit(at + plain.bits * 10 - back) == 1;
    }
    if (end) {
      ends.push_back(at);
    }
  }
  for (std::size_t e = 0; e < ends.size(); ++e) {
    if (!ring && plain.bits - ends[e] < kHeaderBits) {
      continue;
    }
    int header[6];
    bool good = true;
    for (std::size_t i = 0; i < 6; ++i) {
      header[i] = plain.Byte(ends[e], i);
      good = good && header[i] >= 0;
    }
    if (!good || header[0] != 0x08 || header[3] != trackNumber ||
        (header[2] ^ header[3] ^ header[4] ^ header[5]) != header[1] ||
        !want[static_cast<std::size_t>(header[2])].empty()) {
      continue;
    }
    if (!ring && (e + 1 == ends.size() || plain.bits - ends[e + 1] < kDataBits)) {
      continue;
    }
    const std::size_t at = ends[(e + 1) % ends.size()];
    std::vector<std::uint8_t> sector;
    int sum = 0;
    good = plain.Byte(at, 0) == 0x07;
    for (std::size_t i = 1; i <= 257 && good; ++i) {
      const int byte = plain.Byte(at, i);
      good = byte >= 0;
      sum ^= byte;
      sector.push_back(static_cast<std::uint8_t>(byte));
    }
    if (good && sum == 0) {
      sector.pop_back();  // the checksum
      want[static_cast<std::size_t>(header[2])] = sector;
    }
  }
  return want;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const int trackNumber = data[0];
  const Plain plain{data + 1, 8 * (size - 1)};
  for (const bool ring : {true, false}) {
    const zumtal::GcrTrack track = zumtal::DecodeGcrTrack(data + 1, size - 1, trackNumber,
                                                          ring ? zumtal::GcrStream::kRing : zumtal::GcrStream::kLine);
    const auto want = Expected(plain, trackNumber, ring);
    for (std::size_t s = 0; s < 256; ++s) {
      const std::uint8_t* got = track.Sector(static_cast<std::uint8_t>(s));
      if ((got == nullptr) != want[s].empty() || (got != nullptr && std::memcmp(got, want[s].data(), 256) != 0)) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
