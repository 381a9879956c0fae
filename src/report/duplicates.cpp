#include "report/duplicates.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/text.h"
#include "report/text_encoding.h"

namespace zumtal {

namespace {

// Lines ended by a line feed alone (JSON Lines) pass EndLine's flushing by:
// what is buffered goes out in blocks from here, even within a long line.
void WriteInBlocks(Output& out, std::string_view text) {
  out.Write(text);
  if (out.Text().size() >= Output::kBlock) {
    out.Flush();
  }
}

// The CSV line's quoting: texts between quotes, byte for byte.
void WriteQuoted(Output& out, std::string_view text) {
  out.Write("\"");
  out.Write(text);
  out.Write("\"");
}

}  // namespace

struct DuplicateFinder::Grouping {
  // Record indices by SHA-1, each SHA-1's records in the order found.
  std::vector<std::uint32_t> order;
  // The groups of two or more, in the order their first copies were found.
  std::vector<Group> groups;
  std::uint64_t distinct = 0;
};

void DuplicateFinder::Add(const EntryReport& report, const ProgramHashes& digests) {
  // A container's programs come one after another: its names are kept once.
  const auto last = static_cast<std::uint32_t>(containers_.size() - 1);
  if (containers_.empty() || FileName(last) != report.pcFileName || ImageName(last) != report.imageName) {
    containerNames_.append(report.pcFileName);
    const std::size_t fileEnd = containerNames_.size();
    containerNames_.append(report.imageName);
    containers_.push_back({fileEnd, containerNames_.size()});
  }
  entryNames_.append(report.entryName);
  Record record{};
  record.sha1 = digests.sha1;
  // Index 2^32 would take 160 GiB of records: far beyond any collection.
  record.container = static_cast<std::uint32_t>(containers_.size() - 1);
  // Sizes beyond 2^48 bytes cannot come from a real file.
  const std::uint64_t size = std::min<std::uint64_t>(report.size, (std::uint64_t{1} << 48) - 1);
  record.sizeLow = static_cast<std::uint32_t>(size);
  record.sizeHigh = static_cast<std::uint16_t>(size >> 32);
  record.loadAddress = report.loadAddress;
  record.entryEnd = entryNames_.size();
  records_.push_back(record);
}

std::uint64_t DuplicateFinder::Size(const Record& record) {
  return (std::uint64_t{record.sizeHigh} << 32) | record.sizeLow;
}

std::string_view DuplicateFinder::FileName(std::uint32_t container) const {
  const std::size_t begin = container == 0 ? 0 : containers_[container - 1].imageEnd;
  return std::string_view(containerNames_).substr(begin, containers_[container].fileEnd - begin);
}

std::string_view DuplicateFinder::ImageName(std::uint32_t container) const {
  const ContainerRecord& names = containers_[container];
  return std::string_view(containerNames_).substr(names.fileEnd, names.imageEnd - names.fileEnd);
}

std::string_view DuplicateFinder::EntryName(std::uint32_t index) const {
  const std::size_t begin = index == 0 ? 0 : records_[index - 1].entryEnd;
  return std::string_view(entryNames_).substr(begin, records_[index].entryEnd - begin);
}

DuplicateFinder::Grouping DuplicateFinder::GroupCopies() const {
  Grouping grouping;
  // Sorting by the first eight bytes of the SHA-1, loaded once, spares the
  // comparisons a trip to the records but where they agree.
  struct Key {
    std::uint64_t prefix;
    std::uint32_t index;
  };
  std::vector<Key> keys(records_.size());
  for (std::uint32_t i = 0; i < keys.size(); ++i) {
    std::uint64_t prefix = 0;
    for (std::size_t k = 0; k < 8; ++k) {
      prefix = (prefix << 8) | records_[i].sha1[k];
    }
    keys[i] = {prefix, i};
  }
  std::sort(keys.begin(), keys.end(), [this](const Key& a, const Key& b) {
    if (a.prefix != b.prefix) {
      return a.prefix < b.prefix;
    }
    const int byHash = std::memcmp(records_[a.index].sha1.data(), records_[b.index].sha1.data(), 20);
    return byHash != 0 ? byHash < 0 : a.index < b.index;
  });
  grouping.order.resize(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    grouping.order[i] = keys[i].index;
  }
  keys = {};
  for (std::size_t first = 0; first < grouping.order.size();) {
    std::size_t end = first + 1;
    while (end < grouping.order.size() && records_[grouping.order[first]].sha1 == records_[grouping.order[end]].sha1) {
      ++end;
    }
    ++grouping.distinct;
    if (end - first >= 2) {
      grouping.groups.push_back({static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(end - first)});
    }
    first = end;
  }
  std::sort(grouping.groups.begin(), grouping.groups.end(),
            [&grouping](const Group& a, const Group& b) { return grouping.order[a.first] < grouping.order[b.first]; });
  return grouping;
}

DuplicateSummary DuplicateFinder::Summarize(const Grouping& grouping) const {
  DuplicateSummary summary;
  summary.programs = records_.size();
  summary.distinct = grouping.distinct;
  summary.groups = grouping.groups.size();
  for (const Group& group : grouping.groups) {
    for (std::uint32_t i = 1; i < group.count; ++i) {
      summary.extraBytes += Size(records_[grouping.order[group.first + i]]) + 2;
    }
  }
  return summary;
}

void DuplicateFinder::WriteText(Output& out) const {
  const Grouping grouping = GroupCopies();
  for (const Group& group : grouping.groups) {
    const std::string sha1 = LowerHex(records_[grouping.order[group.first]].sha1);
    for (std::uint32_t i = 0; i < group.count; ++i) {
      const std::uint32_t index = grouping.order[group.first + i];
      const Record& record = records_[index];
      out.Write(sha1);
      out.Write(",");
      WriteQuoted(out, FileName(record.container));
      out.Write(",");
      WriteQuoted(out, ImageName(record.container));
      out.Write(",");
      WriteQuoted(out, EntryName(index));
      out.Write(",");
      out.WriteNumber(record.loadAddress);
      out.Write(",");
      out.WriteNumber(static_cast<std::int64_t>(Size(record)));
      out.EndLine();
    }
    out.EndLine();
  }
  const DuplicateSummary summary = Summarize(grouping);
  out.WriteNumber(static_cast<std::int64_t>(summary.programs));
  out.Write(" programs, ");
  out.WriteNumber(static_cast<std::int64_t>(summary.distinct));
  out.Write(" distinct, ");
  out.WriteNumber(static_cast<std::int64_t>(summary.groups));
  out.Write(" groups of copies, ");
  out.WriteNumber(static_cast<std::int64_t>(summary.extraBytes));
  out.Line(" bytes in extra copies");
}

void DuplicateFinder::WriteJson(Output& out) const {
  const Grouping grouping = GroupCopies();
  std::string line;
  for (const Group& group : grouping.groups) {
    const Record& first = records_[grouping.order[group.first]];
    line = "{\"sha1\":\"" + LowerHex(first.sha1) + "\",\"load_address\":" + std::to_string(first.loadAddress) +
           ",\"size\":" + std::to_string(Size(first)) + ",\"copies\":[";
    for (std::uint32_t i = 0; i < group.count; ++i) {
      const std::uint32_t index = grouping.order[group.first + i];
      line += i == 0 ? "{\"file\":" : ",{\"file\":";
      AppendJsonString(line, FileName(records_[index].container));
      line += ",\"image_name\":";
      AppendJsonString(line, ImageName(records_[index].container));
      line += ",\"entry_name\":";
      AppendJsonString(line, EntryName(index));
      line += "}";
      if (line.size() >= Output::kBlock) {
        WriteInBlocks(out, line);
        line.clear();
      }
    }
    line += "]}\n";
    WriteInBlocks(out, line);
  }
  const DuplicateSummary summary = Summarize(grouping);
  out.Write("{\"programs\":" + std::to_string(summary.programs) + ",\"distinct\":" + std::to_string(summary.distinct) +
            ",\"groups\":" + std::to_string(summary.groups) + ",\"extra_bytes\":" + std::to_string(summary.extraBytes) +
            "}\n");
}

}  // namespace zumtal
