#include "report/json_text.h"

#include <cstddef>
#include <cstdint>

namespace zumtal {

namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0 when the byte
// there begins none (overlong forms, surrogates and values past U+10FFFF
// are not well-formed).
std::size_t SequenceLength(std::string_view bytes, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[at + i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;  // the range of the second byte
  if (lead < 0x80) {
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
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
  if (bytes.size() - at < length || byte(1) < low || byte(1) > high) {
    return 0;
  }
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) {
      return 0;
    }
  }
  return length;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = SequenceLength(bytes, at);
    if (length == 0) {
      return false;
    }
    at += length;
  }
  return true;
}

void AppendJsonString(std::string& out, std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out.push_back('"');
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = SequenceLength(bytes, at);
    const char character = bytes[at];
    if (length == 0) {
      out.append("\xEF\xBF\xBD");  // U+FFFD
      ++at;
      continue;
    }
    if (length > 1) {
      out.append(bytes.substr(at, length));
    } else if (character == '"' || character == '\\') {
      out.push_back('\\');
      out.push_back(character);
    } else if (character == '\n') {
      out.append("\\n");
    } else if (character == '\r') {
      out.append("\\r");
    } else if (character == '\t') {
      out.append("\\t");
    } else if (static_cast<std::uint8_t>(character) < 0x20) {
      out.append("\\u00");
      out.push_back(kDigits[character >> 4]);
      out.push_back(kDigits[character & 0xF]);
    } else {
      out.push_back(character);
    }
    at += length;
  }
  out.push_back('"');
}

}  // namespace zumtal
