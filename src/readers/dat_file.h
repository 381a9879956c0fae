// The collectors' DAT files, in both of their forms: the XML datafile
// (`<datafile>`, `<header><name>`, `<game name>` or `<machine name>`,
// `<description>`, `<rom name size crc md5 sha1>`), read with expat, and the
// older text form (`clrmamepro ( name "..." )`, `game ( name "..."
// description "..." rom ( name "..." size N crc X md5 X sha1 X ) )`). The form
// is told by the content: XML begins with '<' (after a byte order mark and
// blanks), the text form with a word and '('.
//
// A DAT is held compactly: every string in one pool per DAT, every rom as a
// fixed record of 64 bytes, every game as one of 24.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zumtal {

// Where a DAT cannot be read: its line (counted from 1) and what is wrong.
// The run writes `zumtal: PATH: line N: what`.
struct DatError {
  std::uint64_t line = 0;
  std::string what;

  bool operator==(const DatError&) const = default;
};

// A string in a DAT's pool; DatFile::Text gives its bytes.
struct DatText {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

struct DatRom {
  DatText name;
  std::uint64_t size = 0;  // when hasSize
  std::uint32_t crc = 0;   // when hasCrc; "1a2b3c4d" is 0x1A2B3C4D
  std::uint32_t game = 0;  // the index of its game in DatFile::Games()
  bool hasSize = false;
  bool hasCrc = false;
  bool hasMd5 = false;
  bool hasSha1 = false;
  std::array<std::uint8_t, 16> md5{};   // when hasMd5, in the order written
  std::array<std::uint8_t, 20> sha1{};  // when hasSha1, in the order written
};

struct DatGame {
  DatText name;
  DatText description;
  std::uint32_t firstRom = 0;  // its roms are Roms()[firstRom, firstRom + romCount)
  std::uint32_t romCount = 0;
};

// A DAT as read: its games in the DAT's order, each with its roms in order.
// A rom with neither a CRC nor a SHA-1 is left out; a game whose roms are
// all left out stays, with none.
class DatFile {
 public:
  // The path the DAT was read under, as the caller gave it.
  const std::string& Path() const { return path_; }
  // The header's name; empty when the DAT has none (the caller then names
  // the DAT by its file's bare name).
  std::string_view Name() const { return Text(name_); }
  std::span<const DatGame> Games() const { return games_; }
  // Every rom of every game, in the DAT's order.
  std::span<const DatRom> Roms() const { return roms_; }
  std::span<const DatRom> RomsOf(const DatGame& game) const {
    return std::span<const DatRom>(roms_).subspan(game.firstRom, game.romCount);
  }
  std::string_view Text(DatText text) const { return std::string_view(pool_).substr(text.offset, text.length); }

 private:
  friend class DatBuilder;

  std::string path_;
  DatText name_;
  std::string pool_;
  std::vector<DatGame> games_;
  std::vector<DatRom> roms_;
};

using DatResult = std::variant<DatFile, DatError>;

// Reads a DAT that arrives in pieces, such as a file read a window at a
// time or an archive member as it is inflated: memory holds the DAT as read
// and at most one unfinished token, never the whole input.
class DatReader {
 public:
  explicit DatReader(std::string path);
  ~DatReader();
  DatReader(const DatReader&) = delete;
  DatReader& operator=(const DatReader&) = delete;

  // The next bytes of the DAT. False once the DAT has proved unreadable;
  // later bytes are then passed over, and Finish tells why.
  bool Read(std::span<const std::uint8_t> bytes);
  // After the last bytes: the DAT, or where and why it cannot be read. Call
  // it once.
  DatResult Finish();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// A DAT held whole in memory; `path` is kept as its Path().
DatResult ReadDatFile(std::span<const std::uint8_t> bytes, std::string_view path);
DatResult ReadDatFile(std::string_view bytes, std::string_view path);

}  // namespace zumtal
