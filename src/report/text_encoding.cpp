#include "report/text_encoding.h"

#include <cstdint>

#include "base/text.h"

namespace zumtal {

std::size_t Utf8Sequence(std::string_view text, char32_t& codePoint) {
  if (text.empty()) {
    return 0;
  }
  const auto byte = [&text](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  std::size_t length = 0;
  // The range of the second byte narrows for the leads whose sequences
  // could otherwise be overlong, surrogates or beyond U+10FFFF.
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) {
    return 0;
  }
  char32_t value = lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0u) != 0x80u) {
      return 0;
    }
    value = (value << 6) | (byte(i) & 0x3Fu);
  }
  codePoint = value;
  return length;
}

bool IsValidUtf8(std::string_view text) {
  char32_t codePoint = 0;
  while (!text.empty()) {
    const std::size_t length = Utf8Sequence(text, codePoint);
    if (length == 0) {
      return false;
    }
    text.remove_prefix(length);
  }
  return true;
}

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  char32_t codePoint = 0;
  while (!text.empty()) {
    const std::size_t length = Utf8Sequence(text, codePoint);
    if (length == 0) {
      out.append(kReplacementCharacter);
      text.remove_prefix(1);
      continue;
    }
    switch (codePoint) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\b':
        out.append("\\b");
        break;
      case '\f':
        out.append("\\f");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      default:
        if (codePoint < 0x20) {
          out.append("\\u00");
          out.push_back(kLowerHexDigits[codePoint >> 4]);
          out.push_back(kLowerHexDigits[codePoint & 0xFu]);
        } else {
          out.append(text.substr(0, length));
        }
    }
    text.remove_prefix(length);
  }
  out.push_back('"');
}

}  // namespace zumtal
