#include "driver/dir_search.h"

namespace zumtal {

bool ShownBy(std::string_view pattern, std::string_view name) {
  return name.empty() || name.front() != '.' || (!pattern.empty() && pattern.front() == '.');
}

bool MatchWildcard(std::string_view pattern, std::string_view name) {
  // Greedy matching that returns to the last star: linear in practice, and
  // never exponential however many stars a pattern holds.
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starP = std::string_view::npos;
  std::size_t starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

}  // namespace zumtal
