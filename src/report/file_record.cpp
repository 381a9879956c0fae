#include "report/file_record.h"

#include <cstring>

#include "base/text.h"
#include "readers/names.h"
#include "readers/program_sink.h"
#include "readers/readers.h"

namespace zumtal {

namespace {

// Each event: its kind, then (a program) its format's index; its texts as
// a length and bytes; then its numbers and hashes as they lie in memory.
// A record is read back only by the program that packed it.
class Packer {
 public:
  explicit Packer(std::string& out) : out_(out) {}
  template <typename T>
  Packer& Put(const T& value) {
    out_.append(reinterpret_cast<const char*>(&value), sizeof value);
    return *this;
  }
  Packer& Text(std::string_view text) {
    Put(static_cast<std::uint32_t>(text.size()));
    out_.append(text);
    return *this;
  }

 private:
  std::string& out_;
};

class Unpacker {
 public:
  explicit Unpacker(std::string_view& rest) : rest_(rest) {}
  template <typename T>
  Unpacker& Get(T& value) {
    std::memcpy(&value, rest_.data(), sizeof value);
    rest_.remove_prefix(sizeof value);
    return *this;
  }
  Unpacker& Text(std::string_view& text) {
    std::uint32_t size = 0;
    Get(size);
    text = rest_.substr(0, size);
    rest_.remove_prefix(size);
    return *this;
  }

 private:
  std::string_view& rest_;
};

// How `text` shows `bytes`: 0 as they are, `spaced` with every byte outside
// 32 to 127 as a space; -1 when neither.
int ShownForm(std::string_view bytes, std::string_view text, std::uint8_t spaced) {
  if (bytes == text) {
    return 0;
  }
  if (bytes.size() != text.size()) {
    return -1;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != PrintableByte(bytes[i])) {
      return -1;
    }
  }
  return spaced;
}

}  // namespace

bool MemberOf(std::string_view name, std::string_view file, std::string_view& member) {
  if (!name.starts_with(file)) {
    return false;
  }
  member = name.substr(file.size());
  return true;
}

void FileRecord::Add(const RecordedEvent& event) {
  ++events;
  Packer packed(rows);
  packed.Put(event.kind).Text(event.member);
  if (event.kind == RecordedEvent::Kind::kProgram) {
    packed.Put(static_cast<std::uint8_t>(event.format - Formats().data()))
        .Text(event.imageName)
        .Text(event.entryName)
        .Put(event.namesShown)
        .Put(event.loadAddress)
        .Put(event.size)
        .Put(event.rawCrc)
        .Put(event.sectorErrors)
        .Put(event.hashes);
    return;
  }
  packed.Text(event.text).Put(event.size).Put(event.hashed);
  if (event.hashed) {
    packed.Put(event.hashes.crc32).Put(event.hashes.sha1);
  }
}

bool FileRecord::FromReport(const EntryReport& report, std::string_view file, std::string& imageName,
                            std::string& entryName, RecordedEvent& event) {
  if (!MemberOf(report.pcFileName, file, event.member) || !FromHex(report.imageNameHex, imageName) ||
      !FromHex(report.entryNameHex, entryName)) {
    return false;
  }
  const int image = ShownForm(imageName, report.imageName, kImageNameShownPrintable);
  const int entry = ShownForm(entryName, report.entryName, kEntryNameShownPrintable);
  if (image < 0 || entry < 0) {
    return false;
  }
  event.kind = RecordedEvent::Kind::kProgram;
  event.imageName = imageName;
  event.entryName = entryName;
  event.namesShown = static_cast<std::uint8_t>(image | entry);
  event.loadAddress = report.loadAddress;
  event.size = report.size;
  event.rawCrc = report.rawCrc;
  event.sectorErrors = report.sectorErrors;
  return true;
}

bool RecordReader::Next(RecordedEvent& event) {
  if (rest_.empty()) {
    return false;
  }
  Unpacker rows(rest_);
  rows.Get(event.kind).Text(event.member);
  if (event.kind == RecordedEvent::Kind::kProgram) {
    std::uint8_t format = 0;
    rows.Get(format)
        .Text(event.imageName)
        .Text(event.entryName)
        .Get(event.namesShown)
        .Get(event.loadAddress)
        .Get(event.size)
        .Get(event.rawCrc)
        .Get(event.sectorErrors)
        .Get(event.hashes);
    event.format = &Formats()[format];
    return true;
  }
  rows.Text(event.text).Get(event.size).Get(event.hashed);
  event.hashes = {};
  if (event.hashed) {
    rows.Get(event.hashes.crc32).Get(event.hashes.sha1);
  }
  return true;
}

}  // namespace zumtal
