// The read floor: opens each file named on the command line and reads every
// byte into one reused buffer, as a reader that does no work would.
//   readfloor FILE...          read them (the floor zumtal is measured against)
//   readfloor --evict FILE...  drop them from the page cache instead
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  const bool evict = argc > 1 && std::strcmp(argv[1], "--evict") == 0;
  std::vector<char> buffer(256 * 1024);
  for (int i = evict ? 2 : 1; i < argc; ++i) {
    const int fd = open(argv[i], O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      std::perror(argv[i]);
      return 1;
    }
    if (evict) {
      posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    } else {
      off_t offset = 0;
      ssize_t count;
      while ((count = pread(fd, buffer.data(), buffer.size(), offset)) > 0) {
        offset += count;
      }
    }
    close(fd);
  }
  return 0;
}
