// Platform: opening, reading and closing an input file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zumtal {

struct FileHandle {
  std::intptr_t value = -1;
};

// What the system says of an open file.
struct FileFacts {
  std::uint64_t length = 0;
  std::int64_t modifiedNs = 0;  // nanoseconds since 1970, as fine as the system keeps them
};

// Opens an existing regular file read-only, shared; a relative path is taken
// in the directory of the handle `directory` (from the directory walk), or
// in the current directory when that is -1. False when it cannot be opened,
// for whatever reason.
bool OpenForReading(const std::string& path, std::intptr_t directory, FileHandle& handle, FileFacts& facts);

// A Windows file time (100 ns steps since 1601) in nanoseconds since 1970.
constexpr std::int64_t NsFromFileTime(std::uint64_t steps) {
  constexpr std::int64_t kEpochSteps = 116444736000000000;
  return (static_cast<std::int64_t>(steps) - kEpochSteps) * 100;
}

// Reads up to `size` bytes at `offset`; returns the count (0 at the end) or
// -1 on a read error.
std::int64_t ReadAt(FileHandle handle, std::uint64_t offset, std::uint8_t* buffer, std::size_t size);

// As ReadAt, from the system's cache alone: kNotCached when the bytes at
// `offset` would have to wait for the disk (a count short of `size` may
// also mean that the rest would). Where the system cannot tell, a plain read.
inline constexpr std::int64_t kNotCached = -2;
std::int64_t ReadCachedAt(FileHandle handle, std::uint64_t offset, std::uint8_t* buffer, std::size_t size);

// Asks the system to read the whole file ahead, without waiting for it.
void ReadAhead(FileHandle handle);

// Returns 0 or the system's error number.
int CloseFile(FileHandle handle);

// The number of processor cores that this process may run on.
unsigned AvailableCores();

}  // namespace zumtal
