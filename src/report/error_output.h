// Standard error. Only two things go there: the usage error and, when it
// is a terminal, the progress line. Nothing is buffered, and a failed write
// is not reported: there is nowhere left to report it.
#pragma once

#include <string>
#include <string_view>

#include "report/platform_stdout.h"

namespace zumtal {

class ErrorOutput {
 public:
  // Keeps everything written in memory (tests).
  ErrorOutput() = default;
  explicit ErrorOutput(const StandardStream& target) : toMemory_(false), target_(target) {}

  bool IsTerminal() const { return target_.terminal; }
  void Write(std::string_view text) {
    if (toMemory_) {
      text_.append(text);
    } else if (target_.error == 0) {
      std::size_t written = 0;
      WriteAll(target_.handle, text.data(), text.size(), written);
    }
  }
  // In memory mode: everything written so far.
  const std::string& Text() const { return text_; }

 private:
  bool toMemory_ = true;
  StandardStream target_;
  std::string text_;
};

}  // namespace zumtal
