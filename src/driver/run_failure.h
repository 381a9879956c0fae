// The run-ending failure. Every checked operation that fails throws
// RunFailure through FailRun; only main turns it into the failure lines and
// the exit status, so everything below main stays testable in-process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace zumtal {

// Exit status of a read from the input file that cannot deliver its bytes.
inline constexpr int kReadFailure = 100;

class RunFailure : public std::exception {
 public:
  RunFailure(int code, std::vector<std::uint32_t> trace);
  int Code() const noexcept { return code_; }
  // Code addresses relative to the program's load address: the place of the
  // failure first, then the active calls, innermost first.
  const std::vector<std::uint32_t>& Trace() const noexcept { return trace_; }
  const char* what() const noexcept override { return "run failure"; }

 private:
  int code_;
  std::vector<std::uint32_t> trace_;
};

// Ends the run with the given exit status.
[[noreturn]] void FailRun(int code);

// The failure lines without line ends: "Runtime error N at 0xPLACE", the
// trace lines (at most maxTraceLines of them) and an empty line.
std::vector<std::string> FailureLines(const RunFailure& failure, std::size_t maxTraceLines);

// Platform: return addresses of the active calls, innermost first, relative
// to the program's load address, leaving out the `skip` innermost frames.
std::vector<std::uint32_t> CaptureTrace(int skip);

}  // namespace zumtal
