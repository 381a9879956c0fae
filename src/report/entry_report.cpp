#include "report/entry_report.h"

namespace zumtal {

namespace {

struct FormatTraits {
  std::string_view name;
  char marker;  // the long block's marker of the two name labels
};

// By Container, in its order.
constexpr FormatTraits kFormats[] = {
    {"PRG", 'v'}, {"T64", ' '}, {"D64", 'e'}, {"D71", 'e'}, {"D81", 'e'}, {"G64", 'e'}, {"P00", 'v'}, {"LNX", ' '},
};

const FormatTraits& Traits(Container container) { return kFormats[static_cast<std::size_t>(container)]; }

char Marker(Container container) { return Traits(container).marker; }

}  // namespace

std::string_view FormatName(Container container) { return Traits(container).name; }

void ReportWriter::BeginProgram(InputFile& in, std::uint16_t loadAddress) {
  (void)in;
  (void)loadAddress;
}

void ReportWriter::WriteEntryReport(const EntryReport& report, Container container) {
  ++programs_;
  if (longMode_) {
    const char marker[] = {Marker(container), ' '};
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

void ReportWriter::WriteKeyLine(std::string_view key) { out_.Line(key); }

void ReportWriter::WriteOpenError(std::string_view name) {
  out_.Write(name);
  out_.Line(" file open error. Skipped...");
}

void ReportWriter::WriteNotC64(std::string_view name) {
  out_.Write("!Error: ");
  out_.Write(name);
  out_.Line(" is not C64 file.");
}

void ReportWriter::WriteProblem(std::string_view name, std::string_view what) {
  out_.Write("!Error: ");
  out_.Write(name);
  out_.Write(": ");
  out_.Line(what);
}

}  // namespace zumtal
