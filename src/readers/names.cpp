#include "readers/names.h"

#include "readers/readers.h"

namespace zumtal {

std::string ToPrintable(std::string_view text) {
  std::string printable(text);
  for (auto& character : printable) {
    character = PrintableByte(character);
  }
  return printable;
}

EntryReport OneProgramReport(InputFile& in, const ContainerNames& names, std::uint64_t nameAt, std::size_t nameLength) {
  EntryReport report;
  report.pcFileName = names.pcFileName;
  report.imageName = names.bareName;
  report.imageNameHex = ToHex(names.bareName);
  in.SeekTo(nameAt);
  const std::string name = in.ReadText(nameLength);
  report.entryName = ToPrintable(name);
  report.entryNameHex = ToHex(name);
  return report;
}

}  // namespace zumtal
