#include "driver/catalogue.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/run_failure.h"
#include "readers/archives.h"
#include "readers/readers.h"

namespace zumtal {

namespace {

int Dispatch(InputFile& in, std::string_view pcFileName, std::string_view innerName, int depth,
             const CatalogueContext& context, Siblings* siblings);

// Runs `read`; with keep-going, a read failure in it becomes one line about
// `name`, and the run goes on. Returns 100 when anything in it was kept
// going past.
template <typename Read>
int Guarded(std::string_view name, const CatalogueContext& context, Read read) {
  context.reports.BeginFile(name);
  const std::uint64_t damaged = context.reports.DamageCount();
  try {
    const int status = read();
    return context.reports.DamageCount() != damaged ? kReadFailure : status;
  } catch (const RunFailure& failure) {
    if (!context.reports.KeepsGoing() || !failure.IsReadFailure()) {
      throw;
    }
    context.reports.WriteDamage(name, failure.Reading());
    return failure.Code();
  }
}

// The members beside one, in the same folder of its archive.
class MemberSiblings final : public Siblings {
 public:
  MemberSiblings(ZipIndex& index, std::string_view member)
      : index_(index), folder_(member.substr(0, member.size() - BareName(member).size())) {}

  bool Has(std::string_view bareName) override { return index_.Has(folder_ + std::string(bareName)); }

  std::unique_ptr<InputFile> Open(std::string_view bareName) override {
    std::vector<std::uint8_t> bytes;
    if (!index_.Extract(folder_ + std::string(bareName), bytes)) {
      return nullptr;
    }
    bytes.resize(std::min(bytes.size(), kSiblingBytes));
    return std::make_unique<InputFile>(std::move(bytes));
  }

 private:
  ZipIndex& index_;
  std::string folder_;
};

class MemberCataloguer : public ZipVisitor {
 public:
  MemberCataloguer(std::string_view archive, int level, const CatalogueContext& context)
      : archive_(archive), level_(level), context_(context) {}

  bool Wants(std::string_view name) override { return IsCatalogued(name); }

  // Members that the files beside them read.
  bool Indexes(std::string_view name) override {
    const Format* format = FindFormat(name);
    return format != nullptr && format->beside != nullptr;
  }
  void Begin(ZipIndex& index) override { index_ = &index; }

  void Member(std::string_view name, const ZipMember& member) override {
    const std::string pcFileName = MemberName(name);
    const int status = Guarded(pcFileName, context_, [&] {
      InputFile bytes(member.Extract());
      std::optional<MemberSiblings> siblings;
      if (index_ != nullptr) {
        siblings.emplace(*index_, name);
      }
      return Dispatch(bytes, pcFileName, name, level_, context_, siblings ? &*siblings : nullptr);
    });
    status_ = status_ != 0 ? status_ : status;
  }

  void Skip(std::string_view name, std::string_view why) override {
    context_.reports.WriteProblem(MemberName(name), why);
  }

  int Status() const { return status_; }

 private:
  std::string MemberName(std::string_view name) const {
    std::string joined(archive_);
    joined += '/';
    joined += name;
    return joined;
  }

  std::string_view archive_;
  int level_;
  const CatalogueContext& context_;
  ZipIndex* index_ = nullptr;
  int status_ = 0;
};

int Dispatch(InputFile& in, std::string_view pcFileName, std::string_view innerName, int depth,
             const CatalogueContext& context, Siblings* siblings) {
  const ArchiveKind archive = FindArchive(innerName);
  std::string inner;
  if (archive != ArchiveKind::kNone) {
    const int level = depth + 1;
    if (level > kMaxArchiveLevel) {
      context.reports.WriteProblem(pcFileName,
                                   "archive nested more than " + std::to_string(kMaxArchiveLevel) + " deep, skipped");
      return 0;
    }
    if (archive == ArchiveKind::kZip) {
      MemberCataloguer members(pcFileName, level, context);
      ReadZip(in, members);
      return members.Status();
    }
    inner = GzipInnerName(innerName);
    // What no reader reads is not worth inflating.
    if (IsCatalogued(inner)) {
      std::vector<std::uint8_t> content;
      if (!ReadGzip(in, content)) {
        context.reports.WriteProblem(pcFileName, kTooLarge);
        return 0;
      }
      InputFile contentFile(std::move(content));
      return Dispatch(contentFile, pcFileName, inner, level, context, nullptr);
    }
    innerName = inner;
  }
  const Format* format = FindFormat(innerName);
  if (format != nullptr) {
    const ContainerNames names{pcFileName, BareName(innerName), *format, siblings};
    if (format->reportedElsewhere != nullptr && format->reportedElsewhere(names)) {
      context.reports.WholeFile(in, pcFileName, *format);
      return 0;
    }
  }
  context.reports.WriteKeyLine(ExtensionKey(innerName));
  if (format != nullptr) {
    context.reports.WholeFile(in, pcFileName, *format);
    format->read(in, context.reports, ContainerNames{pcFileName, BareName(innerName), *format, siblings});
  } else {
    context.reports.NotC64(pcFileName);
  }
  return 0;
}

}  // namespace

int CatalogueInput(InputFile& in, std::string_view pcFileName, std::string_view innerName, int depth,
                   const CatalogueContext& context, Siblings* siblings) {
  return Guarded(pcFileName, context, [&] { return Dispatch(in, pcFileName, innerName, depth, context, siblings); });
}

}  // namespace zumtal
