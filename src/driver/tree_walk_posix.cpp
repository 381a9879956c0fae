// The recursive walk. Only the current directory is held open: the walk
// goes down by name and back up by "..", checking that it arrives where it
// came from, so that neither the depth of a tree nor the length of its paths
// meets a limit of the system.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>

#include "driver/dir_search.h"

namespace zumtal {

namespace {

struct Level : WalkLevel {
  dev_t device = 0;
  ino_t inode = 0;
};

// The directories to walk and the files wanted, in byte order of names.
bool ReadLevel(int fd, const NameFilter& wanted, Level& level) {
  struct stat self {};
  const int copy = dup(fd);
  DIR* dir = copy < 0 ? nullptr : fdopendir(copy);
  if (dir == nullptr || fstat(fd, &self) != 0) {
    if (dir != nullptr) {
      closedir(dir);
    } else if (copy >= 0) {
      close(copy);
    }
    return false;
  }
  level.device = self.st_dev;
  level.inode = self.st_ino;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    unsigned char type = entry->d_type;
    struct stat info {};
    if (type == DT_UNKNOWN && fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
      type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : S_ISLNK(info.st_mode) ? DT_LNK : 0;
    }
    if (type == DT_DIR) {
      if (ShownBy("", name)) {  // dot directories are never walked
        level.entries.push_back({std::string(name), true});
      }
    } else if ((type == DT_REG || type == DT_LNK) && wanted(name)) {
      // A link counts when it leads to a file or nowhere (its open fails).
      if (type == DT_LNK && fstatat(fd, entry->d_name, &info, 0) == 0 && !S_ISREG(info.st_mode)) {
        continue;
      }
      level.entries.push_back({std::string(name), false});
    }
  }
  closedir(dir);
  std::sort(level.entries.begin(), level.entries.end());
  return true;
}

void Join(std::string& path, std::string_view name) {
  if (!path.empty() && path.back() != '/') {
    path.push_back('/');
  }
  path.append(name);
}

// The argument without trailing slashes; "/" stays.
std::string Shown(std::string_view argument) {
  while (argument.size() > 1 && argument.back() == '/') {
    argument.remove_suffix(1);
  }
  return std::string(argument);
}

}  // namespace

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void WalkArgument(const std::string& argument, TreeVisitor& visitor) {
  struct stat info {};
  const bool isDirectory = stat(argument.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  std::string root = argument;
  std::string path = Shown(argument);
  NameFilter wanted = [&visitor](std::string_view name) { return ShownBy("", name) && visitor.Wants(name); };
  std::string component;
  if (!isDirectory) {
    const std::size_t slash = argument.rfind('/');
    component = slash == std::string::npos ? argument : argument.substr(slash + 1);
    if (component.empty()) {
      return;
    }
    root = slash == std::string::npos ? std::string(".") : argument.substr(0, slash + 1);
    path = slash == std::string::npos ? std::string() : Shown(root);
    wanted = [&component](std::string_view name) { return ShownBy(component, name) && MatchWildcard(component, name); };
  }
  int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int openError = errno;
  std::vector<Level> stack(1);
  stack.back().pathLength = path.size();
  if (fd < 0 || !ReadLevel(fd, wanted, stack.back())) {
    // A pattern's directory that is not there matches nothing.
    if (fd >= 0 || (openError != ENOENT && openError != ENOTDIR)) {
      visitor.UnreadableFolder(path.empty() ? "." : path);
    }
    if (fd >= 0) {
      close(fd);
    }
    return;
  }
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.next == level.entries.size()) {
      stack.pop_back();
      if (stack.empty()) {
        break;
      }
      path.resize(stack.back().pathLength);
      const int up = openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      close(fd);
      fd = up;
      if (fd < 0 || fstat(fd, &info) != 0 || info.st_dev != stack.back().device || info.st_ino != stack.back().inode) {
        // The tree was moved while it was walked: the rest cannot be found.
        visitor.UnreadableFolder(path.empty() ? "." : path);
        break;
      }
      continue;
    }
    const WalkEntry& entry = level.entries[level.next++];
    path.resize(level.pathLength);
    Join(path, entry.name);
    if (!entry.directory) {
      visitor.File({path, entry.name, fd, entry.name});
      continue;
    }
    Level below;
    below.pathLength = path.size();
    const int child = openat(fd, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0 || !ReadLevel(child, wanted, below)) {
      visitor.UnreadableFolder(path);
      if (child >= 0) {
        close(child);
      }
      continue;
    }
    close(fd);
    fd = child;
    stack.push_back(std::move(below));
  }
  if (fd >= 0) {
    close(fd);
  }
}

}  // namespace zumtal
