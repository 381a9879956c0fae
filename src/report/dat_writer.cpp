#include "report/dat_writer.h"

#include <cstdint>

#include "base/text.h"
#include "report/text_encoding.h"

namespace zumtal {

namespace {

constexpr std::string_view kProlog[] = {
    "<?xml version=\"1.0\"?>",
    "<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
    "\"http://www.logiqx.com/Dats/datafile.dtd\">",
    "<datafile>",
    "\t<header>",
};

// Characters that XML 1.0 does not allow: controls but tab, line feed and
// carriage return; U+FFFE and U+FFFF. (Surrogates are not valid UTF-8.)
bool ForbiddenInXml(char32_t codePoint) {
  return (codePoint < 0x20 && codePoint != '\t' && codePoint != '\n' && codePoint != '\r') || codePoint == 0xFFFE ||
         codePoint == 0xFFFF;
}

// Controls and the characters that Windows file names may not hold.
bool ForbiddenInFileName(char32_t codePoint) {
  return codePoint < 0x20 || (codePoint < 0x80 && std::string_view("/\\:*?\"<>|").find(static_cast<char>(codePoint)) !=
                                                      std::string_view::npos);
}

// Markup characters as references; tab, line feed and carriage return too,
// which attribute values would otherwise turn into blanks.
void AppendEscaped(std::string& out, std::string_view text) {
  for (const char character : text) {
    switch (character) {
      case '&':
        out.append("&amp;");
        break;
      case '<':
        out.append("&lt;");
        break;
      case '>':
        out.append("&gt;");
        break;
      case '"':
        out.append("&quot;");
        break;
      case '\t':
        out.append("&#9;");
        break;
      case '\n':
        out.append("&#10;");
        break;
      case '\r':
        out.append("&#13;");
        break;
      default:
        out.push_back(character);
    }
  }
}

std::string Escaped(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  AppendEscaped(escaped, text);
  return escaped;
}

}  // namespace

std::string XmlCharacters(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  char32_t codePoint = 0;
  while (!bytes.empty()) {
    const std::size_t length = Utf8Sequence(bytes, codePoint);
    text.append(length == 0 || ForbiddenInXml(codePoint) ? kReplacementCharacter : bytes.substr(0, length));
    bytes.remove_prefix(length == 0 ? 1 : length);
  }
  return text;
}

std::string RomStem(std::string_view entryName) {
  std::string stem;
  stem.reserve(entryName.size());
  std::size_t kept = 0;  // the length without the trailing blanks
  char32_t codePoint = 0;
  while (!entryName.empty()) {
    const std::size_t length = Utf8Sequence(entryName, codePoint);
    if (length == 0) {
      stem.append(kReplacementCharacter);
      // A stray $A0 is the C64's shifted blank, the padding of raw names.
      if (entryName.front() != '\xA0') {
        kept = stem.size();
      }
      entryName.remove_prefix(1);
      continue;
    }
    if (ForbiddenInFileName(codePoint)) {
      stem.push_back('_');
    } else if (ForbiddenInXml(codePoint)) {
      stem.append(kReplacementCharacter);
    } else {
      stem.append(entryName.substr(0, length));
    }
    if (codePoint != ' ') {
      kept = stem.size();
    }
    entryName.remove_prefix(length);
  }
  stem.resize(kept);
  return stem.empty() ? "noname" : stem;
}

std::string UniqueNames::Claim(const std::string& stem, std::string_view tail) {
  std::string name = stem + std::string(tail);
  std::string key = AsciiLower(name);
  if (taken_.insert(key).second) {
    return name;
  }
  // Each failed try is a name taken before under this stem: the tries of a
  // whole run stay linear in its names.
  std::uint64_t& next = next_.try_emplace(std::move(key), 2).first->second;
  for (;; ++next) {
    name = stem + " (" + std::to_string(next) + ")" + std::string(tail);
    if (taken_.insert(AsciiLower(name)).second) {
      ++next;
      return name;
    }
  }
}

void UniqueNames::Clear() {
  taken_.clear();
  next_.clear();
}

DatWriter::DatWriter(Output& out, std::string_view version, std::string_view name, std::string_view description)
    : out_(out) {
  for (const auto line : kProlog) {
    out_.Line(line);
  }
  out_.Line("\t\t<name>" + Escaped(XmlCharacters(name)) + "</name>");
  out_.Line("\t\t<description>" + Escaped(XmlCharacters(description)) + "</description>");
  out_.Line("\t\t<version>" + Escaped(XmlCharacters(version)) + "</version>");
  out_.Line("\t\t<author>zumtal</author>");
  out_.Line("\t</header>");
}

void DatWriter::AddRom(const EntryReport& report, const ProgramHashes& digests) {
  if (finished_) {
    return;
  }
  if (gameOpen_ && report.pcFileName != gameFile_) {
    CloseGame();
  }
  if (!gameOpen_) {
    const std::string name = Escaped(gameNames_.Claim(XmlCharacters(report.pcFileName), ""));
    out_.Line("\t<game name=\"" + name + "\">");
    out_.Line("\t\t<description>" + name + "</description>");
    gameOpen_ = true;
    gameFile_ = report.pcFileName;
  }
  std::string line = "\t\t<rom name=\"";
  AppendEscaped(line, romNames_.Claim(RomStem(report.entryName), ".prg"));
  line += "\" size=\"" + std::to_string(report.size + 2) + "\" crc=\"" + LowerHex(digests.crc32) + "\" md5=\"" +
          LowerHex(digests.md5) + "\" sha1=\"" + LowerHex(digests.sha1) + "\"/>";
  out_.Line(line);
}

void DatWriter::AddGame(const DatFile& dat, const DatGame& game, std::span<const DatRom* const> roms) {
  if (finished_) {
    return;
  }
  CloseGame();
  const std::string name = Escaped(gameNames_.Claim(XmlCharacters(dat.Text(game.name)), ""));
  out_.Line("\t<game name=\"" + name + "\">");
  out_.Line("\t\t<description>" + Escaped(XmlCharacters(dat.Text(game.description))) + "</description>");
  gameOpen_ = true;
  for (const DatRom* rom : roms) {
    std::string line = "\t\t<rom name=\"";
    AppendEscaped(line, XmlCharacters(dat.Text(rom->name)));
    // The DTD wants a size; a DAT that gives none gets 0.
    line += "\" size=\"" + std::to_string(rom->hasSize ? rom->size : 0) + "\"";
    if (rom->hasCrc) {
      line += " crc=\"" + LowerHex(rom->crc) + "\"";
    }
    if (rom->hasMd5) {
      line += " md5=\"" + LowerHex(rom->md5) + "\"";
    }
    if (rom->hasSha1) {
      line += " sha1=\"" + LowerHex(rom->sha1) + "\"";
    }
    out_.Line(line + "/>");
  }
  CloseGame();
}

void DatWriter::EndContainer() {
  if (!finished_) {
    CloseGame();
  }
}

void DatWriter::Comment(std::string_view text) {
  if (!finished_) {
    WriteComment(text);
  }
}

void DatWriter::Finish() {
  if (!finished_) {
    CloseGame();
    out_.Line("</datafile>");
    finished_ = true;
  }
}

void DatWriter::Fail(std::span<const std::string> failureLines) {
  if (finished_) {
    return;
  }
  CloseGame();
  std::string text;
  for (const auto& line : failureLines) {
    if (!line.empty()) {
      text += text.empty() ? "" : "\r\n\t";
      text += line;
    }
  }
  WriteComment(text);
  out_.Line("</datafile>");
  finished_ = true;
}

void DatWriter::CloseGame() {
  if (gameOpen_) {
    out_.Line("\t</game>");
    gameOpen_ = false;
    romNames_.Clear();
  }
}

void DatWriter::WriteComment(std::string_view text) {
  // A comment may hold neither "--" nor end in '-': a blank parts every
  // pair of hyphens, and one follows the text.
  std::string line = gameOpen_ ? "\t\t<!-- " : "\t<!-- ";
  for (const char character : XmlCharacters(text)) {
    if (character == '-' && line.back() == '-') {
      line.push_back(' ');
    }
    line.push_back(character);
  }
  line += " -->";
  out_.Line(line);
}

}  // namespace zumtal
