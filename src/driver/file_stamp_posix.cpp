#include <fcntl.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#include "driver/file_stamp.h"

namespace zumtal {

namespace {

// The folders of a walk come in runs: the last one resolved is kept.
std::string ResolvedFolder(const std::string& folder) {
  static std::string lastFolder;
  static std::string lastResolved;
  if (!lastResolved.empty() && folder == lastFolder) {
    return lastResolved;
  }
  char* resolved = realpath(folder.c_str(), nullptr);
  if (resolved == nullptr) {
    return {};
  }
  lastFolder = folder;
  lastResolved = resolved;
  std::free(resolved);
  return lastResolved;
}

}  // namespace

char PathSeparator() { return '/'; }

std::string AbsolutePath(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string resolved = ResolvedFolder(folder);
  if (resolved.empty() || name.empty() || name == "." || name == "..") {
    return {};
  }
  if (resolved.back() != '/') {
    resolved += '/';
  }
  return resolved + name;
}

std::string AbsoluteFolder(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    return {};
  }
  std::string folder = resolved;
  std::free(resolved);
  return folder;
}

std::string StampPath(const FoundFile& file) {
  // With a walk's handle the name is the path as found from here.
  return AbsolutePath(file.directory == -1 ? file.path : file.name);
}

bool StampFile(const FoundFile& file, FileStamp& stamp) {
  struct stat info {};
  const int at = file.directory == -1 ? AT_FDCWD : static_cast<int>(file.directory);
  if (fstatat(at, file.path.c_str(), &info, 0) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  stamp.path = StampPath(file);
  stamp.size = static_cast<std::uint64_t>(info.st_size);
  stamp.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return !stamp.path.empty();
}

}  // namespace zumtal
