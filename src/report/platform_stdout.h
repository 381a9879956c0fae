// Platform: the process's standard output and standard error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zumtal {

// Standard output or standard error, as the process inherited it.
struct StandardStream {
  std::intptr_t handle = -1;
  bool terminal = false;
  // Non-zero when standard output is unusable from the start (closed): every
  // write then fails with this error number.
  int error = 0;
};

// Makes standard output, as the process inherited it, ready for writing.
StandardStream OpenStandardOutput();

// Standard error as the process inherited it, for the usage error and the
// progress line only.
StandardStream OpenStandardError();

// Writes all bytes; returns 0 or the system's error number. `written` counts
// the bytes that went out, also when the write fails part way.
int WriteAll(std::intptr_t handle, const char* data, std::size_t size, std::size_t& written);

}  // namespace zumtal
