// The progress line on standard error: files and programs so far, megabytes
// read, the current file. Shown only when standard error is a terminal and
// standard output is not; redrawn at most ten times a second; cleared at the
// end, however the run ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "report/error_output.h"

namespace zumtal {

class Progress {
 public:
  Progress(ErrorOutput& err, bool shown) : err_(err), shown_(shown) {}
  ~Progress() { Clear(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // A file was catalogued: `inputs` files and archive members, `programs`
  // reports, `bytes` read from the disk; `name` is the file's.
  void Done(std::string_view name, std::uint64_t inputs, std::uint64_t programs, std::uint64_t bytes) {
    files_ += inputs;
    programs_ += programs;
    bytes_ += bytes;
    if (shown_) {
      Update(name);
    }
  }
  void Clear();

 private:
  void Update(std::string_view name);

  ErrorOutput& err_;
  bool shown_;
  std::uint64_t files_ = 0;
  std::uint64_t programs_ = 0;
  std::uint64_t bytes_ = 0;
  std::size_t drawn_ = 0;  // the length of the line on the screen
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace zumtal
