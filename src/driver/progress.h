// The progress line on standard error: files and programs so far, megabytes
// read, the current file. Shown only when standard error is a terminal and
// standard output is not; redrawn at most ten times a second; cleared at the
// end, however the run ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "report/entry_report.h"
#include "report/error_output.h"

namespace zumtal {

class Progress {
 public:
  Progress(ErrorOutput& err, bool shown, const ReportWriter& reports) : err_(err), shown_(shown), reports_(reports) {}
  ~Progress() { Clear(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // A file or archive member is about to be read.
  void Begin(std::string_view name) {
    ++files_;
    if (shown_) {
      Update(name);
    }
  }
  // A file of `bytes` bytes was read from the disk.
  void Read(std::uint64_t bytes) { bytes_ += bytes; }
  void Clear();

 private:
  void Update(std::string_view name);

  ErrorOutput& err_;
  bool shown_;
  const ReportWriter& reports_;
  std::uint64_t files_ = 0;
  std::uint64_t bytes_ = 0;
  std::size_t drawn_ = 0;  // the length of the line on the screen
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace zumtal
