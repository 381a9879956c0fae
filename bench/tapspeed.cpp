// The TAP decoder's speed on one core, in MB of TAP per second of processor
// time (the machine may be busy with other work).
//   tapspeed             tapes built in memory: programs as the tape
//                        routine writes them (about 50 MB), one lead-in of
//                        the whole length, and noise
//   tapspeed FILE...     the files given, each read from disk (warm)
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "readers/tap_decoder.h"
#include "tap_builder.h"

using namespace zumtal;
using namespace zumtal::testing;

namespace {

// The best of `runs` timings of `decode`, in MB/s over `bytes` bytes.
template <typename Decode>
double Rate(std::uint64_t bytes, int runs, const Decode& decode, std::size_t& programs) {
  double best = 1e30;
  for (int r = 0; r < runs; ++r) {
    programs = 0;
    const std::clock_t start = std::clock();
    decode(programs);
    best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  return static_cast<double>(bytes) / 1e6 / best;
}

void Report(const char* what, const Bytes& file) {
  std::size_t programs = 0;
  const double rate = Rate(
      file.size(), 5,
      [&file](std::size_t& count) {
        InputFile in(std::span<const std::uint8_t>(file.data(), file.size()));
        DecodeTap(in, [&count](const TapProgram&) { ++count; });
      },
      programs);
  std::printf("%-34s %7.1f MB %8.0f MB/s  %zu programs\n", what, static_cast<double>(file.size()) / 1e6, rate,
              programs);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::uint64_t total = 0;
    for (int i = 1; i < argc; ++i) {
      const auto in = InputFile::Open(argv[i]);
      total += in ? in->FileLength() : 0;
    }
    std::size_t programs = 0;
    const double rate = Rate(
        total, 5,
        [argc, argv](std::size_t& count) {
          for (int i = 1; i < argc; ++i) {
            if (const auto in = InputFile::Open(argv[i]); in && CheckTapHeader(*in) == TapCheck::kC64Tape) {
              DecodeTap(*in, [&count](const TapProgram&) { ++count; });
            }
          }
        },
        programs);
    std::printf("%d files, %.1f MB: %.0f MB/s, %zu programs\n", argc - 1, static_cast<double>(total) / 1e6, rate,
                programs);
    return 0;
  }

  TapBuilder tape({1, 1.03, 2, 99});
  std::uint32_t seed = 1;
  while (tape.Offset() < 50'000'000) {
    tape.AddProgram("PROGRAM", Program(0x0801, 1000 + seed * 7919 % 40000, seed));
    if (seed % 4 == 0) {
      tape.AddTurbo(3000);
    }
    tape.AddPause();
    ++seed;
  }
  Report("programs, version 1", tape.Build());

  TapBuilder turbo({0, 1.0, 3, 7});
  while (turbo.Offset() < 50'000'000) {
    turbo.AddTurbo(100'000);
  }
  Report("a fast loader's data", turbo.Build());

  TapBuilder leadIn({0});
  leadIn.pulses().assign(50'000'000, TapBuilder::kShort);
  Report("one lead-in", leadIn.Build());

  TapBuilder noise({0, 1.0, 0, 5});
  std::uint64_t state = 5;
  noise.pulses().resize(50'000'000);
  for (std::uint8_t& pulse : noise.pulses()) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    pulse = static_cast<std::uint8_t>(0x28 + (state >> 33) % 0x38);
  }
  Report("noise around the three lengths", noise.Build());
  return 0;
}
