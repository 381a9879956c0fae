// Inflating deflate data with zlib, fed from the input file in large steps.
#pragma once

#include <cstdint>
#include <vector>

#include "readers/input_file.h"

namespace zumtal {

enum class DeflateWrapping { kRaw, kGzip };

// Inflates the stream that begins at the input's position and lies within
// the next `available` bytes into `out`. A gzip stream may be several members
// one after another; bytes after a member that begin no other are ignored.
// Returns false as soon as the output would exceed `limit`: memory stays
// bounded whatever the stream. Data that does not inflate, a stream cut
// short, and a gzip CRC-32 or length that does not match end the run with
// status 100.
bool Inflate(InputFile& in, std::uint64_t available, DeflateWrapping wrapping, std::uint64_t limit,
             std::vector<std::uint8_t>& out);

}  // namespace zumtal
