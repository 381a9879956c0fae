// libFuzzer target: the bytes are an archive, named at build time (a zip, or
// a gzipped disk image), catalogued as the driver catalogues a file, with
// keep-going on for odd sizes. Reports go to memory; a read failure is an
// ordinary outcome. Anything else (a crash, a sanitizer report, a hang, an
// allocation beyond the limits) is a fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/run_failure.h"
#include "driver/catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zumtal;
  Output out;
  ReportWriter reports(out, Layout::kCsv, Collect::kNone, size % 2 == 1);
  InputFile in(std::vector<std::uint8_t>(data, data + size));
  try {
    CatalogueInput(in, ZUMTAL_FUZZ_NAME, ZUMTAL_FUZZ_NAME, 0, CatalogueContext{reports});
  } catch (const RunFailure& failure) {
    if (!failure.IsReadFailure()) {
      __builtin_trap();  // reading an archive fails only by reading
    }
  }
  return 0;
}
