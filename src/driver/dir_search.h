// Directory search: the files that a command-line pattern names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zumtal {

struct FoundFile {
  std::string name;  // the bare entry name, as printed and passed to readers
  std::string path;  // where to open it: in the pattern's directory
};

// `*` matches any run of bytes (also none), `?` exactly one byte; every other
// byte matches itself, case-sensitively.
bool MatchWildcard(std::string_view pattern, std::string_view name);

// The entries that the pattern's last component matches in the pattern's
// directory, in byte order of their names. Directories, FIFOs, sockets and
// devices are passed over; a name beginning with '.' is matched only by a
// pattern beginning with '.'. Nothing is found when the directory cannot be
// read.
std::vector<FoundFile> SearchDirectory(const std::string& pattern);

}  // namespace zumtal
