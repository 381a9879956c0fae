// A Lynx archive: a load address and a short BASIC program ending in three
// zero bytes and a carriage return; then the directory, text lines each ended
// by a carriage return (the number of directory blocks and a signature
// holding "LYNX"; the number of files; for each file its name, its number of
// blocks, its type letter, a REL file's record length, and the number of
// bytes used in its last block plus one); then, from 254 x the directory
// blocks, the files' data, each file in whole blocks of 254 bytes.
//
// Everything up to the signature line decides whether the file is a Lynx
// archive at all, so it is read within the file's length and never fails;
// after it, damage ends the run.
#include <algorithm>
#include <optional>
#include <vector>

#include "base/run_failure.h"
#include "base/text.h"
#include "readers/names.h"
#include "readers/readers.h"

namespace zumtal {

namespace {

constexpr std::uint64_t kBlock = 254;
constexpr std::uint8_t kReturn = 13;
// The BASIC program ends within the C64's memory or not at all.
constexpr std::uint64_t kMaxBasic = 65536;
// The longest directory line read: a name has 16 bytes, a number a few digits.
constexpr std::size_t kMaxLine = 254;
// Larger numbers count as this one. It lies beyond the end of any file, and
// 254 times it, plus any such product, still fits 64 bits.
constexpr std::uint64_t kHuge = std::uint64_t{1} << 52;
constexpr std::uint64_t kBeyond = std::uint64_t{1} << 61;
// Programs found in the directory before their data is read: the directory
// and the data lie far apart in a large archive, and each move between them
// costs a read.
constexpr std::size_t kBatch = 256;

bool HoldsLynx(std::string_view line) {
  constexpr std::string_view kWord = "LYNX";
  for (std::size_t at = 0; at + kWord.size() <= line.size(); ++at) {
    std::size_t matched = 0;
    while (matched < kWord.size() && AsciiUpper(line[at + matched]) == kWord[matched]) {
      ++matched;
    }
    if (matched == kWord.size()) {
      return true;
    }
  }
  return false;
}

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

struct Number {
  std::uint64_t value;
  std::size_t end;  // where its digits end in the text
};

// Blanks, then decimal digits.
std::optional<Number> LeadingNumber(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ') {
    ++at;
  }
  if (at == text.size() || !IsDigit(text[at])) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    value = std::min(kHuge, value * 10 + static_cast<std::uint64_t>(text[at] - '0'));
  }
  return Number{value, at};
}

// A decimal number with nothing but blanks around it.
std::optional<std::uint64_t> ParseNumber(std::string_view text) {
  const auto number = LeadingNumber(text);
  if (!number || text.find_first_not_of(' ', number->end) != std::string_view::npos) {
    return std::nullopt;
  }
  return number->value;
}

// The line from `position` to its carriage return, which must come within
// kMaxLine bytes and before `limit` (at most the file's length); `position`
// then moves past it.
std::optional<std::string> ReadLine(InputFile& in, std::uint64_t& position, std::uint64_t limit) {
  const std::uint64_t end = std::min(limit, position + kMaxLine + 1);
  std::string line;
  in.SeekTo(position);
  for (std::uint64_t at = position; at < end; ++at) {
    const std::uint8_t byte = in.ReadByte();
    if (byte == kReturn) {
      position = at + 1;
      return line;
    }
    line.push_back(static_cast<char>(byte));
  }
  return std::nullopt;
}

// Where the directory's first line begins: after the first carriage return
// that three zero bytes precede, the end of the BASIC program.
std::optional<std::uint64_t> DirectoryStart(InputFile& in) {
  const std::uint64_t end = std::min(in.FileLength(), kMaxBasic);
  in.SeekTo(2);
  int zeros = 0;
  for (std::uint64_t at = 2; at < end; ++at) {
    const std::uint8_t byte = in.ReadByte();
    if (byte == kReturn && zeros >= 3) {
      return at + 1;
    }
    zeros = byte == 0 ? zeros + 1 : 0;
  }
  return std::nullopt;
}

struct Program {
  std::string name;
  std::uint64_t start;
  std::int64_t own;  // its own bytes; fewer than none when the directory says so
  std::uint64_t blockBytes;
  std::uint64_t entryAt;  // where its directory lines begin
};

// The directory after its signature line, read a file at a time.
class Directory {
 public:
  Directory(InputFile& in, std::uint64_t position, std::uint64_t dataStart)
      : in_(in), position_(position), textEnd_(std::min(in.FileLength(), dataStart)), fileStart_(dataStart) {}

  // Where the next line begins; after a failed read, the line that failed.
  std::uint64_t Position() const { return position_; }

  std::optional<std::uint64_t> NumberLine() {
    const auto line = ReadLine(in_, position_, textEnd_);
    return line ? ParseNumber(*line) : std::nullopt;
  }

