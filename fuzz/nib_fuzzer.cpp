// libFuzzer target for NIB dumps and NBZ files. Each input is read as a NIB,
// then decompressed as an NBZ (checked against a plain byte-by-byte reading
// of the same rules) and, when that works, read as a NIB again. Every
// sector place of every track is asked for, twice.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "readers/nbz.h"
#include "readers/nib_image.h"

namespace {

using zumtal::NbzResult;
using zumtal::SectorPlace;
using zumtal::SectorState;

void ReadEverySector(std::span<const std::uint8_t> bytes) {
  zumtal::InputFile file(bytes);
  if (!zumtal::HasNibSignature(file)) {
    return;
  }
  zumtal::NibImage image(file);
  for (unsigned round = 0; round < 2; ++round) {
    for (unsigned track = 0; track <= 44; ++track) {
      for (unsigned sector = 0; sector <= 24; ++sector) {
        const SectorPlace place = image.Locate(static_cast<std::uint8_t>(track), static_cast<std::uint8_t>(sector));
        const bool onDisk = track >= 1 && track <= 42 && sector < zumtal::kG64Format.sectorsPerTrack[track];
        if (place.state != SectorState::kNotOnDisk && !onDisk) {
          __builtin_trap();
        }
        if (place.state == SectorState::kFound) {
          if (place.position != zumtal::kG64Format.Position(static_cast<int>(track), static_cast<int>(sector)) ||
              place.position + 256 > image.Image().size()) {
            __builtin_trap();
          }
        }
      }
    }
  }
}

// The rules, a byte at a time.
NbzResult PlainNbz(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out) {
  constexpr std::uint64_t kMost = zumtal::kNbzMostOutput;
  out.clear();
  if (size == 0) {
    return {true, 0};
  }
  const std::uint8_t marker = data[0];
  std::size_t at = 1;
  const auto number = [&](std::uint64_t& value) {
    value = 0;
    do {
      if (at == size) {
        return false;
      }
      value = std::min<std::uint64_t>(value * 128 + (data[at] & 0x7Fu), std::uint64_t{1} << 40);
    } while ((data[at++] & 0x80) != 0);
    return true;
  };
  while (at < size) {
    const std::size_t code = at;
    if (data[at] != marker || (at + 1 < size && data[at + 1] == 0)) {
      if (out.size() == kMost) {
        return {false, code};
      }
      out.push_back(data[at]);
      at += data[at] == marker ? 2 : 1;
      continue;
    }
    ++at;
    std::uint64_t length = 0;
    std::uint64_t offset = 0;
    if (at == size || !number(length) || !number(offset) || offset == 0 || offset > out.size() ||
        length > kMost - out.size()) {
      return {false, code};
    }
    for (std::uint64_t i = 0; i < length; ++i) {
      out.push_back(out[out.size() - offset]);
    }
  }
  return {true, 0};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ReadEverySector({data, size});

  zumtal::InputFile file(std::span<const std::uint8_t>(data, size));
  std::vector<std::uint8_t> out;
  const NbzResult result = zumtal::DecompressNbz(file, out);
  std::vector<std::uint8_t> want;
  const NbzResult plain = PlainNbz(data, size, want);
  if (result.ok != plain.ok || result.damagedAt != plain.damagedAt || (result.ok && out != want) ||
      (!result.ok && !out.empty()) || out.size() > zumtal::kNbzMostOutput) {
    __builtin_trap();
  }
  if (result.ok) {
    ReadEverySector(out);
  }
  return 0;
}
