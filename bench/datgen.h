// Builders of the collectors' DAT files, in the XML form and the older text
// form: small hand-made ones for the tests and the fuzzers' seeds, and the
// benchmark's synthetic set of many games.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zumtal::testing {

struct DatRomSpec {
  std::string name;
  std::string size;  // as written; empty: left out
  std::string crc;
  std::string md5;
  std::string sha1;
};

struct DatGameSpec {
  std::string name;
  std::string description;
  std::vector<DatRomSpec> roms;
};

// Markup characters as the XML writes them; apostrophes as &apos;.
inline std::string XmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char character : text) {
    switch (character) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += character;
    }
  }
  return out;
}

// An XML DAT; `element` names the games' element (game or machine). An
// empty `name` leaves the header out.
inline std::string XmlDat(std::string_view name, const std::vector<DatGameSpec>& games,
                          std::string_view element = "game") {
  std::string xml =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
      "\"http://www.logiqx.com/Dats/datafile.dtd\">\n"
      "<datafile>\n";
  if (!name.empty()) {
    xml += "\t<header>\n\t\t<name>" + XmlEscaped(name) + "</name>\n\t\t<description>" + XmlEscaped(name) +
           "</description>\n\t\t<version>1</version>\n\t\t<author>zumtal</author>\n\t</header>\n";
  }
  for (const auto& game : games) {
    xml += "\t<" + std::string(element) + " name=\"" + XmlEscaped(game.name) + "\">\n\t\t<description>" +
           XmlEscaped(game.description) + "</description>\n";
    for (const auto& rom : game.roms) {
      xml += "\t\t<rom name=\"" + XmlEscaped(rom.name) + "\"";
      for (const auto& [key, value] : {std::pair{"size", &rom.size}, std::pair{"crc", &rom.crc},
                                       std::pair{"md5", &rom.md5}, std::pair{"sha1", &rom.sha1}}) {
        if (!value->empty()) {
          xml += " " + std::string(key) + "=\"" + *value + "\"";
        }
      }
      xml += "/>\n";
    }
    xml += "\t</" + std::string(element) + ">\n";
  }
  return xml + "</datafile>\n";
}

// A text-form DAT; the names must not hold '"'.
inline std::string TextDat(std::string_view name, const std::vector<DatGameSpec>& games) {
  std::string text;
  if (!name.empty()) {
    text += "clrmamepro (\n\tname \"" + std::string(name) + "\"\n\tversion 1\n)\n\n";
  }
  for (const auto& game : games) {
    text += "game (\n\tname \"" + game.name + "\"\n\tdescription \"" + game.description + "\"\n";
    for (const auto& rom : game.roms) {
      text += "\trom ( name \"" + rom.name + "\"";
      for (const auto& [key, value] : {std::pair{"size", &rom.size}, std::pair{"crc", &rom.crc},
                                       std::pair{"md5", &rom.md5}, std::pair{"sha1", &rom.sha1}}) {
        if (!value->empty()) {
          text += " " + std::string(key) + " " + *value;
        }
      }
      text += " )\n";
    }
    text += ")\n\n";
  }
  return text;
}

// Deterministic games for the benchmark and the seeds: titles in the
// collectors' style, some with apostrophes, ampersands and accents; most
// games of one rom, every seventh of two or three; every hash present.
class DatSynthesizer {
 public:
  explicit DatSynthesizer(std::uint64_t seed) : state_(seed) {}

  std::vector<DatGameSpec> Games(std::size_t roms) {
    std::vector<DatGameSpec> games;
    while (roms > 0) {
      const std::size_t count = std::min<std::size_t>(roms, ++serial_ % 7 == 0 ? 2 + Next() % 2 : 1);
      games.push_back(Game(count));
      roms -= count;
    }
    return games;
  }

 private:
  std::uint32_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state_ >> 33);
  }
  std::string Hex(std::size_t digits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex(digits, '0');
    for (auto& digit : hex) {
      digit = kDigits[Next() % 16];
    }
    return hex;
  }
  template <std::size_t N>
  const char* Pick(const char* const (&words)[N]) {
    return words[Next() % N];
  }

  DatGameSpec Game(std::size_t roms) {
    static constexpr const char* kFirst[] = {"Boulder", "Knight's", "Space", "Zürich",      "Thunder",
                                             "Crystal", "Neon",     "Jet",   "Rock & Roll", "Café",
                                             "Frog's",  "Last",     "Cyber", "Ninja"};
    static constexpr const char* kSecond[] = {"Run",    "Quest",  "Raiders", "Express", "Castle", "Mission",
                                              "Patrol", "Legend", "Harbour", "Escape",  "Racer",  "Warrior"};
    static constexpr const char* kThird[] = {"II", "Deluxe",          "Construction Kit", "of the Lost Valley",
                                             "64", "Special Edition", "III - The Return", "Plus"};
    static constexpr const char* kMakers[] = {"Maker Soft", "Blue Byte Works", "Software Projects & Co",
                                              "Ocean Side", "Hewson's",        "Mastertronix"};
    static constexpr const char* kFlags[] = {"", "", "", "[a]", "[a2]", "[cr Triad]", "[t +3]", "[h Ikari]"};
    char year[16];
    std::snprintf(year, sizeof year, " (19%02u)", 82 + Next() % 12);
    DatGameSpec game;
    game.name = std::string(Pick(kFirst)) + " " + Pick(kSecond) + " " + Pick(kThird) + " " + std::to_string(serial_) +
                year + "(" + Pick(kMakers) + ")" + Pick(kFlags);
    game.description = game.name;
    for (std::size_t i = 0; i < roms; ++i) {
      DatRomSpec rom;
      rom.name = roms == 1 ? game.name + ".prg" : game.name + " - part " + std::to_string(i + 1) + ".prg";
      rom.size = std::to_string(2 + Next() % 60000);
      rom.crc = Hex(8);
      rom.md5 = Hex(32);
      rom.sha1 = Hex(40);
      game.roms.push_back(std::move(rom));
    }
    return game;
  }

  std::uint64_t state_;
  std::uint64_t serial_ = 0;
};

}  // namespace zumtal::testing
