#include "driver/dat_sources.h"

#include <algorithm>
#include <memory>
#include <variant>

#include "base/run_failure.h"
#include "base/text.h"
#include "driver/dir_search.h"
#include "readers/archives.h"

namespace zumtal {

namespace {

bool IsDatName(std::string_view name) {
  return EndsWithIgnoringCase(name, ".dat") || EndsWithIgnoringCase(name, ".xml");
}

std::string Problem(std::string_view path, std::string_view what) {
  return "zumtal: " + std::string(path) + ": " + std::string(what);
}

// One DAT, fed to the reader a window at a time.
std::string ReadOne(InputFile& in, std::string_view path, std::vector<NamedDat>& dats) {
  DatReader reader{std::string(path)};
  constexpr std::uint64_t kPiece = InputFile::kWindow;
  std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min(kPiece, in.FileLength())));
  in.SeekTo(0);
  for (std::uint64_t left = in.FileLength(); left > 0;) {
    const auto count = static_cast<std::size_t>(std::min(kPiece, left));
    in.ReadInto(piece.data(), count);
    left -= count;
    if (!reader.Read(std::span<const std::uint8_t>(piece.data(), count))) {
      break;
    }
  }
  DatResult result = reader.Finish();
  if (const auto* error = std::get_if<DatError>(&result)) {
    return Problem(path, "line " + std::to_string(error->line) + ": " + error->what);
  }
  DatFile file = std::move(std::get<DatFile>(result));
  std::string name(file.Name().empty() ? BareName(path) : file.Name());
  dats.push_back({std::move(name), std::move(file)});
  return {};
}

// The members of a zip of DATs.
class DatMembers final : public ZipVisitor {
 public:
  DatMembers(std::string_view archive, std::vector<NamedDat>& dats) : archive_(archive), dats_(dats) {}

  bool Wants(std::string_view name) override { return error_.empty() && IsDatName(name); }
  void Member(std::string_view name, const ZipMember& member) override {
    InputFile bytes(member.Extract());
    error_ = ReadOne(bytes, archive_ + "/" + std::string(name), dats_);
  }
  void Skip(std::string_view name, std::string_view why) override {
    error_ = Problem(archive_ + "/" + std::string(name), why);
  }
  const std::string& Error() const { return error_; }

 private:
  std::string archive_;
  std::vector<NamedDat>& dats_;
  std::string error_;
};

// The DATs of a folder, in the walk's order; the first that cannot be read
// stops the rest.
class DatFolder final : public TreeVisitor {
 public:
  explicit DatFolder(std::vector<NamedDat>& dats) : dats_(dats) {}

  bool Wants(std::string_view name) override { return error_.empty() && IsDatName(name); }
  void File(const FoundFile& file) override {
    if (!error_.empty()) {
      return;
    }
    const std::unique_ptr<InputFile> in = InputFile::Open(file.path, file.directory);
    error_ = in ? ReadOne(*in, file.name, dats_) : Problem(file.name, "cannot be opened");
  }
  void UnreadableFolder(std::string_view path) override {
    if (error_.empty()) {
      error_ = Problem(path, "folder cannot be read");
    }
  }
  const std::string& Error() const { return error_; }

 private:
  std::vector<NamedDat>& dats_;
  std::string error_;
};

}  // namespace

std::string LoadDats(const std::string& path, std::vector<NamedDat>& dats) {
  try {
    if (IsDirectory(path)) {
      DatFolder folder(dats);
      WalkArgument(path, folder);
      return folder.Error();
    }
    const std::unique_ptr<InputFile> in = InputFile::Open(path);
    if (!in) {
      return Problem(path, "cannot be opened");
    }
    if (FindArchive(path) == ArchiveKind::kZip) {
      DatMembers members(path, dats);
      ReadZip(*in, members);
      return members.Error();
    }
    return ReadOne(*in, path, dats);
  } catch (const RunFailure& failure) {
    if (!failure.IsReadFailure()) {
      throw;
    }
    return Problem(path, failure.Reading());
  }
}

}  // namespace zumtal
