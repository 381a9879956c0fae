// Directory search: the files that a command-line pattern names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zumtal {

struct FoundFile {
  std::string name;              // as printed: the bare entry name, or with -r the path as found
  std::string path;              // where to open it: in the pattern's directory, or in `directory`
  std::intptr_t directory = -1;  // a directory handle of the walk, -1 for none
  std::string bare;              // the entry's own name
};

// A name beginning with '.' is hidden: a pattern shows it only when the
// pattern begins with '.' too. The POSIX searches pass hidden names over.
bool ShownBy(std::string_view pattern, std::string_view name);

// One entry of a directory being walked, and a directory's entries in byte
// order of their names, as both systems' walks hold them.
struct WalkEntry {
  std::string name;
  bool directory = false;
  bool operator<(const WalkEntry& other) const { return name < other.name; }
};
struct WalkLevel {
  std::vector<WalkEntry> entries;
  std::size_t next = 0;
  std::size_t pathLength = 0;  // of the directory's own path as found
};
// Which file names of a directory the walk takes.
using NameFilter = std::function<bool(std::string_view)>;

// `*` matches any run of bytes (also none), `?` exactly one byte; every other
// byte matches itself, case-sensitively.
bool MatchWildcard(std::string_view pattern, std::string_view name);

// The entries that the pattern's last component matches in the pattern's
// directory, in byte order of their names. Directories, FIFOs, sockets and
// devices are passed over; a name beginning with '.' is matched only by a
// pattern beginning with '.'. Nothing is found when the directory cannot be
// read.
std::vector<FoundFile> SearchDirectory(const std::string& pattern);

// Platform: whether the path names a folder (a link to one included).
bool IsDirectory(const std::string& path);

// What a recursive walk finds, handed over as it is found.
class TreeVisitor {
 public:
  virtual ~TreeVisitor() = default;
  // Whether a file of this name, under a directory named on the command
  // line, is to be read.
  virtual bool Wants(std::string_view name) = 0;
  // A file found; its directory handle is valid during the call only.
  virtual void File(const FoundFile& file) = 0;
  // A directory that could not be read, by its path as found.
  virtual void UnreadableFolder(std::string_view path) = 0;
};

// One argument of a recursive run. A directory stands for every file under
// it that the visitor wants; anything else is a pattern whose last component
// is matched in its directory and in every directory below. Within a
// directory the entries go in byte order of their names, a subdirectory at
// its place. Files are named by the path as found: the argument as typed
// (without trailing separators), then each component after one separator.
// Names beginning with '.' are passed over (a file's unless the pattern
// begins with '.'), and so are FIFOs, sockets and devices; links to files
// are files, links to directories are not followed, a dangling link is
// found so that its open fails visibly. Memory grows with the entries of
// the directories on the current path only, not with their depth.
void WalkArgument(const std::string& argument, TreeVisitor& visitor);

}  // namespace zumtal
