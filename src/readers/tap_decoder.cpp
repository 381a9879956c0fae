// TAP decoding in one pass: the pulses come from a buffer filled in large
// steps; a tight loop measures runs, and only after a lead-in does a second
// loop read pulse pairs into bytes, a whole byte (20 pulses) at a time where
// it can. No pulse is read twice but to check a lead-in: the pulse that ends
// a run or a copy is kept in hand and starts what comes next.
//
// Runs are measured only where a lead-in can be. Two pulses in a row whose
// lengths differ by more than 28/22 (11 a > 14 b) never share a run (every
// pulse of a run lies between 0.88 m and 1.12 m), so the run that holds the
// first ends at the second, and a run starts there whatever came before.
// Between two such places fewer than 64 pulses apart no run reaches 64; a
// cheap scan passes over them (noise, fast-loader data) and the runs are
// measured from the last such place before 64 pulses without one.
#include "readers/tap_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace zumtal {

namespace {

constexpr std::uint64_t kPulsesStart = 20;
constexpr std::uint64_t kVersionOffset = 12;
constexpr std::uint64_t kMachineOffset = 13;
constexpr char kSignature[] = "C64-TAPE-RAW";
constexpr std::size_t kSignatureLength = sizeof kSignature - 1;

constexpr std::uint32_t kPause = 0xFFFFFFFF;  // longer than any threshold
constexpr std::uint32_t kMinLeadIn = 64;
constexpr std::uint32_t kMaxRun = std::uint32_t{1} << 31;  // keeps the sums below 2^55 cycles
// The fuzz target reads in small steps, to meet the buffer's end often.
#ifdef ZUMTAL_TAP_CHUNK
constexpr std::size_t kChunk = ZUMTAL_TAP_CHUNK;
#else
constexpr std::size_t kChunk = 64 * 1024;
#endif

constexpr std::uint64_t kCountdown = 9;
constexpr std::uint64_t kHeaderSize = 192;
constexpr std::size_t kPayloadLimit = 65536;  // the longest payload that can be good, and a little
constexpr std::uint8_t kFirstCountdown = 0x89;
constexpr std::uint8_t kRepeatCountdown = 0x09;
constexpr std::uint8_t kBasicProgram = 1;
constexpr std::uint8_t kFixedProgram = 3;

// The pulses of the file, in cycles, from a buffer refilled in large steps.
class Pulses {
 public:
  Pulses(InputFile& in, bool extended)
      : in_(in),
        extended_(extended),
        buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(kChunk + 3)),
        remaining_(in.FileLength() > kPulsesStart ? in.FileLength() - kPulsesStart : 0) {
    in.SeekTo(kPulsesStart);
  }

  // The next pulse, or false at the end of the pulses.
  bool Next(std::uint32_t& cycles) {
    if (at_ == end_ && !Refill()) {
      return false;
    }
    start_ = at_;
    const std::uint8_t value = buffer_[at_++];
    if (value != 0) {
      cycles = 8u * value;
      return true;
    }
    return Zero(cycles);
  }

  // The file offset of the pulse that Next gave last.
  std::uint64_t Offset() const { return base_ + start_; }

  // The bytes after that pulse that the buffer holds: each is a pulse of
  // 8 x its value cycles when it is not 0. Take(count) passes over the
  // first `count` of them, none 0, the last becoming the pulse Next gave.
  const std::uint8_t* Ahead() const { return buffer_.get() + at_; }
  std::size_t AheadCount() const { return end_ - at_; }
  std::uint64_t AheadOffset() const { return base_ + at_; }
  void Take(std::size_t count) {
    at_ += count;
    start_ = at_ - 1;
  }

 private:
  bool Refill() {
    base_ += end_;
    at_ = 0;
    end_ = 0;
    start_ = 0;
    Read(0);
    return end_ != 0;
  }
  // Reads up to a chunk after the first `kept` bytes of the buffer.
  void Read(std::size_t kept) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, kChunk));
    in_.ReadInto(buffer_.get() + kept, count);
    remaining_ -= count;
    end_ = kept + count;
  }
  bool Zero(std::uint32_t& cycles) {
    if (!extended_) {
      cycles = kPause;
      return true;
    }
    if (end_ - at_ < 3) {
      // The length runs past the buffer: keep the zero byte and what follows
      // it at the front, and read on after them.
      const std::size_t kept = end_ - start_;
      std::memmove(buffer_.get(), buffer_.get() + start_, kept);
      base_ += start_;
      at_ -= start_;
      start_ = 0;
      Read(kept);
      if (end_ - at_ < 3) {
        at_ = end_;  // too short: the pulses end at the zero byte
        return false;
      }
    }
    const std::uint8_t* length = buffer_.get() + at_;
    cycles = static_cast<std::uint32_t>(length[0] | length[1] << 8 | length[2] << 16);
    at_ += 3;
    return true;
  }

  InputFile& in_;
  const bool extended_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::uint64_t remaining_;
  std::uint64_t base_ = kPulsesStart;  // the file offset of buffer_[0]
  std::size_t at_ = 0;
  std::size_t end_ = 0;
  std::size_t start_ = 0;  // where the last pulse began
};

