// libFuzzer target: the bytes are the input file of one reader, chosen at
// build time. Reports go to memory; the run-ending failure is an ordinary
// outcome. Anything else (a crash, a sanitizer report, a hang) is a fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "driver/run_failure.h"
#include "readers/readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zumtal;
  Output out;
  constexpr Layout kLayouts[] = {Layout::kCsv, Layout::kLong, Layout::kJson};
  ReportWriter reports(out, kLayouts[size % 3]);
  InputFile in(std::vector<std::uint8_t>(data, data + size));
  try {
    ZUMTAL_FUZZ_READER(in, reports, ContainerNames{"fuzz.img", "fuzz.img"});
  } catch (const RunFailure& failure) {
    if (failure.Code() != kReadFailure) {
      __builtin_trap();  // a reader's only failure is a read that cannot deliver
    }
  }
  return 0;
}
