// Names from C64 files and from the file system are bytes, valid UTF-8 or
// not. The machine-readable layouts write them as UTF-8 by one rule: valid
// sequences stay, every byte that does not belong to one becomes U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zumtal {

// U+FFFD REPLACEMENT CHARACTER in UTF-8.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence that starts `text`, with its
// code point; 0 when the first byte starts none (overlong forms, surrogates
// and code points above U+10FFFF included) or `text` is empty.
std::size_t Utf8Sequence(std::string_view text, char32_t& codePoint);

bool IsValidUtf8(std::string_view text);

// Appends `text` as a JSON string, quotes included: valid UTF-8 kept,
// U+FFFD for each byte that is not, control characters escaped.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace zumtal
