#include "readers/names.h"

namespace zumtal {

std::string ToPrintable(std::string_view text) {
  std::string printable(text);
  for (auto& character : printable) {
    const auto value = static_cast<std::uint8_t>(character);
    if (value < 32 || value > 127) {
      character = ' ';
    }
  }
  return printable;
}

}  // namespace zumtal
