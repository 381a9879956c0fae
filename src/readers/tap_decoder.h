// The programs that the C64's own tape routine saved, decoded from a TAP
// image: the raw pulse lengths of a cassette.
//
// How the pulses are read, exactly (the fuzz target holds a second, plain
// reading of the same rules, and the two must agree on every input):
//
// Pulses. Every byte from offset 20 to the end of the file is a pulse of
// 8 x its value machine cycles; the length field at 16 is not looked at. A
// zero byte is a pause in version 0; in any other version it and the next
// three bytes are one pulse whose length in cycles those three give, low
// byte first (any length, 0 included). A zero byte with fewer than three
// bytes after it ends the pulses. Lengths are compared in cycles, exactly.
//
// Lead-ins. Runs are taken greedily: a run starts at a pulse and takes the
// pulses after it for as long as every pulse of the run stays within 12% of
// the run's mean m (0.88 m <= pulse <= 1.12 m), and for at most 2^31 pulses;
// the first pulse that would break the rule (or a pause) ends it. A run of
// 64 or more pulses that the tape does not end is a lead-in; any other run
// is passed over, and the next starts at the pulse that ended it (a pause
// starts none: the next pulse does).
//
// Copies. After a lead-in, each pulse is short below 1.19 m, medium below
// 1.58 m, long below 2 m, and fits no rule from 2 m on. Pulses are read in
// pairs: long-medium starts a byte, long-short ends the copy (the pulse
// after the pair starts the next run); a byte is nine pairs, short-medium
// for 0 and medium-short for 1, eight bits lowest first, then its check bit,
// which holds when it is 1 XOR the eight bits. The first pulse that fits
// none of this ends the copy and starts the next run. A copy exists when it
// read at least one long-medium pair; its bytes are the whole bytes read.
//
// A copy's countdown is whole when its first nine bytes hold their check
// bits and are $89 down to $81 (a first copy) or $09 down to $01 (a
// repeat). A copy is good as a block of payload length N when it holds
// exactly 9 + N + 1 bytes, its countdown is whole, and its other bytes hold
// their check bits, the last of them the XOR of the N before it. How it
// ends (end pair, a pulse out of range, the end of the tape) does not
// matter. So only a payload of 192 bytes is good as both a header and data.
//
// Blocks. A copy joins the block of the copy before it when that block has
// that one copy only, that copy is not a repeat, and this copy is not a
// first copy (its countdown is not $89..$81); otherwise it starts a block.
// A block's offset is the file offset of the first pulse of its first
// copy's lead-in. Each block is decided by its first copy that is good as
// what may stand there:
// - after a program header (type 1 or 3) whose data is awaited: good as its
//   data block (payload (end - start) mod 65536 bytes) gives the program;
//   else good as a header (192 bytes, whatever its type) means the data is
//   missing, and the block is then read as a header;
// - otherwise good as a header: a program header of type 1 or 3 awaits its
//   data; any other type (data files, their blocks, end of tape) is passed
//   over.
// A block with no such copy is passed over, except when it is the awaited
// data block: the program is then damaged, with no good copy of its data.
// A program whose header is the last block, or is followed by another
// header, has its data missing.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "readers/input_file.h"

namespace zumtal {

enum class TapCheck { kC64Tape, kNotC64 };

// The file's signature, version and machine: kC64Tape for `C64-TAPE-RAW`,
// version 0 or 1, machine 0 (the C64). A file shorter than the 20 bytes of
// that header is not a C64 tape either.
TapCheck CheckTapHeader(InputFile& in);

struct TapProgram {
  enum class Data { kGood, kNoGoodCopy, kMissing };

  std::string name;       // the 16 name bytes of the header, as stored
  std::uint8_t type = 0;  // 1 or 3
  std::uint16_t start = 0;
  std::uint16_t end = 0;
  std::uint64_t headerOffset = 0;  // the header block's offset
  Data data = Data::kMissing;
  // kNoGoodCopy: the offset of the data block that has no good copy. For
  // kMissing the damage is placed at headerOffset; this is 0.
  std::uint64_t dataOffset = 0;
  // kGood: the data block's payload, Size() bytes, valid during the call.
  std::span<const std::uint8_t> bytes;

  std::uint16_t Size() const { return static_cast<std::uint16_t>(end - start); }
};

// Calls `each` for every program header with a good copy, in tape order, as
// described above. Reads the pulses once, from offset 20 to the end, in
// large steps; memory stays under 200 KiB and time linear in the file
// whatever it holds. Version 0 (byte 12) reads zero bytes as pauses, every
// other version as 4-byte pulses.
void DecodeTap(InputFile& in, const std::function<void(const TapProgram&)>& each);

}  // namespace zumtal
