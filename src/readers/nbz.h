// NBZ files: a NIB dump compressed with a plain LZ77 coder. Byte 0 is the
// marker; after it, a byte other than the marker stands for itself, the
// marker and a 0 byte for the marker itself, and the marker and two
// variable-length numbers (length, then offset) for a copy of `length`
// bytes from `offset` bytes back in the output, which may overlap what it
// writes. A number is 7 bits a byte, the most significant group first, bit
// 7 set on every byte but its last.
#pragma once

#include <cstdint>
#include <vector>

#include "readers/input_file.h"
#include "readers/nib_image.h"

namespace zumtal {

// No NIB is larger, so no good NBZ decompresses to more.
inline constexpr std::uint64_t kNbzMostOutput = kNibLargest;

struct NbzResult {
  bool ok;
  // When not ok: the offset in the file of the code that breaks the rules,
  // its marker for a copy or an escaped marker. Codes that break them: a
  // copy from 0 bytes back or from before the start of the output, a
  // number cut by the end of the file, a marker as the last byte, and any
  // code that would take the output past kNbzMostOutput bytes.
  std::uint64_t damagedAt;
};

// Decompresses the whole file into `out`. An empty file gives no bytes. Time
// is linear in the file's size plus the output's, and `out` never holds
// more than kNbzMostOutput bytes, whatever the file holds.
NbzResult DecompressNbz(InputFile& in, std::vector<std::uint8_t>& out);

}  // namespace zumtal
