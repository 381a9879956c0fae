#include "report/report_writer.h"

#include <algorithm>
#include <charconv>
#include <tuple>
#include <utility>

#include "base/run_failure.h"
#include "base/text.h"
#include "readers/input_file.h"
#include "readers/names.h"
#include "report/match.h"
#include "report/program_hash.h"
#include "report/text_encoding.h"

namespace zumtal {

namespace {

void AppendNumber(std::string& out, std::int64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

// Lower-case hex, as hash values are written.
template <std::size_t N>
void AppendHashHex(std::string& out, const std::array<std::uint8_t, N>& bytes) {
  out.push_back('"');
  AppendLowerHex(out, bytes.data(), N);
  out.push_back('"');
}

// `,"key":` before each value but the first.
void AppendKey(std::string& out, std::string_view key) {
  out.append(",\"");
  out.append(key);
  out.append("\":");
}

}  // namespace

ReportWriter::ReportWriter(Output& out, Layout layout, Collect collect, bool keepGoing, const MatchIndex* index)
    : out_(out), layout_(layout), collect_(collect), keepGoing_(keepGoing), index_(index) {
  if (const HashSet hashes = HashesFor(layout, collect); hashes != 0) {
    hash_ = std::make_unique<ProgramHash>(hashes);
  }
  if (collect_ == Collect::kMatch) {
    fileHash_ = std::make_unique<ProgramHash>(kSha1Hash | kCrc32Hash);
  }
  if (layout_ == Layout::kJson) {
    out_.SetLineEnd("\n");
  }
}

ReportWriter::~ReportWriter() = default;

HashSet ReportWriter::HashesFor(Layout layout, Collect collect) {
  // Only the hashes the run writes: --duplicates groups by SHA-1 alone,
  // --match looks roms up by SHA-1 or CRC-32.
  switch (collect) {
    case Collect::kDuplicates:
      return kSha1Hash;
    case Collect::kMatch:
      return kSha1Hash | kCrc32Hash;
    case Collect::kDat:
      return kAllHashes;
    case Collect::kNone:
      break;
  }
  return layout == Layout::kJson ? kAllHashes : 0;
}

void ReportWriter::Record(FileRecord* record, std::string_view file) {
  record_ = record;
  recordFile_ = file;
  if (record_ != nullptr) {
    record_->hashes = HashesFor(layout_, collect_);
  }
}

void ReportWriter::Keep(RecordedEvent::Kind kind, std::string_view name, std::string_view text) {
  RecordedEvent event;
  event.kind = kind;
  event.text = text;
  Keep(event, name);
}

void ReportWriter::Keep(RecordedEvent& event, std::string_view name) {
  if (record_ == nullptr) {
    return;
  }
  // Every name must be the file's, to be given the next run's name.
  if (event.kind != RecordedEvent::Kind::kKeyLine && !MemberOf(name, recordFile_, event.member)) {
    record_->whole = false;
    return;
  }
  record_->Add(event);
}

void ReportWriter::Replay(std::string_view rows, std::string_view file) {
  // Only the hashes this writer computes, the others zero as its own
  // reading leaves them.
  const HashSet hashes = HashesFor(layout_, collect_);
  const auto computed = [hashes](ProgramHashes digests) {
    if ((hashes & kCrc32Hash) == 0) {
      digests.crc32 = 0;
    }
    if ((hashes & kMd5Hash) == 0) {
      digests.md5 = {};
    }
    if ((hashes & kSha1Hash) == 0) {
      digests.sha1 = {};
    }
    return digests;
  };
  const auto named = [&](const RecordedEvent& event) {
    std::string name(file);
    name += event.member;
    return name;
  };
  RecordReader reader(rows);
  RecordedEvent event;
  while (reader.Next(event)) {
    switch (event.kind) {
      case RecordedEvent::Kind::kBeginFile:
        BeginFile(named(event));
        break;
      case RecordedEvent::Kind::kKeyLine:
        WriteKeyLine(event.text);
        break;
      case RecordedEvent::Kind::kProgram: {
        // One report, its strings' room used again program after program.
        EntryReport& report = replayed_;
        report.pcFileName.assign(file).append(event.member);
        for (auto [name, bytes, shown] : {std::tuple{&report.imageName, event.imageName, kImageNameShownPrintable},
                                          std::tuple{&report.entryName, event.entryName, kEntryNameShownPrintable}}) {
          name->assign(bytes);
          if ((event.namesShown & shown) != 0) {
            std::transform(name->begin(), name->end(), name->begin(), PrintableByte);
          }
        }
        report.imageNameHex = ToHex(event.imageName);
        report.entryNameHex = ToHex(event.entryName);
        report.loadAddress = event.loadAddress;
        report.size = event.size;
        report.rawCrc = event.rawCrc;
        report.sectorErrors = event.sectorErrors;
        ++programs_;
        WriteProgram(report, *event.format, computed(event.hashes));
        break;
      }
      case RecordedEvent::Kind::kNotC64:
        NotC64(named(event));
        break;
      case RecordedEvent::Kind::kProblem:
        WriteProblem(named(event), event.text);
        break;
      case RecordedEvent::Kind::kWholeFile:
        if (collect_ == Collect::kMatch) {
          Collected whole{Collected::Kind::kFile, {}, {}, {}};
          whole.report.pcFileName = named(event);
          whole.report.size = event.size;
          whole.hashed = event.hashed && index_ != nullptr && index_->WantsSize(event.size);
          if (whole.hashed) {
            whole.digests = event.hashes;
          }
          collected_.push_back(std::move(whole));
        }
        break;
    }
  }
}

void ReportWriter::BeginProgram(InputFile& in, std::uint16_t loadAddress) {
  if (hash_) {
    hash_->Begin(loadAddress);
    in.SetSumSink(hash_.get());
  }
}

void ReportWriter::AppendFileKeys(std::string_view name) {
  line_ = "{\"file\":";
  AppendJsonString(line_, name);
  if (!IsValidUtf8(name)) {
    AppendKey(line_, "file_hex");
    line_.push_back('"');
    line_.append(ToHex(name));
    line_.push_back('"');
  }
}

void ReportWriter::WriteEvent(std::string_view name, std::string_view error) {
  AppendFileKeys(name);
  AppendKey(line_, "error");
  AppendJsonString(line_, error);
  line_.push_back('}');
  Emit(line_);
}

void ReportWriter::EndProgram(const EntryReport& report, const Format& format) {
  ++programs_;
  const ProgramHashes hashes = hash_ ? hash_->Finish() : ProgramHashes{};
  if (record_ != nullptr) {
    RecordedEvent event;
    if (FileRecord::FromReport(report, recordFile_, imageName_, entryName_, event)) {
      event.format = &format;
      event.hashes = hashes;
      record_->Add(event);
    } else {
      record_->whole = false;
    }
  }
  WriteProgram(report, format, hashes);
}

void ReportWriter::WriteProgram(const EntryReport& report, const Format& format, const ProgramHashes& hashes) {
  if (collect_ != Collect::kNone) {
    collected_.push_back({Collected::Kind::kProgram, report, hashes, {}});
    return;
  }
  if (layout_ == Layout::kJson) {
    AppendFileKeys(report.pcFileName);
    const struct {
      std::string_view key;
      std::string_view text;
    } texts[] = {{"format", format.name},
                 {"image_name", report.imageName},
                 {"image_name_hex", report.imageNameHex},
                 {"entry_name", report.entryName},
                 {"entry_name_hex", report.entryNameHex}};
    for (const auto& text : texts) {
      AppendKey(line_, text.key);
      AppendJsonString(line_, text.text);
    }
    AppendKey(line_, "load_address");
    AppendNumber(line_, report.loadAddress);
    AppendKey(line_, "size");
    AppendNumber(line_, static_cast<std::int64_t>(report.size));
    AppendKey(line_, "raw_crc");
    AppendNumber(line_, report.rawCrc);
    AppendKey(line_, "crc32");
    const std::array<std::uint8_t, 4> crc{
        static_cast<std::uint8_t>(hashes.crc32 >> 24), static_cast<std::uint8_t>(hashes.crc32 >> 16),
        static_cast<std::uint8_t>(hashes.crc32 >> 8), static_cast<std::uint8_t>(hashes.crc32)};
    AppendHashHex(line_, crc);
    AppendKey(line_, "md5");
    AppendHashHex(line_, hashes.md5);
    AppendKey(line_, "sha1");
    AppendHashHex(line_, hashes.sha1);
    AppendKey(line_, "sector_errors");
    AppendNumber(line_, report.sectorErrors);
    line_.push_back('}');
    out_.Line(line_);
    return;
  }
  if (layout_ == Layout::kLong) {
    const char marker[] = {format.marker, ' '};
    const std::string_view markerText(marker, sizeof marker);
    out_.Write("Dos filename :  ");
    out_.Line(report.pcFileName);
    out_.Write("Image name   :");
    out_.Write(markerText);
    out_.Line(report.imageName);
    out_.Write("Filename     :");
    out_.Write(markerText);
    out_.Line(report.entryName);
    out_.Write("Load address :% ");
    out_.WriteNumber(report.loadAddress);
    out_.EndLine();
    out_.Write("Size         :% ");
    out_.WriteNumber(static_cast<std::uint16_t>(report.size));
    out_.EndLine();
    out_.Write("Rawcrc       :% ");
    out_.WriteNumber(report.rawCrc);
    out_.EndLine();
    return;
  }
  // Texts go out byte for byte: nothing is escaped.
  out_.Write("\"");
  out_.Write(report.pcFileName);
  out_.Write("\",\"");
  out_.Write(report.imageName);
  out_.Write("\",\"");
  out_.Write(report.entryName);
  out_.Write("\",");
  out_.WriteNumber(report.loadAddress);
  out_.Write(",");
  out_.WriteNumber(static_cast<std::uint16_t>(report.size));
  out_.Write(",");
  out_.WriteNumber(report.rawCrc);
  out_.Write(",\"");
  out_.Write(report.imageNameHex);
  out_.Write("\",\"");
  out_.Write(report.entryNameHex);
  out_.Write("\"");
  out_.EndLine();
}

void ReportWriter::WriteKeyLine(std::string_view key) {
  Keep(RecordedEvent::Kind::kKeyLine, {}, key);
  if (layout_ != Layout::kJson && collect_ == Collect::kNone) {
    out_.Line(key);
  }
}

void ReportWriter::WriteOpenError(std::string_view name) {
  if (record_ != nullptr) {
    record_->whole = false;
  }
  WriteFileLine(name, std::string(name) + " file open error. Skipped...", "file open error");
}

void ReportWriter::NotC64(std::string_view name) {
  Keep(RecordedEvent::Kind::kNotC64, name);
  WriteFileLine(name, "!Error: " + std::string(name) + " is not C64 file.", "not a C64 file");
}

void ReportWriter::WriteProblem(std::string_view name, std::string_view what) {
  Keep(RecordedEvent::Kind::kProblem, name, what);
  WriteFileLine(name, "!Error: " + std::string(name) + ": " + std::string(what), what);
}

bool ReportWriter::ProgramDamaged(const EntryReport& report, const Format& format, std::string_view what) {
  if (!keepGoing_) {
    return false;
  }
  ++damaged_;
  if (record_ != nullptr) {
    record_->whole = false;
  }
  std::string_view entry = report.entryName;
  entry.remove_suffix(entry.size() - (entry.find_last_not_of(' ') + 1));
  if (layout_ == Layout::kJson && collect_ != Collect::kDat) {
    AppendFileKeys(report.pcFileName);
    for (const auto& [key, text] : {std::pair<std::string_view, std::string_view>{"format", format.name},
                                    {"entry_name", report.entryName},
                                    {"entry_name_hex", report.entryNameHex},
                                    {"error", what}}) {
      AppendKey(line_, key);
      AppendJsonString(line_, text);
    }
    line_.push_back('}');
    Emit(line_);
    return true;
  }
  std::string text = "!Error: " + report.pcFileName + ": ";
  text.append(entry).append(": ").append(what);
  WriteFileLine(report.pcFileName, text, what);
  return true;
}

void ReportWriter::WriteDamage(std::string_view name, std::string_view what) {
  ++damaged_;
  if (record_ != nullptr) {
    record_->whole = false;
  }
  WriteProblem(name, what);
}

void ReportWriter::WriteFileLine(std::string_view name, const std::string& text, std::string_view error) {
  if (collect_ == Collect::kDat) {
    collected_.push_back({Collected::Kind::kComment, {}, {}, text});
  } else if (layout_ == Layout::kJson) {
    WriteEvent(name, error);
  } else {
    Emit(text);
  }
}

void ReportWriter::Emit(const std::string& line) {
  if (collect_ == Collect::kMatch) {
    collected_.push_back({Collected::Kind::kComment, {}, {}, line});
  } else {
    out_.Line(line);
  }
}

void ReportWriter::WholeFile(InputFile& in, std::string_view name, const Format& format) {
  if (format.read == ReadPrg) {
    return;
  }
  // Kept in every layout: a --match run that finds the file unhashed
  // where it needs the hashes reads the file again.
  RecordedEvent event;
  event.kind = RecordedEvent::Kind::kWholeFile;
  event.size = in.FileLength();
  if (collect_ == Collect::kMatch) {
    Collected file{Collected::Kind::kFile, {}, {}, {}};
    file.report.pcFileName = name;
    file.report.size = in.FileLength();
    if (index_ != nullptr && index_->WantsSize(in.FileLength())) {
      in.SeekTo(0);
      in.SetSumSink(fileHash_.get());
      in.SumBytes(in.FileLength());
      in.SetSumSink(nullptr);
      file.digests = fileHash_->Finish();
      file.hashed = true;
      event.hashes = file.digests;
      event.hashed = true;
    }
    collected_.push_back(std::move(file));
  }
  Keep(event, name);
}

void ReportWriter::BeginFile(std::string_view name) {
  Keep(RecordedEvent::Kind::kBeginFile, name);
  file_ = name;
  ++files_;
  if (collect_ == Collect::kDat) {
    collected_.push_back({Collected::Kind::kContainer, {}, {}, {}});
  }
}

std::vector<ReportWriter::Collected> ReportWriter::TakeCollected() { return std::exchange(collected_, {}); }

void ReportWriter::WriteFailure(const RunFailure& failure) {
  if (layout_ == Layout::kJson) {
    AppendFileKeys(file_);
    AppendKey(line_, "error");
    AppendJsonString(line_, failure.Code() == kReadFailure ? "read failure" : "system error");
    AppendKey(line_, "status");
    AppendNumber(line_, failure.Code());
    line_.push_back('}');
    out_.Write(line_);
    out_.Write(out_.LineEnd());
    return;
  }
  for (const auto& line : FailureLines(failure, TraceDepth(out_.IsTerminal()))) {
    out_.Write(line);
    out_.Write(out_.LineEnd());
  }
}

}  // namespace zumtal
