// The full help (--help) and the version (--version).
#pragma once

#include <string_view>

#include "report/output.h"

namespace zumtal {

// The project's version, such as "1.1.0".
std::string_view Version();

// The help: what zumtal does, every option, every format, what is not read,
// the exit statuses.
void WriteHelp(Output& out);

}  // namespace zumtal
