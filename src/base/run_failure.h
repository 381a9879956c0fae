// The run-ending failure. Every checked operation that fails throws
// RunFailure through one of the Fail functions; only main turns it into the
// failure lines and the exit status, so everything below main stays testable
// in-process.
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
  RunFailure(int code, std::vector<std::uint32_t> trace, std::string reading = {});
  int Code() const noexcept { return code_; }
  // A read from an input that cannot deliver its bytes, as opposed to a
  // failed write or close: only such a failure may be kept going past.
  bool IsReadFailure() const noexcept { return !reading_.empty(); }
  // For a read failure: what is damaged and where, for the line that
  // replaces the failure lines when the run keeps going ("sector 3 (track 17
  // sector 1) was read before").
  const std::string& Reading() const noexcept { return reading_; }
  // Code addresses relative to the program's load address: the place of the
  // failure first, then the active calls, innermost first.
  const std::vector<std::uint32_t>& Trace() const noexcept { return trace_; }
  const char* what() const noexcept override { return "run failure"; }

 private:
  int code_;
  std::vector<std::uint32_t> trace_;
  std::string reading_;
};

// Ends the run with a system error number: a failed write or close, never
// kept going past, whatever the number.
[[noreturn]] void FailSystem(int error);

// Ends the run with status 100: a read that cannot deliver, or damage in a
// container or one of its programs; `what` says what and where it is.
[[noreturn]] void FailRead(std::string what);

// The failure lines without line ends: "Runtime error N at 0xPLACE", the
// trace lines (at most maxTraceLines of them) and an empty line.
std::vector<std::string> FailureLines(const RunFailure& failure, std::size_t maxTraceLines);

// Platform: return addresses of the active calls, innermost first, relative
// to the program's load address, leaving out the `skip` innermost frames.
std::vector<std::uint32_t> CaptureTrace(int skip);

}  // namespace zumtal
