#include "driver/file_stamp.h"

#include <algorithm>
#include <chrono>

namespace zumtal {

void StampBeside(const FoundFile& file, const std::vector<std::string>& bareNames, FileStamp& stamp) {
  const std::string folder = file.path.substr(0, file.path.size() - file.bare.size());
  const std::string shownFolder = file.name.substr(0, file.name.size() - file.bare.size());
  for (const std::string& bare : bareNames) {
    FileStamp sibling;
    stamp.beside += bare;
    if (StampFile(FoundFile{shownFolder + bare, folder + bare, file.directory, bare}, sibling)) {
      stamp.beside += ' ' + std::to_string(sibling.size) + ' ' + std::to_string(sibling.modifiedNs);
      stamp.besideNewestNs = std::max(stamp.besideNewestNs, sibling.modifiedNs);
    } else {
      stamp.beside += " absent";
    }
    stamp.beside += '\n';
  }
}

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace zumtal
