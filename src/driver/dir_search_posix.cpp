#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "driver/dir_search.h"

namespace zumtal {

namespace {

bool HasWildcard(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

// Regular files are found; so is a name that cannot be followed (a dangling
// link), so that its open fails visibly. Everything else is passed over.
bool IsCandidate(int dirFd, const char* name, unsigned char type) {
  if (type == DT_REG) {
    return true;
  }
  if (type != DT_LNK && type != DT_UNKNOWN) {
    return false;
  }
  struct stat info {};
  if (fstatat(dirFd, name, &info, 0) != 0) {
    return fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0;
  }
  return S_ISREG(info.st_mode);
}

bool Hidden(std::string_view component, std::string_view name) {
  return name == "." || name == ".." || !ShownBy(component, name);
}

}  // namespace

std::vector<FoundFile> SearchDirectory(const std::string& pattern) {
  std::vector<FoundFile> found;
  const std::size_t slash = pattern.rfind('/');
  const std::string component = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  const std::string prefix = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
  if (component.empty()) {
    return found;
  }
  const std::string directory = prefix.empty() ? std::string(".") : prefix;
  const int dirFd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) {
    return found;
  }
  if (!HasWildcard(component)) {
    // A plain name: look it up instead of reading a directory that may hold
    // a hundred thousand entries.
    if (!Hidden(component, component) && IsCandidate(dirFd, component.c_str(), DT_UNKNOWN)) {
      found.push_back({component, prefix + component, -1, component});
    }
    close(dirFd);
    return found;
  }
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(fdopendir(dirFd), closedir);
  if (!dir) {
    close(dirFd);
    return found;
  }
  std::vector<std::pair<std::string, unsigned char>> matches;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (!Hidden(component, name) && MatchWildcard(component, name)) {
      matches.emplace_back(name, entry->d_type);
    }
  }
  std::sort(matches.begin(), matches.end());
  for (const auto& [name, type] : matches) {
    if (IsCandidate(dirfd(dir.get()), name.c_str(), type)) {
      found.push_back({name, prefix + name, -1, name});
    }
  }
  return found;
}

}  // namespace zumtal
