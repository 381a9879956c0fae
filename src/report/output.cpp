#include "report/output.h"

#include <charconv>

#include "base/run_failure.h"

namespace zumtal {

Output::Output(const StandardStream& target) : toMemory_(false), target_(target) { buffer_.reserve(kBlock + 4096); }

void Output::WriteNumber(std::int64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  buffer_.append(digits, result.ptr);
}

void Output::EndLine() {
  buffer_.append(lineEnd_);
  if (!toMemory_ && (target_.terminal || buffer_.size() >= kBlock)) {
    Flush();
  }
}

void Output::WriteLines(std::string_view text) {
  buffer_.append(text);
  if (!toMemory_ && !text.empty() && (target_.terminal || buffer_.size() >= kBlock)) {
    Flush();
  }
}

void Output::Flush() {
  if (const int error = TryFlush(); error != 0) {
    FailSystem(error);
  }
}

int Output::TryFlush() {
  if (toMemory_ || buffer_.empty()) {
    return 0;
  }
  if (target_.error != 0) {
    return target_.error;
  }
  std::size_t written = 0;
  const int error = WriteAll(target_.handle, buffer_.data(), buffer_.size(), written);
  // What went out must not go out twice.
  buffer_.erase(0, written);
  return error;
}

}  // namespace zumtal
