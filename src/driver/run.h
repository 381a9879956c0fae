// The run: usage text, the patterns and their files, the footer.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "report/output.h"

namespace zumtal {

// Options that cannot go together: the message is for standard error, the
// exit status is 2, and nothing goes to standard output.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr int kUsageStatus = 2;

// Runs the program over its arguments (without the program's own name),
// writing everything to `out`. Returns the exit status of a normal end; a
// failure throws RunFailure (its lines already written to `out`), a usage
// error UsageError.
int Run(const std::vector<std::string>& args, Output& out);

// The upper-cased last four bytes of the name (all of it when shorter).
std::string ExtensionKey(std::string_view fileName);

}  // namespace zumtal
