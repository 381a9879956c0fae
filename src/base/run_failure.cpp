#include "base/run_failure.h"

#include <utility>

#include "base/text.h"

namespace zumtal {

RunFailure::RunFailure(int code, std::vector<std::uint32_t> trace, std::string reading)
    : code_(code), trace_(std::move(trace)), reading_(std::move(reading)) {}

// Each skips CaptureTrace itself and its own frame: the trace begins at the
// place that failed.
[[gnu::noinline]] void FailSystem(int error) { throw RunFailure(error, CaptureTrace(2)); }

[[gnu::noinline]] void FailRead(std::string what) { throw RunFailure(kReadFailure, CaptureTrace(2), std::move(what)); }

namespace {

std::string Hex8(std::uint32_t value) {
  std::string text = "0x00000000";
  for (int i = 9; i >= 2; --i) {
    text[static_cast<std::size_t>(i)] = kUpperHexDigits[value & 0xFu];
    value >>= 4;
  }
  return text;
}

}  // namespace

std::vector<std::string> FailureLines(const RunFailure& failure, std::size_t maxTraceLines) {
  const auto& trace = failure.Trace();
  const std::uint32_t place = trace.empty() ? 0 : trace.front();
  std::vector<std::string> lines;
  lines.push_back("Runtime error " + std::to_string(failure.Code()) + " at " + Hex8(place));
  if (trace.empty()) {
    lines.push_back("  " + Hex8(place));
  }
  for (std::size_t i = 0; i < trace.size() && i < maxTraceLines; ++i) {
    lines.push_back("  " + Hex8(trace[i]));
  }
  lines.emplace_back();
  return lines;
}

}  // namespace zumtal