enum class Kind { kFirst, kRepeat, kBroken };  // by the countdown
enum Class : unsigned { kShort, kMedium, kLong, kOut };

// What the bytes of one copy make of it.
struct Copy {
  std::uint64_t bytes = 0;
  Kind kind = Kind::kBroken;  // by the countdown bytes read so far
  bool intact = true;         // countdown whole, every check bit so far holds
  std::uint8_t sum = 0;
  bool headerSum = false;  // the byte after 192 payload bytes held their checksum
  bool dataSum = false;    // the byte after the awaited data block's payload did

  // The countdown's kind once it is whole.
  Kind Countdown() const { return bytes >= kCountdown ? kind : Kind::kBroken; }
  // Good: exactly the countdown, the payload and the checksum byte.
  bool GoodAs(std::uint64_t size, bool sumHolds) const { return sumHolds && bytes == kCountdown + size + 1; }
};

std::uint64_t Ceiling(std::uint64_t numerator, std::uint64_t denominator) {
  return numerator / denominator + (numerator % denominator != 0 ? 1 : 0);
}

// A run of pulses, each within 12% of their mean.
struct Stretch {
  std::uint64_t start;  // the file offset of its first pulse
  std::uint64_t sum;
  std::uint32_t count;
  std::uint32_t low;
  std::uint32_t high;

  // Takes the pulse in when the run stays within the rule.
  bool Extend(std::uint32_t cycles) {
    const std::uint64_t newSum = sum + cycles;
    const std::uint32_t newLow = std::min(low, cycles);
    const std::uint32_t newHigh = std::max(high, cycles);
    const std::uint64_t scaled = 25 * std::uint64_t{count + 1};
    if (count == kMaxRun || scaled * newHigh > 28 * newSum || scaled * newLow < 22 * newSum) {
      return false;
    }
    sum = newSum;
    low = newLow;
    high = newHigh;
    ++count;
    return true;
  }
};

class Decoder {
 public:
  Decoder(InputFile& in, bool extended, const std::function<void(const TapProgram&)>& each)
      : pulses_(in, extended), each_(each), payload_(std::make_unique_for_overwrite<std::uint8_t[]>(kPayloadLimit)) {}

  void Run() {
    Advance();
    while (have_) {
      if (pulse_ == kPause) {
        Advance();
        continue;
      }
      Stretch run{pulses_.Offset(), pulse_, 1, pulse_, pulse_};
      if (FindLeadIn(run)) {
        ReadCopy(run.start, run.count, run.sum);
      }
    }
    CloseBlock();
    if (pending_) {
      Emit(TapProgram::Data::kMissing);
    }
  }

 private:
  // Runs on from `run` (its pulses taken) until a run of at least 64 pulses
  // ends: true, with `run` that lead-in and the pulse that ended it in hand.
  // False when the tape ends, or when a run shorter than 64 ends at a pulse
  // read the slow way (a 0 byte, the first of a buffer): Run() goes on from
  // the pulse in hand.
  bool FindLeadIn(Stretch& run) {
    for (;;) {
      if (run.count == 1) {
        SkipToQuiet(run);
      }
      const std::uint8_t* ahead = pulses_.Ahead();
      const std::size_t count = pulses_.AheadCount();
      std::size_t i = 0;
      while (i < count && ahead[i] != 0 && run.Extend(8u * ahead[i])) {
        ++i;
      }
      if (i < count && ahead[i] != 0) {
        pulses_.Take(i + 1);
        pulse_ = 8u * ahead[i];
        if (run.count >= kMinLeadIn) {
          return true;
        }
        run = {pulses_.Offset(), pulse_, 1, pulse_, pulse_};
        continue;
      }
      if (i != 0) {
        pulses_.Take(i);
      }
      if (!Advance()) {
        return false;
      }
      if (pulse_ == kPause || !run.Extend(pulse_)) {
        return run.count >= kMinLeadIn;
      }
    }
  }

