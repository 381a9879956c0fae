// Standard output, buffered: every line the program writes goes through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "report/platform_stdout.h"

namespace zumtal {

class Output {
 public:
  // Standard output goes out in blocks of this size, when not a terminal.
  static constexpr std::size_t kBlock = 64 * 1024;

  // Keeps everything written in memory (tests and fuzzing).
  Output() = default;
  // Writes to standard output: each complete line at once on a terminal,
  // otherwise in large blocks.
  explicit Output(const StandardStream& target);

  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Write(std::string_view text) { buffer_.append(text); }
  // Whole lines, line ends included: passed on as EndLine would.
  void WriteLines(std::string_view text);
  void WriteNumber(std::int64_t value);
  // Ends the line with CR LF, or the line end set. A failed write ends the
  // run with the system's error number.
  void EndLine();
  // `lineEnd` must live as long as the output (a literal).
  void SetLineEnd(std::string_view lineEnd) { lineEnd_ = lineEnd; }
  std::string_view LineEnd() const { return lineEnd_; }
  void Line(std::string_view text) {
    Write(text);
    EndLine();
  }
  // Passes on everything buffered; a failure ends the run.
  void Flush();
  // The same, for the run's last words: returns the error number instead.
  int TryFlush();

  bool IsTerminal() const { return target_.terminal; }
  // In memory mode: everything written so far.
  const std::string& Text() const { return buffer_; }
  std::string TakeText() { return std::exchange(buffer_, {}); }

 private:
  bool toMemory_ = true;
  StandardStream target_;
  std::string buffer_;
  std::string_view lineEnd_ = "\r\n";
};

}  // namespace zumtal
