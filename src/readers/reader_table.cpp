// Which reader reads which extension.
#include <array>
#include <utility>

#include "readers/readers.h"

namespace zumtal {

namespace {

constexpr std::array<std::pair<std::string_view, Reader>, 6> kReaders{{
    {".PRG", ReadPrg},
    {".T64", ReadT64},
    {".D64", ReadD64},
    {".D71", ReadD71},
    {".D81", ReadD81},
    {".G64", ReadG64},
}};

}  // namespace

Reader FindReader(std::string_view extensionKey) {
  for (const auto& [key, reader] : kReaders) {
    if (key == extensionKey) {
      return reader;
    }
  }
  return nullptr;
}

}  // namespace zumtal
