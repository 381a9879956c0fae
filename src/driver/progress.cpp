#include "driver/progress.h"

namespace zumtal {

namespace {
constexpr std::size_t kWidth = 79;
constexpr auto kInterval = std::chrono::milliseconds(100);
}  // namespace

void Progress::Update(std::string_view name) {
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ > 0 && now - last_ < kInterval) {
    return;
  }
  last_ = now;
  std::string line = std::to_string(files_);
  line.append(" files, ").append(std::to_string(programs_)).append(" programs, ");
  line.append(std::to_string(bytes_ >> 20)).append(" MB: ");
  // The end of a long name says most.
  if (line.size() + name.size() > kWidth) {
    const std::size_t room = kWidth > line.size() + 3 ? kWidth - line.size() - 3 : 0;
    line += "...";
    name = name.substr(name.size() - std::min(room, name.size()));
  }
  line += name;
  // Bytes that are no characters would upset the terminal.
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) {
      c = '?';
    }
  }
  const std::size_t length = line.size();
  if (length < drawn_) {
    line.append(drawn_ - length, ' ');
  }
  line.insert(0, 1, '\r');
  err_.Write(line);
  drawn_ = std::max(drawn_, length);
}

void Progress::Clear() {
  if (drawn_ > 0) {
    std::string blank(drawn_ + 2, ' ');
    blank.front() = blank.back() = '\r';
    err_.Write(blank);
    drawn_ = 0;
  }
}

}  // namespace zumtal
