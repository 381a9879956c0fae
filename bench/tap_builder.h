// A builder of TAP tape images as the C64's own tape routine writes them,
// with what real tapes show: a speed off by some percent, pulses scattered
// around their length, damaged copies, fast-loader parts and silence
// between files.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "builders.h"

namespace zumtal::testing {

// How the tape is written.
struct TapOptions {
  int version = 1;
  double speed = 1.0;  // each length times this: 0.9 to 1.1 on real tapes
  int jitter = 0;      // each pulse off by up to this many units either way
  std::uint64_t seed = 1;
  std::size_t headerLeadIn = 0x6A00;  // short pulses before a header block
  std::size_t dataLeadIn = 0x1500;    // before any other block
};

class TapBuilder {
 public:
  // Pulse lengths in units of 8 cycles, as the routine writes them.
  static constexpr std::uint8_t kShort = 0x30;
  static constexpr std::uint8_t kMedium = 0x42;
  static constexpr std::uint8_t kLong = 0x56;

  using Options = TapOptions;

  enum class Damage {
    kNone,
    kFirst,           // a bit of the first copy's payload inverted: its check bit fails
    kBoth,            // the same in both copies
    kFirstCountdown,  // the first copy's first countdown byte $88
    kFirstDropout,    // a pulse of 255 units in the middle of the first copy
  };

  struct Placed {
    std::uint64_t header = 0;  // the offsets of the blocks, as a decoder counts them
    std::uint64_t data = 0;
  };

  explicit TapBuilder(Options options = {}) : options_(options), random_{options.seed} {}