  // From a run's first pulse (in hand), moves on to the last pulse where a
  // run must start (see the top of the file) before 64 pulses in a row that
  // could share one; stops short of a 0 or the buffer's end. `run` is then
  // the new pulse in hand.
  void SkipToQuiet(Stretch& run) {
    const std::uint8_t* ahead = pulses_.Ahead();
    const std::size_t count = pulses_.AheadCount();
    std::uint32_t before = pulse_;
    std::size_t quiet = 0;      // pulses in a row, up to ahead[i], that could share a run with the one before
    std::size_t start = count;  // the last place where a run must start (count: the pulse in hand)
    for (std::size_t i = 0; i < count && ahead[i] != 0 && quiet < kMinLeadIn - 1; ++i) {
      const std::uint32_t cycles = 8u * ahead[i];
      // Masks rather than branches: in noise, either way is as likely.
      const std::size_t apart = std::size_t{11 * before > 14 * cycles} | std::size_t{11 * cycles > 14 * before};
      quiet = (quiet + 1) & (apart - 1);
      start += (i - start) & (0 - apart);
      before = cycles;
    }
    if (start != count) {
      pulses_.Take(start + 1);
      pulse_ = 8u * ahead[start];
      run = {pulses_.Offset(), pulse_, 1, pulse_, pulse_};
    }
  }

  bool Advance() {
    have_ = pulses_.Next(pulse_);
    return have_;
  }
  Class Classify(std::uint64_t cycles) const {
    return static_cast<Class>(unsigned{cycles >= short_} + unsigned{cycles >= medium_} + unsigned{cycles >= long_});
  }
  Class Classify() const { return Classify(pulse_); }

  // A whole byte from the pulse in hand (long) and the 19 bytes ahead, when
  // all of them are pulses that make one; false leaves it to the slow way.
  // `parity` is then 1 XOR the eight bits XOR the check bit: 0 when it holds.
  bool FastByte(unsigned& value, unsigned& parity) const {
    const std::uint8_t* ahead = pulses_.Ahead();
    unsigned bad = unsigned{Classify(8u * ahead[0]) != kMedium};
    unsigned zeros = ahead[0];
    value = 0;
    parity = 1;
    for (unsigned bit = 0; bit < 9; ++bit) {
      const unsigned first = Classify(8u * ahead[1 + 2 * bit]);
      const unsigned second = Classify(8u * ahead[2 + 2 * bit]);
      zeros = std::min<unsigned>(zeros, std::min(ahead[1 + 2 * bit], ahead[2 + 2 * bit]));
      bad |= (~0x12u >> (4 * first + second)) & 1;  // only short-medium and medium-short
      value |= (first & 1) << bit;
      parity ^= first & 1;
    }
    return bad == 0 && zeros != 0;
  }

  // The byte that starts at the pulse in hand (long), a pulse at a time;
  // false when the copy ends first. `started` is set once a long-medium pair
  // is read.
  bool SlowByte(unsigned& value, unsigned& parity, bool& started) {
    value = 0;
    parity = 1;
    if (!Advance()) {
      return false;
    }
    const Class second = Classify();
    if (second == kShort) {
      Advance();  // the end pair
      return false;
    }
    if (second != kMedium) {
      return false;
    }
    started = true;
    for (unsigned bit = 0; bit < 9; ++bit) {
      const Class first = Advance() ? Classify() : kOut;
      if (first > kMedium || !Advance() || Classify() != (first == kShort ? kMedium : kShort)) {
        return false;
      }
      value |= first << bit;
      parity ^= first;
    }
    return true;
  }

  // Reads the copy that starts at the pulse in hand, after a lead-in of
  // `count` pulses summing `sum` cycles.
  void ReadCopy(std::uint64_t offset, std::uint32_t count, std::uint64_t sum) {
    const std::uint64_t scale = 100 * std::uint64_t{count};
    short_ = Ceiling(119 * sum, scale);
    medium_ = Ceiling(158 * sum, scale);
    long_ = Ceiling(200 * sum, scale);
    Copy copy;
    bool started = false;
    while (Classify() == kLong) {
      unsigned value = 0;
      unsigned parity = 1;
      if (pulses_.AheadCount() >= 19 && FastByte(value, parity)) {
        pulses_.Take(19);
      } else if (!SlowByte(value, parity, started)) {
        break;
      }
      started = true;
      TakeByte(copy, static_cast<std::uint8_t>(value), parity == 0);
      if (!Advance()) {
        break;
      }
    }
    if (started) {
      TakeCopy(offset, copy);
    }
  }

