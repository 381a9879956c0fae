// The DATs that --match names: a DAT file, a folder of them (every file
// below it whose name ends in .dat or .xml, in any case, in the order of a
// recursive walk), or a zip archive of them (its members of those names, in
// the order of its directory).
#pragma once

#include <string>
#include <vector>

#include "report/match.h"

namespace zumtal {

// Reads them all into `dats`, in order. Returns "" or the line that says
// which cannot be read and why: "zumtal: PATH: line N: what".
std::string LoadDats(const std::string& path, std::vector<NamedDat>& dats);

}  // namespace zumtal
