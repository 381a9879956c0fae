// A cartridge image: a header (the signature "C64 CARTRIDGE   ", its own
// length, version, hardware type, the EXROM and GAME lines, and at byte 32
// the cartridge's name, 32 bytes padded with zero bytes), then CHIP packets
// up to the end of the file, each a 16-byte header (the signature "CHIP", the
// packet's length with this header, chip type, bank, load address and the
// ROM's size) and the ROM's bytes. All numbers are big-endian.
//
// The whole cartridge is one program: the first packet's load address, then
// every packet's ROM in file order. Packets are read one at a time and summed
// as they are met, so neither their number nor their lengths cost memory.
#include <algorithm>
#include <string>

#include "base/run_failure.h"
#include "readers/names.h"
#include "readers/readers.h"

namespace zumtal {

namespace {

constexpr std::string_view kSignature = "C64 CARTRIDGE   ";
constexpr std::uint64_t kHeaderLengthAt = 16;
constexpr std::uint64_t kShortestHeader = 64;
constexpr std::uint64_t kNameAt = 32;
constexpr std::size_t kNameLength = 32;
constexpr std::string_view kChip = "CHIP";
constexpr std::uint64_t kChipHeader = 16;

std::uint16_t ReadBigWord(InputFile& in) {
  const std::uint16_t high = in.ReadByte();
  return static_cast<std::uint16_t>(high << 8 | in.ReadByte());
}

std::uint32_t ReadBigLong(InputFile& in) {
  const std::uint32_t high = ReadBigWord(in);
  return high << 16 | ReadBigWord(in);
}

struct Chip {
  std::uint16_t loadAddress;
  std::uint16_t romSize;
  std::uint64_t length;
};

// The packet at `at`, which lies before the end of the file, checked to lie
// whole within the file and to hold its ROM.
Chip ReadChip(InputFile& in, std::uint64_t at) {
  const std::uint64_t fileLength = in.FileLength();
  const auto fail = [at](const std::string& what) {
    FailRead("CHIP packet at byte " + std::to_string(at) + ": " + what);
  };
  const std::uint64_t left = fileLength - at;
  in.SeekTo(at);
  if (left < kChip.size() || in.ReadText(kChip.size()) != kChip) {
    fail("no CHIP signature");
  }
  if (left < kChipHeader) {
    fail("header cut short (" + std::to_string(left) + " of 16 bytes)");
  }
  Chip chip{};
  chip.length = ReadBigLong(in);
  if (chip.length < kChipHeader) {
    fail("length " + std::to_string(chip.length) + " below 16");
  }
  if (chip.length > left) {
    fail("length " + std::to_string(chip.length) + " past the end of the file (" + std::to_string(fileLength) +
         " bytes)");
  }
  ReadBigWord(in);  // chip type
  ReadBigWord(in);  // bank
  chip.loadAddress = ReadBigWord(in);
  chip.romSize = ReadBigWord(in);
  if (chip.romSize > chip.length - kChipHeader) {
    fail("ROM of " + std::to_string(chip.romSize) + " bytes larger than its packet");
  }
  return chip;
}

}  // namespace

void ReadCrt(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  const std::uint64_t fileLength = in.FileLength();
  in.SeekTo(0);
  if (fileLength < kSignature.size() || in.ReadText(kSignature.size()) != kSignature) {
    sink.NotC64(names.pcFileName);
    return;
  }
  // Packets begin at the end of the header; the name lies within any header.
  in.SeekTo(kHeaderLengthAt);
  std::uint64_t at = fileLength >= kHeaderLengthAt + 4 ? ReadBigLong(in) : 0;
  at = std::max(at, kShortestHeader);
  if (at >= fileLength) {
    FailRead("no CHIP packet");
  }

  EntryReport report = OneProgramReport(in, names, kNameAt, kNameLength);

  std::uint32_t sum = 0;
  for (bool first = true; at < fileLength; first = false) {
    const Chip chip = ReadChip(in, at);
    if (first) {
      report.loadAddress = chip.loadAddress;
      sink.BeginProgram(in, report.loadAddress);
    }
    in.SeekTo(at + kChipHeader);
    sum += in.SumBytes(chip.romSize);
    report.size += chip.romSize;
    at += chip.length;
  }
  report.rawCrc = static_cast<std::int32_t>(sum);
  sink.EndProgram(report, names.format);
}

}  // namespace zumtal
