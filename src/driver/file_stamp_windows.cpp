#include <windows.h>

#include "driver/file_stamp.h"
#include "readers/platform_file.h"

namespace zumtal {

char PathSeparator() { return '\\'; }

std::string AbsolutePath(const std::string& path) {
  char buffer[MAX_PATH * 4];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (length == 0 || length >= sizeof buffer) {
    return {};
  }
  return std::string(buffer, length);
}

std::string AbsoluteFolder(const std::string& path) {
  std::string folder = AbsolutePath(path);
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) {
    folder.pop_back();
  }
  return folder;
}

std::string StampPath(const FoundFile& file) { return AbsolutePath(file.path); }

bool StampFile(const FoundFile& file, FileStamp& stamp) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(file.path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  stamp.path = StampPath(file);
  stamp.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  stamp.modifiedNs = NsFromFileTime((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                    data.ftLastWriteTime.dwLowDateTime);
  return !stamp.path.empty();
}

}  // namespace zumtal
