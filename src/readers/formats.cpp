// The format table: a format is read where its row is.
#include "base/text.h"
#include "readers/archives.h"
#include "readers/readers.h"

namespace zumtal {

namespace {

constexpr Format kFormats[] = {
    {"PRG", ".PRG", 'v', ReadPrg, ".prg", "a program: load address, then data"},
    {"T64", ".T64", ' ', ReadT64, ".t64", "a tape archive"},
    {"TAP", ".TAP", ' ', ReadTap, ".tap",
     "a C64 tape's pulses: the programs saved with the machine's own tape routine (not those of fast loaders)"},
    {"D64", ".D64", 'e', ReadD64, ".d64", "a 1541 disk image, 35 or 40 tracks, with or without error bytes"},
    {"D71", ".D71", 'e', ReadD71, ".d71", "a 1571 disk image"},
    {"D81", ".D81", 'e', ReadD81, ".d81", "a 1581 disk image"},
    {"G64", ".G64", 'e', ReadG64, ".g64", "a 1541 disk image of GCR tracks"},
    {"NIB", ".NIB", 'e', ReadNib, ".nib", "a 1541 disk as the drive read it (raw GCR tracks)"},
    {"NBZ", ".NBZ", 'e', ReadNbz, ".nbz", "a compressed .nib"},
    {"Z64", ".Z64", 'e', ReadZipcode, "1!NAME.z64 ...",
     "a Zipcode set: four files 1!NAME.z64 to 4!NAME.z64 in one folder, reported once under its 1! file", ZipcodeTakes,
     ZipcodeBeside, ZipcodeReportedElsewhere},
    {"P00", ".P##", 'v', ReadP00, ".p00-.p99", "a PC64 program file"},
    {"PC64", ".S## .U## .R## .D##", ' ', ReadPc64NonProgram, ".s00 .u00 .r00 .d00",
     "PC64 files of other kinds (any two digits): no report"},
    {"LNX", ".LNX", ' ', ReadLnx, ".lnx", "a Lynx archive"},
    {"CRT", ".CRT", 'v', ReadCrt, ".crt", "a cartridge image: one report for its ROM chips"},
    {"SID", ".SID", 'v', ReadSid, ".sid", "a SID tune (PSID or RSID): one report for its data"},
};

bool KeyMatches(std::string_view pattern, std::string_view key) {
  if (pattern.size() != key.size()) {
    return false;
  }
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (pattern[i] == '#' ? !IsDigit(key[i]) : pattern[i] != key[i]) {
      return false;
    }
  }
  return true;
}

bool RowMatches(std::string_view keys, std::string_view key) {
  while (!keys.empty()) {
    const std::size_t blank = keys.find(' ');
    if (KeyMatches(keys.substr(0, blank), key)) {
      return true;
    }
    keys.remove_prefix(blank == std::string_view::npos ? keys.size() : blank + 1);
  }
  return false;
}

}  // namespace

std::span<const Format> Formats() { return kFormats; }

std::string ExtensionKey(std::string_view fileName) {
  return AsciiUpper(fileName.substr(fileName.size() >= 4 ? fileName.size() - 4 : 0));
}

const Format* FindFormat(std::string_view fileName) {
  const std::string key = ExtensionKey(fileName);
  for (const Format& format : kFormats) {
    if (RowMatches(format.keys, key) && (format.takes == nullptr || format.takes(BareName(fileName)))) {
      return &format;
    }
  }
  return nullptr;
}

}  // namespace zumtal
