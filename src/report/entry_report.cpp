#include "report/entry_report.h"

namespace zumtal {

namespace {

char Marker(Container container) {
  switch (container) {
    case Container::kPrg:
      return 'v';
    case Container::kT64:
      return ' ';
    case Container::kD64:
      return 'e';
  }
  return ' ';
}

}  // namespace

void ReportWriter::WriteEntryReport(const EntryReport& report, Container container) {
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
    out_.WriteNumber(report.size);
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
  out_.WriteNumber(report.size);
  out_.Write(",");
  out_.WriteNumber(report.rawCrc);
  out_.Write(",\"");
  out_.Write(report.imageNameHex);
  out_.Write("\",\"");
  out_.Write(report.entryNameHex);
  out_.Write("\"");
  out_.EndLine();
}

}  // namespace zumtal
