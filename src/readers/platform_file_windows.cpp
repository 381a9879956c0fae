#include <windows.h>

#include "readers/platform_file.h"

namespace zumtal {

namespace {
HANDLE ToHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle.value); }
}  // namespace

bool OpenForReading(const std::string& path, std::intptr_t directory, FileHandle& handle, FileFacts& facts) {
  (void)directory;  // the walk hands over whole paths here
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  LARGE_INTEGER size{};
  FILETIME written{};
  // Devices and pipes are not files to catalogue.
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size) ||
      !GetFileTime(file, nullptr, nullptr, &written)) {
    CloseHandle(file);
    return false;
  }
  handle.value = reinterpret_cast<std::intptr_t>(file);
  facts.length = static_cast<std::uint64_t>(size.QuadPart);
  facts.modifiedNs = NsFromFileTime((static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime);
  return true;
}

std::int64_t ReadAt(FileHandle handle, std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
  LONG high = static_cast<LONG>(offset >> 32);
  if (SetFilePointer(ToHandle(handle), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN) ==
          INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    return -1;
  }
  DWORD count = 0;
  if (!ReadFile(ToHandle(handle), buffer, static_cast<DWORD>(size), &count, nullptr)) {
    return -1;
  }
  return count;
}

std::int64_t ReadCachedAt(FileHandle handle, std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
  return ReadAt(handle, offset, buffer, size);
}

// The system reads ahead on its own as a file is read in order.
void ReadAhead(FileHandle handle) { (void)handle; }

int CloseFile(FileHandle handle) { return CloseHandle(ToHandle(handle)) ? 0 : static_cast<int>(GetLastError()); }

unsigned AvailableCores() {
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) {
    return 1;
  }
  unsigned count = 0;
  for (; process != 0; process &= process - 1) {
    ++count;
  }
  return count;
}

}  // namespace zumtal
