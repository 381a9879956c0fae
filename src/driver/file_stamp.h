// Platform: what identifies a file's state for the catalogue database: the
// absolute path the system names it by, its size and its modification time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/dir_search.h"

namespace zumtal {

struct FileStamp {
  std::string path;  // absolute
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;  // nanoseconds since 1970, as fine as the system keeps them
  // For a file read with the files beside it (a Zipcode part): their names
  // with their sizes and times, or as absent; empty for any other file.
  std::string beside;
  // The newest modification time among those files; 0 when there are none.
  std::int64_t besideNewestNs = 0;
};

// The separator of the absolute paths.
char PathSeparator();

// The absolute path of a file that a search or walk found; empty when it
// cannot be made.
std::string StampPath(const FoundFile& file);

// The stamp of a file that a search or walk found, its path included; false
// when the system cannot tell (the file is then read as without the
// database).
bool StampFile(const FoundFile& file, FileStamp& stamp);

// Adds to `stamp` the state of the files beside `file` named `bareNames`.
void StampBeside(const FoundFile& file, const std::vector<std::string>& bareNames, FileStamp& stamp);

// The absolute form of a path taken from the current directory, its folders
// resolved as the system names them; empty when it cannot be made.
std::string AbsolutePath(const std::string& path);

// The absolute form of a folder's path, resolved as the system names it;
// empty when it cannot be made.
std::string AbsoluteFolder(const std::string& path);

// Now, in the clock of the modification times.
std::int64_t NowNs();

}  // namespace zumtal
