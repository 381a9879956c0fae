// Which names are archives, and what a gzip file's name says it holds.
#include "base/text.h"
#include "readers/archives.h"
#include "readers/readers.h"

namespace zumtal {

namespace {

bool EndsWith(std::string_view name, std::string_view ending) { return EndsWithIgnoringCase(name, ending); }

// A compressed disk image's extension, and its last two characters in the
// extension of what it holds.
constexpr std::pair<std::string_view, std::string_view> kCompressedImages[] = {
    {".d6z", "64"}, {".d7z", "71"}, {".d8z", "81"}, {".g6z", "64"}};

}  // namespace

ArchiveKind FindArchive(std::string_view name) {
  if (EndsWith(name, ".zip")) {
    return ArchiveKind::kZip;
  }
  if (EndsWith(name, ".gz")) {
    return ArchiveKind::kGzip;
  }
  for (const auto& [extension, inner] : kCompressedImages) {
    if (EndsWith(name, extension)) {
      return ArchiveKind::kGzip;
    }
  }
  return ArchiveKind::kNone;
}

std::string GzipInnerName(std::string_view name) {
  if (EndsWith(name, ".gz")) {
    return std::string(name.substr(0, name.size() - 3));
  }
  for (const auto& [extension, inner] : kCompressedImages) {
    if (EndsWith(name, extension)) {
      return std::string(name.substr(0, name.size() - 2)) + std::string(inner);
    }
  }
  return std::string(name);
}

bool IsCatalogued(std::string_view name) {
  switch (FindArchive(name)) {
    case ArchiveKind::kZip:
      return true;
    case ArchiveKind::kGzip:
      return IsCatalogued(GzipInnerName(name));
    case ArchiveKind::kNone:
      break;
  }
  return FindFormat(name) != nullptr;
}

std::string_view BareName(std::string_view name) {
  const std::size_t slash = name.rfind('/');
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

}  // namespace zumtal
