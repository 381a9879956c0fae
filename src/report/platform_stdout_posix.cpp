#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "report/platform_stdout.h"

namespace zumtal {

StandardStream OpenStandardOutput() {
  // A closed pipe must be a failed write, not a death by signal.
  signal(SIGPIPE, SIG_IGN);
  StandardStream out;
  out.handle = STDOUT_FILENO;
  if (fcntl(STDOUT_FILENO, F_GETFL) == -1) {
    out.error = errno;
    // Keep descriptor 1 taken, so that no input file is opened on it and
    // receives our output.
    const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && fd != STDOUT_FILENO) {
      close(fd);
    }
    return out;
  }
  out.terminal = isatty(STDOUT_FILENO) == 1;
  return out;
}

StandardStream OpenStandardError() {
  StandardStream err;
  err.handle = STDERR_FILENO;
  if (fcntl(STDERR_FILENO, F_GETFL) == -1) {
    err.error = errno;
    return err;
  }
  err.terminal = isatty(STDERR_FILENO) == 1;
  return err;
}

int WriteAll(std::intptr_t handle, const char* data, std::size_t size, std::size_t& written) {
  const int fd = static_cast<int>(handle);
  written = 0;
  while (written < size) {
    const ssize_t count = write(fd, data + written, size - written);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    written += static_cast<std::size_t>(count);
  }
  return 0;
}

}  // namespace zumtal
