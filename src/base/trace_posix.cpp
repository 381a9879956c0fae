// Stack trace for the failure lines, from glibc's unwinder.
#include <dlfcn.h>
#include <execinfo.h>

#include <cstdint>
#include <vector>

#include "base/run_failure.h"

namespace zumtal {

namespace {

std::uintptr_t ProgramBase() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ProgramBase), &info) == 0) {
    return 0;
  }
  return reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

}  // namespace

[[gnu::noinline]] std::vector<std::uint32_t> CaptureTrace(int skip) {
  constexpr int kMaxFrames = 300;
  void* frames[kMaxFrames];
  const int count = backtrace(frames, kMaxFrames);
  const std::uintptr_t base = ProgramBase();
  std::vector<std::uint32_t> trace;
  for (int i = skip; i < count; ++i) {
    Dl_info info{};
    const auto address = reinterpret_cast<std::uintptr_t>(frames[i]);
    // Only places in the program itself: library frames mean nothing to
    // addr2line on the program.
    if (dladdr(frames[i], &info) == 0 || reinterpret_cast<std::uintptr_t>(info.dli_fbase) != base) {
      continue;
    }
    // A return address points past the call; one back lands inside it.
    trace.push_back(static_cast<std::uint32_t>(address - base - 1));
  }
  return trace;
}

}  // namespace zumtal