  // A header block of `type` (192 bytes: type, start, end, the name padded
  // with blanks, then blanks).
  std::uint64_t AddHeader(std::uint8_t type, std::uint16_t start, std::uint16_t end, std::string_view name,
                          Damage damage = Damage::kNone) {
    Bytes payload(192, 0x20);
    payload[0] = type;
    payload[1] = static_cast<std::uint8_t>(start);
    payload[2] = static_cast<std::uint8_t>(start >> 8);
    payload[3] = static_cast<std::uint8_t>(end);
    payload[4] = static_cast<std::uint8_t>(end >> 8);
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 16), payload.begin() + 5);
    return AddBlock(payload, options_.headerLeadIn, damage);
  }

  // Any block: a lead-in, the first copy, its end, a gap, the repeat, its
  // end, a trailer. Returns its offset: where the short pulses before it
  // begin, a block's trailer included.
  std::uint64_t AddBlock(const Bytes& payload, std::size_t leadIn, Damage damage = Damage::kNone) {
    const std::uint64_t offset = shortsFrom_.value_or(Offset());
    Shorts(leadIn);
    WriteCopy(payload, kFirstCopy, damage == Damage::kBoth ? Damage::kFirst : damage);
    Shorts(79);
    WriteCopy(payload, kRepeatCopy, damage == Damage::kBoth ? Damage::kFirst : Damage::kNone);
    Shorts(78);
    return offset;
  }

  // A program from its PRG form (load address, then data): header, data.
  Placed AddProgram(std::string_view name, const Bytes& prg, std::uint8_t type = 1, Damage header = Damage::kNone,
                    Damage data = Damage::kNone) {
    const auto start = static_cast<std::uint16_t>(prg[0] | prg[1] << 8);
    const auto end = static_cast<std::uint16_t>(start + prg.size() - 2);
    Placed placed;
    placed.header = AddHeader(type, start, end, name, header);
    placed.data = AddBlock(Bytes(prg.begin() + 2, prg.end()), options_.dataLeadIn, data);
    return placed;
  }

  // A data file: its header (type 4), then `records` blocks of type 2.
  void AddDataFile(std::string_view name, std::size_t records) {
    AddHeader(4, 0x033C, 0x03FC, name);
    for (std::size_t r = 0; r < records; ++r) {
      Bytes block(192, static_cast<std::uint8_t>('A' + r % 26));
      block[0] = 2;
      AddBlock(block, options_.dataLeadIn);
    }
  }

  void AddEndOfTape() { AddHeader(5, 0, 0, ""); }

  // A fast loader's part: a pilot, a sync byte, `bytes` bytes of one pulse
  // per bit, some noise, and one pulse of 255 units.
  void AddTurbo(std::size_t bytes) {
    constexpr std::uint8_t kZero = 0x1E;
    constexpr std::uint8_t kOne = 0x2C;
    for (int i = 0; i < 600; ++i) {
      Pulse(kZero);
    }
    for (std::size_t i = 0; i < bytes + 1; ++i) {
      const std::uint32_t value = i == 0 ? 0xA0 : random_.Next();
      for (int bit = 7; bit >= 0; --bit) {
        Pulse((value >> bit & 1) != 0 ? kOne : kZero);
      }
    }
    for (int i = 0; i < 200; ++i) {
      Pulse(static_cast<std::uint8_t>(0x10 + random_.Next() % 0x70));
    }
    Pulse(0xFF);
  }

  // Silence: version 0 a zero byte, version 1 a pulse of `cycles` cycles.
  void AddPause(std::uint32_t cycles = 500000) {
    if (options_.version == 0) {
      AddRaw({0});
    } else {
      AddRaw({0, static_cast<std::uint8_t>(cycles), static_cast<std::uint8_t>(cycles >> 8),
              static_cast<std::uint8_t>(cycles >> 16)});
    }
  }

  // One pulse of `units`, at the tape's speed and scatter.
  void Pulse(std::uint8_t units) {
    const int spread = options_.jitter == 0
                           ? 0
                           : static_cast<int>(random_.Next() % (2 * static_cast<std::uint32_t>(options_.jitter) + 1));
    const long length = std::lround(units * options_.speed) + spread - options_.jitter;
    pulses_.push_back(static_cast<std::uint8_t>(std::clamp<long>(length, 1, 255)));
    shortsFrom_.reset();
  }

  // Bytes as they stand, after the pulses so far.
  void AddRaw(const Bytes& bytes) {
    pulses_.insert(pulses_.end(), bytes.begin(), bytes.end());
    shortsFrom_.reset();
  }

  Bytes& pulses() { return pulses_; }
  std::uint64_t Offset() const { return 20 + pulses_.size(); }

  // The file: signature, version, machine, video standard, the length field
  // (by default the true length), then the pulses.
  Bytes Build(std::string_view signature = "C64-TAPE-RAW", std::uint8_t machine = 0,
              std::optional<std::uint32_t> lengthField = std::nullopt) const {
    Bytes file(signature.begin(), signature.end());
    file.resize(20, 0);
    file[12] = static_cast<std::uint8_t>(options_.version);
    file[13] = machine;
    const std::uint32_t length = lengthField.value_or(static_cast<std::uint32_t>(pulses_.size()));
    for (std::size_t i = 0; i < 4; ++i) {
      file[16 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    }
    file.insert(file.end(), pulses_.begin(), pulses_.end());
    return file;
  }

 private:
  static constexpr std::uint8_t kFirstCopy = 0x89;
  static constexpr std::uint8_t kRepeatCopy = 0x09;

  struct Random {
    std::uint64_t state;
    std::uint32_t Next() {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      return static_cast<std::uint32_t>(state >> 33);
    }
  };

  void Shorts(std::size_t count) {
    const std::optional<std::uint64_t> from = shortsFrom_.has_value() ? shortsFrom_ : Offset();
    for (std::size_t i = 0; i < count; ++i) {
      Pulse(kShort);
    }
    shortsFrom_ = from;
  }

  // Countdown, payload, checksum, end pair; `damage` is read for a first copy.
  void WriteCopy(const Bytes& payload, std::uint8_t countdown, Damage damage) {
    Bytes bytes;
    for (std::uint8_t i = 0; i < 9; ++i) {
      bytes.push_back(static_cast<std::uint8_t>(countdown - i));
    }
    std::uint8_t sum = 0;
    for (const std::uint8_t byte : payload) {
      bytes.push_back(byte);
      sum ^= byte;
    }
    bytes.push_back(sum);
    if (damage == Damage::kFirstCountdown) {
      bytes[0] = static_cast<std::uint8_t>(countdown - 1);
    }
    const std::size_t damaged = 9 + payload.size() / 2;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (i == damaged && damage == Damage::kFirstDropout) {
        Pulse(0xFF);
        continue;
      }
      Pulse(kLong);
      Pulse(kMedium);
      unsigned check = 1;
      for (int bit = 0; bit < 9; ++bit) {
        const unsigned value = bit < 8 ? bytes[i] >> bit & 1 : check;
        check ^= value;
        // A damaged bit: its pulses swapped, its check bit as it was.
        const bool one = (value != 0) != (i == damaged && bit == 0 && damage == Damage::kFirst);
        Pulse(one ? kMedium : kShort);
        Pulse(one ? kShort : kMedium);
      }
    }
    Pulse(kLong);
    Pulse(kShort);
  }

  Options options_;
  Random random_;
  Bytes pulses_;
  std::optional<std::uint64_t> shortsFrom_;  // where the short pulses up to the end began
};

}  // namespace zumtal::testing
