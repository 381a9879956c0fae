#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "readers/platform_file.h"

namespace zumtal {

bool OpenForReading(const std::string& path, std::intptr_t directory, FileHandle& handle, FileFacts& facts) {
  // Non-blocking, so that a FIFO put in place after the search cannot hang
  // the open; it is refused below like any other non-regular file. Opening
  // relative to the walk's directory puts no limit on the length of a path.
  const int fd = openat(directory < 0 ? AT_FDCWD : static_cast<int>(directory), path.c_str(),
                        O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    return false;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return false;
  }
  handle.value = fd;
  facts.length = static_cast<std::uint64_t>(info.st_size);
  facts.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return true;
}

std::int64_t ReadAt(FileHandle handle, std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
  for (;;) {
    const ssize_t count = pread(static_cast<int>(handle.value), buffer, size, static_cast<off_t>(offset));
    if (count < 0 && errno == EINTR) {
      continue;
    }
    return count;
  }
}

std::int64_t ReadCachedAt(FileHandle handle, std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
  // Systems without RWF_NOWAIT for cached reads say so once.
  static std::atomic<bool> unsupported{false};
  if (!unsupported.load(std::memory_order_relaxed)) {
    iovec vector{buffer, size};
    for (;;) {
      const ssize_t count = preadv2(static_cast<int>(handle.value), &vector, 1, static_cast<off_t>(offset), RWF_NOWAIT);
      if (count >= 0) {
        return count;
      }
      if (errno == EAGAIN) {
        return kNotCached;
      }
      if (errno != EINTR) {
        break;
      }
    }
    if (errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL) {
      unsupported.store(true, std::memory_order_relaxed);
    }
  }
  return ReadAt(handle, offset, buffer, size);
}

void ReadAhead(FileHandle handle) { posix_fadvise(static_cast<int>(handle.value), 0, 0, POSIX_FADV_WILLNEED); }

int CloseFile(FileHandle handle) { return close(static_cast<int>(handle.value)) == 0 ? 0 : errno; }

unsigned AvailableCores() {
  cpu_set_t cores;
  CPU_ZERO(&cores);
  if (sched_getaffinity(0, sizeof cores, &cores) != 0) {
    return 1;
  }
  const int count = CPU_COUNT(&cores);
  return count > 0 ? static_cast<unsigned>(count) : 1;
}

}  // namespace zumtal
