// Which reader reads which extension.
#include <array>
#include <utility>

#include "readers/readers.h"

namespace zumtal {

namespace {

constexpr std::array<std::pair<std::string_view, Reader>, 3> kReaders{{
    {".PRG", ReadPrg},
    {".T64", ReadT64},
    {".D64", ReadD64},
}};

}  // namespace

std::string ExtensionKey(std::string_view fileName) {
  std::string key(fileName.substr(fileName.size() >= 4 ? fileName.size() - 4 : 0));
  for (auto& character : key) {
    if (character >= 'a' && character <= 'z') {
      character = static_cast<char>(character - 'a' + 'A');
    }
  }
  return key;
}

Reader FindReader(std::string_view extensionKey) {
  for (const auto& [key, reader] : kReaders) {
    if (key == extensionKey) {
      return reader;
    }
  }
  return nullptr;
}

}  // namespace zumtal
