// Which reader reads which extension: the exact keys first, then the PC64
// files' numbered ones.
#include <array>
#include <utility>

#include "readers/readers.h"

namespace zumtal {

namespace {

constexpr std::array<std::pair<std::string_view, Reader>, 7> kReaders{{
    {".PRG", ReadPrg},
    {".T64", ReadT64},
    {".D64", ReadD64},
    {".D71", ReadD71},
    {".D81", ReadD81},
    {".LNX", ReadLnx},
    {".G64", ReadG64},
}};

// Disk images whose extensions have the form of a PC64 deleted file's.
constexpr std::string_view kDiskImageKeys[] = {".D64", ".D71", ".D81"};

bool IsDigit(char character) { return character >= '0' && character <= '9'; }

// ".P00" to ".P99" hold programs; ".S", ".U", ".R" and ".D" with two digits
// the other file types.
Reader FindPc64Reader(std::string_view key) {
  if (key.size() != 4 || key[0] != '.' || !IsDigit(key[2]) || !IsDigit(key[3])) {
    return nullptr;
  }
  for (const std::string_view disk : kDiskImageKeys) {
    if (key == disk) {
      return nullptr;
    }
  }
  switch (key[1]) {
    case 'P':
      return ReadP00;
    case 'S':
    case 'U':
    case 'R':
    case 'D':
      return ReadPc64NonProgram;
    default:
      return nullptr;
  }
}

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
  return FindPc64Reader(extensionKey);
}

}  // namespace zumtal
