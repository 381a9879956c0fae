#include <windows.h>

#include <string>

#include "report/platform_stdout.h"

namespace zumtal {

StandardOutput OpenStandardOutput() {
  StandardOutput out;
  const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
    out.error = ERROR_INVALID_HANDLE;
    return out;
  }
  out.handle = reinterpret_cast<std::intptr_t>(handle);
  out.terminal = GetFileType(handle) == FILE_TYPE_CHAR;
  return out;
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

void WriteStandardError(std::string_view line) {
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
    return;
  }
  std::string text(line);
  text.append("\r\n");
  std::size_t written = 0;
  WriteAll(reinterpret_cast<std::intptr_t>(handle), text.data(), text.size(), written);
}

}  // namespace zumtal
