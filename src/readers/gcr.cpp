// GCR track decoding. The stream is copied once into a buffer that puts the
// last two bytes of the ring before its start and repeats the ring after its
// end for longer than a data block, so that every read below, wherever it
// starts, is a plain 8-byte load: no block needs a case for the wrap. A line
// gets zero bytes there instead, which hold no sync, and the blocks that
// would reach past its end are turned away by their bit counts.
#include "readers/gcr.h"

#include <bit>
#include <cstring>

namespace zumtal {

namespace {

constexpr std::size_t kBefore = 2;           // bytes of the ring before its start: 16 bits to look back
constexpr std::size_t kAfter = 325 + 8 + 8;  // a whole data block, then an 8-byte load, past the end
constexpr std::uint16_t kBad = 0x100;        // a decoded "byte" with an invalid code in it
constexpr std::uint64_t kJudged = (std::uint64_t{1} << 48) - 1;  // the bits of a window judged for sync ends

// The bits that the checksums cover: a header's block id, checksum, sector,
// track and two id bytes; a data block's id, 256 bytes and checksum.
constexpr std::size_t kHeaderBits = 6 * 10;
constexpr std::size_t kDataBits = 258 * 10;

constexpr std::uint8_t kHeaderBlock = 0x08;
constexpr std::uint8_t kDataBlock = 0x07;

// Two 5-bit codes to one byte (high nibble first), or kBad.
constexpr std::array<std::uint16_t, 1024> kDecode = [] {
  constexpr std::uint8_t codes[16] = {0x0A, 0x0B, 0x12, 0x13, 0x0E, 0x0F, 0x16, 0x17,
                                      0x09, 0x19, 0x1A, 0x1B, 0x0D, 0x1D, 0x1E, 0x15};
  std::array<std::uint16_t, 1024> table{};
  table.fill(kBad);
  for (unsigned high = 0; high < 16; ++high) {
    for (unsigned low = 0; low < 16; ++low) {
      table[std::size_t{codes[high]} << 5 | codes[low]] = static_cast<std::uint16_t>(high << 4 | low);
    }
  }
  return table;
}();

std::uint64_t LoadBigEndian(const std::uint8_t* at) {
  std::uint64_t value;
  std::memcpy(&value, at, sizeof value);
  if constexpr (std::endian::native == std::endian::little) {
    value = __builtin_bswap64(value);
  }
  return value;
}

// The stream of `length` bytes, readable from any bit as a straight line.
class Ring {
 public:
  Ring(const std::uint8_t* stream, std::size_t length, GcrStream kind) : bytes_(kBefore + length + kAfter) {
    std::memcpy(bytes_.data() + kBefore, stream, length);
    if (kind == GcrStream::kLine) {
      return;
    }
    for (std::size_t i = 0; i < kBefore; ++i) {
      bytes_[i] = stream[(length * kBefore - kBefore + i) % length];
    }
    // Byte by byte, so that a ring shorter than the tail repeats.
    for (std::size_t i = kBefore + length; i < bytes_.size(); ++i) {
      bytes_[i] = bytes_[i - length];
    }
  }

  // Stream bits 8 * byte - 16 to 8 * byte + 47 (ring positions), the first
  // one highest.
  std::uint64_t Window(std::size_t byte) const { return LoadBigEndian(bytes_.data() + byte); }

  // 56 bits from ring bit `bit` on, the first one highest (the low 8 bits
  // are zero).
  std::uint64_t Bits(std::size_t bit) const { return LoadBigEndian(ByteOf(bit)) << (bit % 8); }
  // The byte that holds ring bit `bit`, in a line of bytes that goes on
  // past the end of the ring.
  const std::uint8_t* ByteOf(std::size_t bit) const { return bytes_.data() + kBefore + bit / 8; }

