// Splitting a command line given as one string (as Windows hands it over).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zumtal {

// Blanks and control characters separate arguments. A stretch in double or
// single quotes stays in one argument and loses its quotes; inside it the
// other kind of quote is ordinary. An empty stretch ("" or '') adds nothing.
// The program's own path, first on the line, is one of the results.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace zumtal
