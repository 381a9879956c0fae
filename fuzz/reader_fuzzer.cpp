// libFuzzer target: the bytes are the input file of a reader chosen at build
// time. When the target serves several readers (one per format of the disk
// family), the first byte picks the reader and the rest is the file.
// Reports go to memory; the run-ending failure is an ordinary outcome.
// Anything else (a crash, a sanitizer report, a hang) is a fault.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/run_failure.h"
#include "readers/readers.h"
#include "report/report_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zumtal;
  static constexpr Reader kReaders[] = {ZUMTAL_FUZZ_READERS};
  constexpr std::size_t kCount = sizeof kReaders / sizeof kReaders[0];
  Reader reader = kReaders[0];
  if constexpr (kCount > 1) {
    if (size == 0) {
      return 0;
    }
    reader = kReaders[data[0] % kCount];
    ++data;
    --size;
  }
  Output out;
  constexpr Layout kLayouts[] = {Layout::kCsv, Layout::kLong, Layout::kJson};
  // Every layout, with and without keep-going.
  ReportWriter reports(out, kLayouts[size % 3], Collect::kNone, size % 2 == 1);
  InputFile in(std::span<const std::uint8_t>(data, size));
  const Format* format = &Formats().front();
  for (const Format& row : Formats()) {
    format = row.read == reader ? &row : format;
  }
  try {
    reader(in, reports, ContainerNames{"fuzz.img", "fuzz.img", *format});
  } catch (const RunFailure& failure) {
    if (failure.Code() != kReadFailure) {
      __builtin_trap();  // a reader's only failure is a read that cannot deliver
    }
  }
  return 0;
}