  // The byte decoded from the 10 bits starting `shift` bits below the top of
  // `bits`.
  static std::uint16_t Decode(std::uint64_t bits, int shift) { return kDecode[(bits >> (54 - shift)) & 0x3FF]; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// The sector number of a good header block at `bit` for `track`, or -1.
int HeaderSector(const Ring& ring, std::size_t bit, int track) {
  const std::uint64_t first = ring.Bits(bit);
  if (Ring::Decode(first, 0) != kHeaderBlock) {
    return -1;
  }
  const std::uint16_t checksum = Ring::Decode(first, 10);
  const std::uint16_t sector = Ring::Decode(first, 20);
  const std::uint16_t trackByte = Ring::Decode(first, 30);
  const std::uint64_t second = ring.Bits(bit + 40);
  const std::uint16_t id2 = Ring::Decode(second, 0);
  const std::uint16_t id1 = Ring::Decode(second, 10);
  if (((checksum | sector | trackByte | id2 | id1) & kBad) != 0 || trackByte != track ||
      (sector ^ trackByte ^ id2 ^ id1) != checksum) {
    return -1;
  }
  return sector;
}

// Decodes the data block at `bit` into `data` (256 bytes); false when it is
// not a data block, holds an invalid code or fails its checksum.
bool DecodeData(const Ring& ring, std::size_t bit, std::uint8_t* data) {
  // 65 groups of 5 stream bytes, 4 bytes each: the block id and data bytes
  // 0 to 2, then 4 data bytes each, then data byte 255 and the checksum.
  const std::uint8_t* at = ring.ByteOf(bit);
  const auto shift = static_cast<int>(bit % 8);
  unsigned flags = 0;
  unsigned sum = 0;
  const auto take = [&flags, &sum](std::uint64_t bits, int from) {
    const unsigned value = Ring::Decode(bits, from);
    flags |= value;
    sum ^= value;
    return static_cast<std::uint8_t>(value);
  };
  std::uint64_t bits = LoadBigEndian(at) << shift;
  const unsigned id = Ring::Decode(bits, 0);
  data[0] = take(bits, 10);
  data[1] = take(bits, 20);
  data[2] = take(bits, 30);
  for (std::size_t group = 1; group < 64; ++group) {
    bits = LoadBigEndian(at + 5 * group) << shift;
    const std::uint8_t first = take(bits, 0);
    const std::uint8_t second = take(bits, 10);
    const std::uint8_t third = take(bits, 20);
    const std::uint8_t fourth = take(bits, 30);
    std::uint8_t* out = data + 4 * group - 1;
    out[0] = first;
    out[1] = second;
    out[2] = third;
    out[3] = fourth;
  }
  bits = LoadBigEndian(at + 5 * 64) << shift;
  data[255] = take(bits, 0);
  take(bits, 10);  // the checksum: the XOR of all is then 0
  return ((flags | id) & kBad) == 0 && id == kDataBlock && sum == 0;
}

}  // namespace

GcrTrack DecodeGcrTrack(const std::uint8_t* stream, std::size_t length, int track, GcrStream kind) {
  GcrTrack out;
  if (length == 0) {
    return out;
  }
  const Ring ring(stream, length, kind);
  // In a line, a block needs its checked bits before the end; a ring has no
  // end.
  const bool line = kind == GcrStream::kLine;
  const std::size_t bits = 8 * length;

  // Each block begins at a sync's end; a header's data block begins at the
  // next one, in a ring wrapping to the first of the track after the last.
  int pending = -1;  // the sector whose good header came at the last sync
  std::size_t firstEnd = 8 * length;
  auto tryData = [&](std::size_t bit) {
    const auto sector = static_cast<std::size_t>(pending);
    pending = -1;
    if (line && bits - bit < kDataBits) {
      return;
    }
    out.bytes_.resize(out.bytes_.size() + 256);
    if (DecodeData(ring, bit, out.bytes_.data() + out.bytes_.size() - 256)) {
      out.slot_[sector] = static_cast<std::uint16_t>(out.bytes_.size() / 256);
    } else {
      out.bytes_.resize(out.bytes_.size() - 256);
    }
  };
  auto atSyncEnd = [&](std::size_t bit) {
    if (firstEnd == 8 * length) {
      firstEnd = bit;
    }
    if (pending >= 0) {
      tryData(bit);
    }
    if (line && bits - bit < kHeaderBits) {
      return;
    }
    const int sector = HeaderSector(ring, bit, track);
    if (sector >= 0 && out.slot_[static_cast<std::size_t>(sector)] == 0) {
      pending = sector;
    }
  };

  // Sync ends, 48 bits at a time: a 0 bit whose 10 bits before are all 1s.
  // Each window starts 16 bits before the bits it judges.
  for (std::size_t byte = 0; byte < length; byte += 6) {
    const std::uint64_t window = ring.Window(byte);
    const std::uint64_t before1 = window >> 1;
    const std::uint64_t before2 = before1 & before1 >> 1;
    const std::uint64_t before4 = before2 & before2 >> 2;
    std::uint64_t ends = ~window & before4 & before4 >> 4 & before2 >> 8 & kJudged;
    if (ends == 0) {
      continue;
    }
    if (length - byte < 6) {
      ends &= ~((std::uint64_t{1} << (48 - 8 * (length - byte))) - 1);
    }
    while (ends != 0) {
      const int lead = std::countl_zero(ends);
      ends &= ~(std::uint64_t{1} << (63 - lead));
      atSyncEnd(8 * byte + static_cast<std::size_t>(lead) - 16);
    }
  }
  if (pending >= 0 && !line) {
    tryData(firstEnd);
  }
  return out;
}

}  // namespace zumtal
