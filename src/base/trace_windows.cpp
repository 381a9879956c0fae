// Stack trace for the failure lines, from the system's frame walker.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/run_failure.h"

namespace zumtal {

[[gnu::noinline]] std::vector<std::uint32_t> CaptureTrace(int skip) {
  void* frames[62];
  const USHORT count = RtlCaptureStackBackTrace(static_cast<DWORD>(skip), 62, frames, nullptr);
  const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + static_cast<std::uintptr_t>(dos->e_lfanew));
  const std::uintptr_t size = nt->OptionalHeader.SizeOfImage;
  std::vector<std::uint32_t> trace;
  for (USHORT i = 0; i < count; ++i) {
    const auto address = reinterpret_cast<std::uintptr_t>(frames[i]);
    // Only places in the program itself; one back from a return address
    // lands inside the call.
    if (address > base && address - base < size) {
      trace.push_back(static_cast<std::uint32_t>(address - base - 1));
    }
  }
  return trace;
}

}  // namespace zumtal
