// The run: usage text, the patterns and their files, the footer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/output.h"

namespace zumtal {

// Runs the program over its arguments (without the program's own name),
// writing everything to `out`. Returns the exit status of a normal end; a
// failure throws RunFailure.
int Run(const std::vector<std::string>& args, Output& out);

// The upper-cased last four bytes of the name (all of it when shorter).
std::string ExtensionKey(std::string_view fileName);

}  // namespace zumtal
