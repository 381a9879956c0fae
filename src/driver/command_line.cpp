#include "driver/command_line.h"

namespace zumtal {

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  std::string current;
  bool inArgument = false;
  char quote = 0;
  for (const char character : line) {
    const auto byte = static_cast<unsigned char>(character);
    if (quote != 0) {
      if (character == quote) {
        quote = 0;
      } else {
        current.push_back(character);
        inArgument = true;
      }
    } else if (character == '"' || character == '\'') {
      quote = character;
    } else if (byte <= 32 || byte == 127) {
      if (inArgument) {
        args.push_back(std::move(current));
        current.clear();
        inArgument = false;
      }
    } else {
      current.push_back(character);
      inArgument = true;
    }
  }
  if (inArgument) {
    args.push_back(std::move(current));
  }
  return args;
}

}  // namespace zumtal
