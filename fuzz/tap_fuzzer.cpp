// libFuzzer target for the TAP decoder: each input is a whole TAP file,
// version byte included. The decoder's programs are checked against a plain
// reading of the same rules, a pass each: every pulse into a list, the
// copies found after the lead-ins, their blocks, then the programs. The
// header check is checked the same way.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "readers/tap_decoder.h"

namespace {

__extension__ typedef unsigned __int128 Wide;

struct Pulse {
  std::uint64_t offset;
  std::uint64_t cycles;
  bool pause;
};

struct Copy {
  std::uint64_t offset;  // of its lead-in's first pulse
  std::vector<std::uint8_t> bytes;
  std::vector<bool> holds;  // each byte's check bit
};

struct Program {
  std::string name;
  int type;
  unsigned start;
  unsigned end;
  std::uint64_t headerOffset;
  int data;  // 0 good, 1 no good copy, 2 missing
  std::uint64_t dataOffset;
  std::vector<std::uint8_t> bytes;

  bool operator==(const Program&) const = default;
};

std::vector<Pulse> ReadPulses(const std::uint8_t* data, std::size_t size) {
  const bool extended = size <= 12 || data[12] != 0;
  std::vector<Pulse> pulses;
  for (std::size_t i = 20; i < size;) {
    if (data[i] != 0) {
      pulses.push_back({i, 8u * data[i], false});
      i += 1;
    } else if (!extended) {
      pulses.push_back({i, 0, true});
      i += 1;
    } else if (i + 3 < size) {
      pulses.push_back({i, data[i + 1] + 256u * data[i + 2] + 65536u * data[i + 3], false});
      i += 4;
    } else {
      break;
    }
  }
  return pulses;
}

enum { kShort, kMedium, kLong, kOut };

std::vector<Copy> FindCopies(const std::vector<Pulse>& p) {
  std::vector<Copy> copies;
  const std::size_t n = p.size();
  std::size_t i = 0;
  while (i < n) {
    if (p[i].pause) {
      ++i;
      continue;
    }
    // The run from i: as long as every pulse in it is within 12% of its mean.
    Wide sum = p[i].cycles;
    std::uint64_t low = p[i].cycles;
    std::uint64_t high = p[i].cycles;
    std::size_t j = i + 1;
    for (; j < n && !p[j].pause && j - i < (std::size_t{1} << 31); ++j) {
      const Wide s = sum + p[j].cycles;
      const std::uint64_t lo = std::min(low, p[j].cycles);
      const std::uint64_t hi = std::max(high, p[j].cycles);
      const Wide count = j - i + 1;
      if (100 * count * hi > 112 * s || 100 * count * lo < 88 * s) {
        break;
      }
      sum = s;
      low = lo;
      high = hi;
    }
    if (j == n || j - i < 64) {
      i = j;
      continue;
    }
    const Wide count = j - i;
    auto kind = [&](std::size_t k) {
      const Wide x = 100 * count * p[k].cycles;
      return p[k].pause ? kOut : x < 119 * sum ? kShort : x < 158 * sum ? kMedium : x < 200 * sum ? kLong : kOut;
    };
    Copy copy{p[i].offset, {}, {}};
    bool started = false;
    std::size_t k = j;  // where the next run starts
    for (;;) {
      if (k >= n || kind(k) != kLong) {
        break;
      }
      if (k + 1 >= n) {
        k = n;
        break;
      }
      if (kind(k + 1) == kShort) {
        k += 2;
        break;
      }
      if (kind(k + 1) != kMedium) {
        k += 1;
        break;
      }
      started = true;
      int bits[9];
      std::size_t at = k + 2;
      bool whole = true;
      for (int b = 0; b < 9 && whole; ++b) {
        if (at >= n) {
          at = n;
          whole = false;
        } else if (kind(at) != kShort && kind(at) != kMedium) {
          whole = false;
        } else if (at + 1 >= n) {
          at = n;
          whole = false;
        } else if (kind(at + 1) != (kind(at) == kShort ? kMedium : kShort)) {
          at += 1;
          whole = false;
        } else {
          bits[b] = kind(at) == kMedium ? 1 : 0;
          at += 2;
        }
      }
      k = at;
      if (!whole) {
        break;
      }
      int value = 0;
      int parity = 1;
      for (int b = 0; b < 8; ++b) {
        value |= bits[b] << b;
        parity ^= bits[b];
      }
      copy.bytes.push_back(static_cast<std::uint8_t>(value));
      copy.holds.push_back(bits[8] == parity);
    }
    if (started) {
      copies.push_back(copy);
    }
    i = k;
  }
  return copies;
}

// 1 first copy, 2 repeat, 0 neither.
int CountdownOf(const Copy& copy) {
  for (const int base : {0x89, 0x09}) {
    bool whole = copy.bytes.size() >= 9;
    for (std::size_t k = 0; k < 9 && whole; ++k) {
      whole = copy.holds[k] && copy.bytes[k] == base - static_cast<int>(k);
    }
    if (whole) {
      return base == 0x89 ? 1 : 2;
    }
  }
  return 0;
}

bool GoodAs(const Copy& copy, std::size_t size) {
  if (CountdownOf(copy) == 0 || copy.bytes.size() != 9 + size + 1) {
    return false;
  }
  std::uint8_t sum = 0;
  for (std::size_t k = 9; k < copy.bytes.size(); ++k) {
    if (!copy.holds[k]) {
      return false;
    }
    sum = static_cast<std::uint8_t>(sum ^ copy.bytes[k]);
  }
  return sum == 0;
}

std::vector<Program> Plain(const std::uint8_t* data, std::size_t size) {
  const std::vector<Copy> copies = FindCopies(ReadPulses(data, size));
  std::vector<std::vector<const Copy*>> blocks;
  for (const Copy& copy : copies) {
    if (!blocks.empty() && blocks.back().size() == 1 && CountdownOf(*blocks.back()[0]) != 2 && CountdownOf(copy) != 1) {
      blocks.back().push_back(&copy);
    } else {
      blocks.push_back({&copy});
    }
  }
  std::vector<Program> programs;
  std::optional<Program> pending;
  for (const auto& block : blocks) {
    bool decided = false;
    for (const Copy* copy : block) {
      // The payload of a good copy: after the countdown, before the checksum.
      auto payload = [copy] { return std::vector<std::uint8_t>(copy->bytes.begin() + 9, copy->bytes.end() - 1); };
      if (pending && GoodAs(*copy, (pending->end - pending->start) & 0xFFFF)) {
        pending->data = 0;
        pending->bytes = payload();
        programs.push_back(*pending);
        pending.reset();
        decided = true;
        break;
      }
      if (GoodAs(*copy, 192)) {
        if (pending) {
          programs.push_back(*pending);
          pending.reset();
        }
        const std::vector<std::uint8_t> header = payload();
        if (header[0] == 1 || header[0] == 3) {
          // Its data missing until a block says otherwise.
          pending = Program{std::string(header.begin() + 5, header.begin() + 21),
                            header[0],
                            header[1] + 256u * header[2],
                            header[3] + 256u * header[4],
                            block[0]->offset,
                            2,
                            0,
                            {}};
        }
        decided = true;
        break;
      }
    }
    if (!decided && pending) {
      pending->data = 1;
      pending->dataOffset = block[0]->offset;
      programs.push_back(*pending);
      pending.reset();
    }
  }
  if (pending) {
    programs.push_back(*pending);
  }
  return programs;
}

void Print(const char* title, const std::vector<Program>& programs) {
  std::fprintf(stderr, "%s:\n", title);
  for (const Program& p : programs) {
    std::fprintf(stderr, "  type %d %04X-%04X header @%llu data %d @%llu, %zu bytes\n", p.type, p.start, p.end,
                 static_cast<unsigned long long>(p.headerOffset), p.data, static_cast<unsigned long long>(p.dataOffset),
                 p.bytes.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zumtal::InputFile in(std::span<const std::uint8_t>(data, size));
  const bool c64 = size >= 20 && std::memcmp(data, "C64-TAPE-RAW", 12) == 0 && data[12] <= 1 && data[13] == 0;
  if ((zumtal::CheckTapHeader(in) == zumtal::TapCheck::kC64Tape) != c64) {
    __builtin_trap();
  }
  std::vector<Program> got;
  zumtal::DecodeTap(in, [&got](const zumtal::TapProgram& p) {
    got.push_back({p.name, p.type, p.start, p.end, p.headerOffset, static_cast<int>(p.data), p.dataOffset,
                   std::vector<std::uint8_t>(p.bytes.begin(), p.bytes.end())});
  });
  const std::vector<Program> want = Plain(data, size);
  if (got != want) {
    Print("decoder", got);
    Print("plain reading", want);
    __builtin_trap();
  }
  return 0;
}
