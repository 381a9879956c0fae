// libFuzzer target: the bytes are a DAT, of either form. Read whole and read
// in pieces (of a size that the input picks), it must give the same games,
// roms and names, or the same error. A crash, a sanitizer report, a hang or
// a difference is a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "readers/dat_file.h"

namespace {

using namespace zumtal;

// Everything a DAT holds, as bytes to compare.
std::string Flatten(const DatResult& result) {
  if (const auto* error = std::get_if<DatError>(&result)) {
    return "error " + std::to_string(error->line) + " " + error->what;
  }
  const auto& dat = std::get<DatFile>(result);
  std::string flat(dat.Name());
  for (std::size_t g = 0; g < dat.Games().size(); ++g) {
    const DatGame& game = dat.Games()[g];
    flat += '\0' + std::string(dat.Text(game.name)) + '\0' + std::string(dat.Text(game.description));
    for (const auto& rom : dat.RomsOf(game)) {
      if (rom.game != g) {
        __builtin_trap();  // a rom names another game than the one it is under
      }
      flat += '\0' + std::string(dat.Text(rom.name)) + '\0' + std::to_string(rom.hasSize ? rom.size : ~0ull) + '\0' +
              std::to_string(rom.hasCrc ? rom.crc : ~0ull) + '\0';
      flat.append(reinterpret_cast<const char*>(rom.md5.data()), rom.hasMd5 ? rom.md5.size() : 0);
      flat.append(reinterpret_cast<const char*>(rom.sha1.data()), rom.hasSha1 ? rom.sha1.size() : 0);
      if (!rom.hasCrc && !rom.hasSha1) {
        __builtin_trap();  // a rom without either hash is kept
      }
    }
  }
  return flat;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const std::string whole = Flatten(ReadDatFile(bytes, "fuzz.dat"));
  const std::size_t piece = 1 + size % 61;
  DatReader reader("fuzz.dat");
  for (std::size_t at = 0; at < size; at += piece) {
    reader.Read(bytes.subspan(at, std::min(piece, size - at)));
  }
  if (Flatten(reader.Finish()) != whole) {
    __builtin_trap();  // reading in pieces changed the outcome
  }
  return 0;
}
