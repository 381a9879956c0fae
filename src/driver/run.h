// The run: usage text, options, the patterns and their files, the footer.
#pragma once

#include <string>
#include <vector>

#include "report/error_output.h"
#include "report/output.h"

namespace zumtal {

// Runs the program over its arguments (without the program's own name),
// writing everything to `out`, and only a usage error or the progress line
// to `err`. Returns the exit status of a normal end; a failure that ends the
// run throws RunFailure.
int Run(const std::vector<std::string>& args, Output& out, ErrorOutput& err);

}  // namespace zumtal
