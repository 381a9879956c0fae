// Texts from the input files as JSON strings.
#pragma once

#include <string>
#include <string_view>

namespace zumtal {

bool IsValidUtf8(std::string_view bytes);

// Appends `bytes` as a JSON string, quotes included: decoded as UTF-8 where
// they are valid, each byte that is not becoming U+FFFD; quotes, backslashes
// and control characters escaped.
void AppendJsonString(std::string& out, std::string_view bytes);

}  // namespace zumtal
