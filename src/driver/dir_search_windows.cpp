// Directory search with the system's own wildcards and order.
#include <windows.h>

#include "driver/dir_search.h"

namespace zumtal {

std::vector<FoundFile> SearchDirectory(const std::string& pattern) {
  std::vector<FoundFile> found;
  const std::size_t cut = pattern.find_last_of("\\/:");
  const std::string prefix = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
  WIN32_FIND_DATAA entry{};
  const HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    return found;
  }
  constexpr DWORD kPassedOver =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY | 0x8 /* volume label */;
  do {
    if ((entry.dwFileAttributes & kPassedOver) == 0) {
      found.push_back({entry.cFileName, prefix + entry.cFileName, -1, entry.cFileName});
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return found;
}

}  // namespace zumtal
