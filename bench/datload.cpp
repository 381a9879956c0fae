// The benchmark's DAT loading: reads every DAT named, keeps them all, and
// writes the games and roms read, the time taken and the peak memory.
//   datload [--whole] DAT...
// The DATs are read a window at a time, as the program reads files, or
// with --whole each held whole in memory first.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <variant>
#include <vector>

#include "readers/dat_file.h"

int main(int argc, char** argv) {
  using namespace zumtal;
  const bool whole = argc > 1 && std::strcmp(argv[1], "--whole") == 0;
  const auto start = std::chrono::steady_clock::now();
  std::vector<DatFile> dats;
  std::size_t games = 0;
  std::size_t roms = 0;
  std::vector<std::uint8_t> window(1 << 20);
  for (int i = whole ? 2 : 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    DatResult result;
    if (whole) {
      in.seekg(0, std::ios::end);
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
      in.seekg(0);
      in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      result = ReadDatFile(bytes, argv[i]);
    } else {
      DatReader reader(argv[i]);
      while (in) {
        in.read(reinterpret_cast<char*>(window.data()), static_cast<std::streamsize>(window.size()));
        reader.Read(std::span(window.data(), static_cast<std::size_t>(in.gcount())));
      }
      result = reader.Finish();
    }
    if (const auto* error = std::get_if<DatError>(&result)) {
      std::fprintf(stderr, "datload: %s: line %llu: %s\n", argv[i], static_cast<unsigned long long>(error->line),
                   error->what.c_str());
      return 2;
    }
    dats.push_back(std::get<DatFile>(std::move(result)));
    games += dats.back().Games().size();
    roms += dats.back().Roms().size();
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%zu DATs, %zu games, %zu roms: %.3f s, peak %ld KiB\n", dats.size(), games, roms, seconds.count(),
              usage.ru_maxrss);
  return 0;
}
