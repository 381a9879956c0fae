// --dat: the catalogue as a Logiqx XML datafile, the format that ROM
// managers load: one game per container file that holds programs, one rom
// per program, with the hashes of its PRG form.
//
// Everything arrives from one thread in the order found: per container,
// its programs (AddRom), with any problem lines (Comment) at their place,
// then EndContainer. A game element opens with the container's first
// program, so a container without programs leaves no game behind.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "readers/dat_file.h"
#include "report/output.h"
#include "report/program_hash.h"
#include "report/report_writer.h"

namespace zumtal {

// Names made unique by " (2)", " (3)"... before a fixed tail. Names that
// differ only in the case of ASCII letters count as the same, as they do on
// the file systems that the sets are rebuilt onto.
class UniqueNames {
 public:
  std::string Claim(const std::string& stem, std::string_view tail);
  void Clear();

 private:
  std::unordered_set<std::string> taken_;
  // The number to try next for a name met before.
  std::unordered_map<std::string, std::uint64_t> next_;
};

class DatWriter {
 public:
  // Writes the XML declaration, the DOCTYPE, the datafile's start and the
  // header (`version` is the program's).
  DatWriter(Output& out, std::string_view version, std::string_view name = "zumtal",
            std::string_view description = "Commodore 64 programs catalogued by zumtal");

  // A program; its game is opened first when none is open or the open one
  // holds another PC file name.
  void AddRom(const EntryReport& report, const ProgramHashes& digests);
  // A game of another DAT with those of its roms that are given, as that
  // DAT has them; its name made unique as every game's is.
  void AddGame(const DatFile& dat, const DatGame& game, std::span<const DatRom* const> roms);
  // The container of the last programs ends: the next program opens a new
  // game, even under the same PC file name.
  void EndContainer();
  // A line about a problem, as an XML comment where it happened.
  void Comment(std::string_view text);
  // Closes the open game and the datafile.
  void Finish();
  // A run-ending failure: closes the open game, names the failure (its
  // lines, empty ones left out) in a comment and closes the datafile.
  void Fail(std::span<const std::string> failureLines);

 private:
  void CloseGame();
  void WriteComment(std::string_view text);

  Output& out_;
  bool gameOpen_ = false;
  bool finished_ = false;
  std::string gameFile_;  // the PC file name of the open game
  UniqueNames gameNames_;
  UniqueNames romNames_;  // within the open game
};

// The text of a name in the XML: valid UTF-8 kept, U+FFFD for every byte
// that is not and for each character that XML 1.0 forbids.
std::string XmlCharacters(std::string_view bytes);
// A rom's name before ".prg": the entry name without trailing blanks,
// characters that no file name may hold replaced by '_'; "noname" if empty.
std::string RomStem(std::string_view entryName);

}  // namespace zumtal