  // The next file's entry: false when the directory is damaged there, else
  // true with `program` set for a program.
  bool NextFile(bool lastFile, std::optional<Program>& program) {
    program.reset();
    const std::uint64_t entryAt = position_;
    auto name = ReadLine(in_, position_, textEnd_);
    if (!name) {
      return false;
    }
    const auto blocks = NumberLine();
    if (!blocks) {
      return false;
    }
    const auto type = ReadLine(in_, position_, textEnd_);
    if (!type) {
      return false;
    }
    const std::string_view letter = TrimBlanks(*type);
    const bool isProgram = letter.size() == 1 && AsciiUpper(letter[0]) == 'P';
    if (letter.size() == 1 && AsciiUpper(letter[0]) == 'R' && !NumberLine()) {
      return false;  // a REL file's record length
    }
    const std::uint64_t blockBytes = kBlock * *blocks;
    const std::uint64_t start = fileStart_;
    fileStart_ = std::min(kBeyond, fileStart_ + blockBytes);
    // The last file's last line may be missing: its blocks are then its own,
    // as far as the archive holds them.
    std::int64_t own = 0;
    if (const auto last = NumberLine()) {
      own = static_cast<std::int64_t>(blockBytes + *last) - static_cast<std::int64_t>(kBlock + 1);
    } else if (!lastFile) {
      return false;
    } else if (start < in_.FileLength()) {
      own = static_cast<std::int64_t>(std::min(blockBytes, in_.FileLength() - start));
    }
    if (isProgram) {
      program = Program{std::move(*name), start, own, blockBytes, entryAt};
    }
    return true;
  }

 private:
  InputFile& in_;
  std::uint64_t position_;
  std::uint64_t textEnd_;
  std::uint64_t fileStart_;
};

[[noreturn]] void FailHeader(std::string_view what, std::uint64_t at) {
  FailRead("Lynx header: " + std::string(what) + " at byte " + std::to_string(at));
}

void ReportProgram(InputFile& in, ProgramSink& sink, const ContainerNames& names, const Program& program,
                   EntryReport& report) {
  report.entryName = ToPrintable(program.name);
  report.entryNameHex = ToHex(program.name);
  ReadProgram(sink, report, names.format, [&] {
    // Fewer than two bytes hold no load address; more than the file's
    // blocks would reach into the next file's.
    if (program.own < 2 || static_cast<std::uint64_t>(program.own) > program.blockBytes) {
      FailHeader("byte count that its blocks cannot hold", program.entryAt);
    }
    const std::uint64_t end = program.start + static_cast<std::uint64_t>(program.own);
    if (end > in.FileLength()) {
      FailRead("bytes " + std::to_string(program.start) + " to " + std::to_string(end) +
               " lie beyond the end of the file (" + std::to_string(in.FileLength()) + " bytes)");
    }
    in.SeekTo(program.start);
    report.loadAddress = in.ReadWord();
    sink.BeginProgram(in, report.loadAddress);
    report.size = static_cast<std::uint64_t>(program.own) - 2;
    report.rawCrc = static_cast<std::int32_t>(in.SumBytes(report.size));
  });
}

}  // namespace

void ReadLnx(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  std::optional<std::uint64_t> position;
  if (in.FileLength() >= 2) {
    position = DirectoryStart(in);
  }
  std::optional<std::string> signature;
  std::uint64_t signatureAt = 0;
  if (position) {
    signatureAt = *position;
    signature = ReadLine(in, *position, in.FileLength());
  }
  if (!signature || !HoldsLynx(*signature)) {
    sink.NotC64(names.pcFileName);
    return;
  }

  const auto directoryBlocks = LeadingNumber(*signature);
  if (!directoryBlocks) {
    FailHeader("no block count before the signature", signatureAt);
  }
  Directory directory(in, *position, kBlock * directoryBlocks->value);
  const auto count = directory.NumberLine();
  if (!count) {
    FailHeader("no file count", directory.Position());
  }

  EntryReport report;
  report.pcFileName = names.pcFileName;
  report.imageName = names.bareName;
  report.imageNameHex = ToHex(names.bareName);
  std::vector<Program> batch;
  std::uint64_t done = 0;
  std::optional<std::uint64_t> damagedAt;
  while (done < *count && !damagedAt) {
    batch.clear();
    while (batch.size() < kBatch && done < *count) {
      std::optional<Program> program;
      if (!directory.NextFile(done + 1 == *count, program)) {
        damagedAt = directory.Position();
        break;
      }
      ++done;
      if (program) {
        batch.push_back(std::move(*program));
      }
    }
    for (const Program& program : batch) {
      ReportProgram(in, sink, names, program, report);
    }
  }
  if (damagedAt) {
    FailHeader("entry " + std::to_string(done + 1) + " cut short or malformed", *damagedAt);
  }
}

}  // namespace zumtal
