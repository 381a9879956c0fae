#include <windows.h>

#include <string>

#include "report/platform_stdout.h"

namespace zumtal {

StandardStream OpenStandardOutput() {
  StandardStream out;
  const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
    out.error = ERROR_INVALID_HANDLE;
    return out;
  }
  out.handle = reinterpret_cast<std::intptr_t>(handle);
  out.terminal = GetFileType(handle) == FILE_TYPE_CHAR;
  return out;
}

StandardStream OpenStandardError() {
  StandardStream err;
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
    err.error = ERROR_INVALID_HANDLE;
    return err;
  }
  err.handle = reinterpret_cast<std::intptr_t>(handle);
  err.terminal = GetFileType(handle) == FILE_TYPE_CHAR;
  return err;
}

int WriteAll(std::intptr_t handle, const char* data, std::size_t size, std::size_t& written) {
  written = 0;
  while (written < size) {
    DWORD count = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle), data + written, static_cast<DWORD>(size - written), &count,
                   nullptr)) {
      return static_cast<int>(GetLastError());
    }
    written += count;
  }
  return 0;
}

}  // namespace zumtal