  void TakeByte(Copy& copy, std::uint8_t value, bool holds) {
    const std::uint64_t index = copy.bytes++;
    copy.intact = copy.intact && holds;
    if (index < kCountdown) {
      const Kind kind = index != 0                  ? copy.kind
                        : value == kFirstCountdown  ? Kind::kFirst
                        : value == kRepeatCountdown ? Kind::kRepeat
                                                    : Kind::kBroken;
      const unsigned counted = (kind == Kind::kFirst ? kFirstCountdown : kRepeatCountdown) - unsigned(index);
      copy.kind = holds && value == counted ? kind : Kind::kBroken;
      copy.intact = copy.intact && copy.kind != Kind::kBroken;
      return;
    }
    const std::uint64_t at = index - kCountdown;
    if (copy.intact && copy.sum == value) {
      copy.headerSum = copy.headerSum || at == kHeaderSize;
      copy.dataSum = copy.dataSum || (pending_ && at == dataSize_);
    }
    if (at < kPayloadLimit) {
      payload_[static_cast<std::size_t>(at)] = value;
    }
    copy.sum ^= value;
  }

  void TakeCopy(std::uint64_t offset, const Copy& copy) {
    const Kind kind = copy.Countdown();
    const bool joins = blockOpen_ && blockCopies_ == 1 && blockKind_ != Kind::kRepeat && kind != Kind::kFirst;
    if (joins) {
      blockCopies_ = 2;
    } else {
      CloseBlock();
      blockOpen_ = true;
      blockCopies_ = 1;
      blockKind_ = kind;
      blockDecided_ = false;
      blockOffset_ = offset;
    }
    if (blockDecided_) {
      return;
    }
    if (pending_ && copy.GoodAs(dataSize_, copy.dataSum)) {
      blockDecided_ = true;
      Emit(TapProgram::Data::kGood);
      return;
    }
    if (!copy.GoodAs(kHeaderSize, copy.headerSum)) {
      return;
    }
    blockDecided_ = true;
    if (pending_) {
      Emit(TapProgram::Data::kMissing);
    }
    const std::uint8_t type = payload_[0];
    if (type == kBasicProgram || type == kFixedProgram) {
      pending_ = true;
      program_.type = type;
      program_.start = static_cast<std::uint16_t>(payload_[1] | payload_[2] << 8);
      program_.end = static_cast<std::uint16_t>(payload_[3] | payload_[4] << 8);
      program_.name.assign(reinterpret_cast<const char*>(payload_.get() + 5), 16);
      program_.headerOffset = blockOffset_;
      dataSize_ = program_.Size();
    }
  }

  // Ends the open block: if it was the awaited data block and no copy of it
  // was good, the program has no good copy of its data.
  void CloseBlock() {
    if (blockOpen_ && !blockDecided_ && pending_) {
      program_.dataOffset = blockOffset_;
      Emit(TapProgram::Data::kNoGoodCopy);
    }
    blockOpen_ = false;
  }

  void Emit(TapProgram::Data data) {
    pending_ = false;
    program_.data = data;
    program_.bytes = data == TapProgram::Data::kGood ? std::span<const std::uint8_t>(payload_.get(), dataSize_)
                                                     : std::span<const std::uint8_t>();
    if (data != TapProgram::Data::kNoGoodCopy) {
      program_.dataOffset = 0;
    }
    each_(program_);
  }

  Pulses pulses_;
  const std::function<void(const TapProgram&)>& each_;
  std::unique_ptr<std::uint8_t[]> payload_;  // the payload of the copy being read
  std::uint32_t pulse_ = 0;                  // the pulse in hand
  bool have_ = false;
  std::uint64_t short_ = 0;  // the thresholds of the copy being read, in cycles
  std::uint64_t medium_ = 0;
  std::uint64_t long_ = 0;

  bool blockOpen_ = false;
  bool blockDecided_ = false;
  int blockCopies_ = 0;
  Kind blockKind_ = Kind::kBroken;  // of its first copy
  std::uint64_t blockOffset_ = 0;

  bool pending_ = false;  // program_ awaits its data block
  std::size_t dataSize_ = 0;
  TapProgram program_;
};

}  // namespace

TapCheck CheckTapHeader(InputFile& in) {
  if (in.FileLength() < kPulsesStart) {
    return TapCheck::kNotC64;
  }
  in.SeekTo(0);
  const std::string signature = in.ReadText(kSignatureLength);
  in.SeekTo(kVersionOffset);
  const std::uint8_t version = in.ReadByte();
  in.SeekTo(kMachineOffset);
  const std::uint8_t machine = in.ReadByte();
  return signature == kSignature && version <= 1 && machine == 0 ? TapCheck::kC64Tape : TapCheck::kNotC64;
}

void DecodeTap(InputFile& in, const std::function<void(const TapProgram&)>& each) {
  bool extended = true;
  if (in.FileLength() > kVersionOffset) {
    in.SeekTo(kVersionOffset);
    extended = in.ReadByte() != 0;
  }
  Decoder(in, extended, each).Run();
}

}  // namespace zumtal
