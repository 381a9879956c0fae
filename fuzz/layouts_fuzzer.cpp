// libFuzzer target: the bytes are a run's events for the --dat and
// --duplicates layouts (programs with arbitrary names, container ends,
// problem lines). Both layouts must give valid UTF-8; the datafile holds no
// character that XML forbids and no comment with "--" inside.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "report/dat_writer.h"
#include "report/duplicates.h"
#include "report/text_encoding.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zumtal;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  // A field: one length byte, then that many bytes (as many as are left).
  const auto field = [&input]() {
    const std::size_t length = input.empty() ? 0 : static_cast<std::uint8_t>(input.front()) % 40;
    input.remove_prefix(input.empty() ? 0 : 1);
    const std::string_view text = input.substr(0, length);
    input.remove_prefix(text.size());
    return std::string(text);
  };
  Output datOut;
  DatWriter dat(datOut, "1.0");
  DuplicateFinder duplicates;
  while (!input.empty()) {
    const auto event = static_cast<std::uint8_t>(input.front());
    input.remove_prefix(1);
    if (event % 4 == 0) {
      dat.EndContainer();
    } else if (event % 4 == 1) {
      dat.Comment(field());
    } else {
      EntryReport report;
      report.pcFileName = field();
      report.imageName = field();
      report.entryName = field();
      report.size = event;
      ProgramHashes digests;
      digests.sha1[0] = static_cast<std::uint8_t>(event >> 4);
      dat.AddRom(report, digests);
      duplicates.Add(report, digests);
    }
  }
  dat.Finish();
  const std::string& xml = datOut.Text();
  Check(IsValidUtf8(xml));
  for (const char character : xml) {
    Check(static_cast<std::uint8_t>(character) >= 0x20 || character == '\t' || character == '\r' || character == '\n');
  }
  for (std::size_t at = xml.find("<!--"); at != std::string::npos; at = xml.find("<!--", at + 4)) {
    const std::size_t end = xml.find("-->", at + 4);
    Check(end != std::string::npos && xml.substr(at + 4, end - at - 4).find("--") == std::string::npos);
  }
  Output jsonOut;
  duplicates.WriteJson(jsonOut);
  Check(IsValidUtf8(jsonOut.Text()));
  Output textOut;
  duplicates.WriteText(textOut);
  return 0;
}
