// The recursive walk with the system's directory search on "DIR\*", and
// names matched case-blind, as the system's own search does.
#include <windows.h>

#include <algorithm>
#include <functional>

#include "base/text.h"
#include "driver/dir_search.h"

namespace zumtal {

namespace {

using Level = WalkLevel;

bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

void Join(std::string& path, std::string_view name) {
  if (!path.empty() && !IsSeparator(path.back())) {
    path.push_back('\\');
  }
  path.append(name);
}

bool ReadLevel(const std::string& path, const NameFilter& wanted, Level& level) {
  WIN32_FIND_DATAA entry{};
  const HANDLE search = FindFirstFileA(((path.empty() ? std::string(".") : path) + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  constexpr DWORD kPassedOver = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x8 /* volume label */;
  do {
    const std::string_view name = entry.cFileName;
    const DWORD attributes = entry.dwFileAttributes;
    if (name == "." || name == ".." || (attributes & kPassedOver) != 0) {
      continue;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      // Junctions and links to directories are not followed.
      if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        level.entries.push_back({std::string(name), true});
      }
    } else if (wanted(name)) {
      level.entries.push_back({std::string(name), false});
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  std::sort(level.entries.begin(), level.entries.end());
  return true;
}

}  // namespace

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void WalkArgument(const std::string& argument, TreeVisitor& visitor) {
  const DWORD attributes = GetFileAttributesA(argument.c_str());
  const bool isDirectory = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::string path = argument;
  NameFilter wanted = [&visitor](std::string_view name) { return visitor.Wants(name); };
  std::string component;
  if (!isDirectory) {
    const std::size_t cut = argument.find_last_of("\\/:");
    component = AsciiLower(cut == std::string::npos ? argument : argument.substr(cut + 1));
    if (component.empty()) {
      return;
    }
    path = cut == std::string::npos ? std::string() : argument.substr(0, cut + 1);
    wanted = [&component](std::string_view name) { return MatchWildcard(component, AsciiLower(name)); };
  }
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/') && path[path.size() - 2] != ':') {
    path.pop_back();
  }
  std::vector<Level> stack(1);
  stack.back().pathLength = path.size();
  if (!ReadLevel(path, wanted, stack.back())) {
    const DWORD error = GetLastError();
    if (isDirectory || (error != ERROR_PATH_NOT_FOUND && error != ERROR_INVALID_NAME)) {
      visitor.UnreadableFolder(path.empty() ? "." : path);
    }
    return;
  }
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.next == level.entries.size()) {
      stack.pop_back();
      continue;
    }
    const WalkEntry& entry = level.entries[level.next++];
    path.resize(level.pathLength);
    Join(path, entry.name);
    if (!entry.directory) {
      visitor.File({path, path, -1, entry.name});
      continue;
    }
    Level below;
    below.pathLength = path.size();
    if (!ReadLevel(path, wanted, below)) {
      visitor.UnreadableFolder(path);
      continue;
    }
    stack.push_back(std::move(below));
  }
}

}  // namespace zumtal
