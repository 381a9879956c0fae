#include "readers/dat_file.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <utility>

namespace zumtal {

namespace {

constexpr std::string_view kNotADat = "not a DAT file: neither XML nor the text form";
constexpr std::uint64_t kMaxIndex = std::numeric_limits<std::uint32_t>::max();
// expat is fed at most this much per call.
constexpr std::size_t kXmlPiece = 1 << 20;

constexpr std::size_t kLongestShown = 40;

// Text from a DAT as an error message shows it: printable ASCII, at most
// 40 bytes, "..." after a longer one.
std::string Printable(std::string_view text) {
  std::string shown;
  for (const char character : text.substr(0, kLongestShown)) {
    shown.push_back(character >= ' ' && character < '\x7F' ? character : '?');
  }
  return text.size() > kLongestShown ? shown + "..." : shown;
}

// A value as an error message quotes it.
std::string Shown(std::string_view value) {
  return "\"" + Printable(value.substr(0, kLongestShown)) + (value.size() > kLongestShown ? "\"..." : "\"");
}

// Each byte's value as a hex digit, of either case; 0xFF for the others.
constexpr std::array<std::uint8_t, 256> kHexDigits = [] {
  std::array<std::uint8_t, 256> digits{};
  digits.fill(0xFF);
  for (int i = 0; i < 10; ++i) {
    digits[static_cast<std::size_t>('0' + i)] = static_cast<std::uint8_t>(i);
  }
  for (int i = 0; i < 6; ++i) {
    digits[static_cast<std::size_t>('a' + i)] = static_cast<std::uint8_t>(10 + i);
    digits[static_cast<std::size_t>('A' + i)] = static_cast<std::uint8_t>(10 + i);
  }
  return digits;
}();

// Exactly two hex digits for every byte of `out`.
bool ParseHex(std::string_view text, std::span<std::uint8_t> out) {
  if (text.size() != out.size() * 2) {
    return false;
  }
  std::uint8_t invalid = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::uint8_t high = kHexDigits[static_cast<std::uint8_t>(text[2 * i])];
    const std::uint8_t low = kHexDigits[static_cast<std::uint8_t>(text[2 * i + 1])];
    invalid |= static_cast<std::uint8_t>(high | low);
    out[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return invalid < 16;
}

enum class RomField { kName, kSize, kCrc, kMd5, kSha1 };

}  // namespace

// Collects a DAT's games and roms, and its first error.
class DatBuilder {
 public:
  explicit DatBuilder(std::string path) { dat_.path_ = std::move(path); }

  bool Failed() const { return error_.has_value(); }
  void Fail(std::uint64_t line, std::string what) {
    if (!error_) {
      error_ = DatError{line, std::move(what)};
    }
  }

  // Texts are appended to the pool, then closed: the text from `start` to
  // the pool's end. A text equal to `same` (a game's name) shares its bytes;
  // so does one that begins with it when `same` ends where the text starts,
  // as a game's first rom "NAME.prg" follows "NAME". The pool then keeps
  // the rest alone.
  std::size_t PoolEnd() const { return dat_.pool_.size(); }
  void Append(std::string_view text) { dat_.pool_.append(text); }
  DatText Close(std::size_t start, DatText same, std::uint64_t line) {
    std::string& pool = dat_.pool_;
    if (pool.size() > kMaxIndex) {
      Fail(line, "too large: more than 4 GiB of names");
      return {};
    }
    const std::string_view text = std::string_view(pool).substr(start);
    const std::string_view sameText = dat_.Text(same);
    if (End(same) <= start && text == sameText) {
      pool.resize(start);
      return same;
    }
    if (End(same) == start && same.length > 0 && text.starts_with(sameText)) {
      pool.erase(start, same.length);
      return {same.offset, static_cast<std::uint32_t>(pool.size() - same.offset)};
    }
    return {static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(text.size())};
  }

  static std::size_t End(DatText text) { return std::size_t{text.offset} + text.length; }

  bool HasName() const { return hasName_; }
  void SetName(DatText name) {
    dat_.name_ = name;
    hasName_ = true;
  }

  void BeginGame(std::uint64_t line) {
    if (dat_.games_.size() >= kMaxIndex) {
      Fail(line, "too large: more than 4,294,967,295 games");
      return;
    }
    dat_.games_.push_back(DatGame{{}, {}, static_cast<std::uint32_t>(dat_.roms_.size()), 0});
    gameOpen_ = true;
    gameHas_ = {};
  }
  bool InGame() const { return gameOpen_; }
  void EndGame() { gameOpen_ = false; }
  // A game's name and description: the first of each counts.
  bool GameHasName() const { return gameHas_.first; }
  bool GameHasDescription() const { return gameHas_.second; }
  void SetGameName(DatText name) {
    dat_.games_.back().name = name;
    gameHas_.first = true;
  }
  void SetGameDescription(DatText description) {
    dat_.games_.back().description = description;
    gameHas_.second = true;
  }
  DatText GameName() const { return dat_.games_.back().name; }

  void BeginRom() {
    rom_ = DatRom{};
    romHasName_ = false;
    romStart_ = PoolEnd();
  }
  // A rom's attribute; the first value of each counts, an empty one is
  // none. A value that is not what the field holds fails the DAT.
  void SetRomField(RomField field, std::string_view value, std::uint64_t line) {
    switch (field) {
      case RomField::kName:
        if (!romHasName_) {
          const std::size_t start = PoolEnd();
          Append(value);
          rom_.name = Close(start, GameName(), line);
          romHasName_ = true;
        }
        return;
      case RomField::kSize:
        if (!rom_.hasSize && !value.empty()) {
          SetSize(value, line);
        }
        return;
      case RomField::kCrc:
        if (!rom_.hasCrc && !value.empty()) {
          std::array<std::uint8_t, 4> crc{};
          rom_.hasCrc = SetHash(value, crc, "crc", line);
          rom_.crc = static_cast<std::uint32_t>(crc[0] << 24 | crc[1] << 16 | crc[2] << 8 | crc[3]);
        }
        return;
      case RomField::kMd5:
        if (!rom_.hasMd5 && !value.empty()) {
          rom_.hasMd5 = SetHash(value, rom_.md5, "md5", line);
        }
        return;
      case RomField::kSha1:
        if (!rom_.hasSha1 && !value.empty()) {
          rom_.hasSha1 = SetHash(value, rom_.sha1, "sha1", line);
        }
        return;
    }
  }
  // Whether the rom being read would be kept.
  bool RomHasHash() const { return rom_.hasCrc || rom_.hasSha1; }
  // Keeps the rom under the open game, or drops it (and its name) when it
  // has neither a CRC nor a SHA-1.
  void EndRom(std::uint64_t line) {
    if (!RomHasHash()) {
      dat_.pool_.resize(romStart_);
      return;
    }
    if (dat_.roms_.size() >= kMaxIndex) {
      Fail(line, "too large: more than 4,294,967,295 roms");
      return;
    }
    rom_.game = static_cast<std::uint32_t>(dat_.games_.size() - 1);
    dat_.roms_.push_back(rom_);
    ++dat_.games_.back().romCount;
  }

  DatResult Result() {
    if (error_) {
      return *std::move(error_);
    }
    return std::move(dat_);
  }

 private:
  void SetSize(std::string_view value, std::uint64_t line) {
    std::uint64_t size = 0;
    for (const char digit : value) {
      if (digit < '0' || digit > '9') {
        Fail(line, "size " + Shown(value) + " is not a number");
        return;
      }
      const auto add = static_cast<std::uint64_t>(digit - '0');
      if (size > (std::numeric_limits<std::uint64_t>::max() - add) / 10) {
        Fail(line, "size " + Shown(value) + " is too large");
        return;
      }
      size = size * 10 + add;
    }
    rom_.size = size;
    rom_.hasSize = true;
  }

  bool SetHash(std::string_view value, std::span<std::uint8_t> out, const char* name, std::uint64_t line) {
    if (ParseHex(value, out)) {
      return true;
    }
    Fail(line, name + (" " + Shown(value)) + " is not " + std::to_string(out.size() * 2) + " hex digits");
    return false;
  }

  DatFile dat_;
  std::optional<DatError> error_;
  bool hasName_ = false;
  bool gameOpen_ = false;
  std::pair<bool, bool> gameHas_;  // name, description
  DatRom rom_;
  bool romHasName_ = false;
  std::size_t romStart_ = 0;
};

namespace {

// The XML form, through expat. Only what a DAT needs is looked at: the
// root, the header's name, each game's (or machine's) name, first
// description and roms. Character data is collected only while a wanted
// text is open.
class XmlForm {
 public:
  explicit XmlForm(DatBuilder& dat) : dat_(dat), parser_(XML_ParserCreate(nullptr)) {
    if (parser_ == nullptr) {
      throw std::bad_alloc();
    }
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, OnStart, OnEnd);
    // A DAT declares no entities of its own; refusing them keeps entity
    // expansion from multiplying the input.
    XML_SetEntityDeclHandler(parser_, OnEntityDeclaration);
  }
  ~XmlForm() { XML_ParserFree(parser_); }
  XmlForm(const XmlForm&) = delete;
  XmlForm& operator=(const XmlForm&) = delete;

  void Read(std::string_view bytes) {
    do {
      const std::string_view piece = bytes.substr(0, kXmlPiece);
      bytes.remove_prefix(piece.size());
      Parse(piece, false);
    } while (!bytes.empty() && !dat_.Failed());
  }
  void Finish() { Parse({}, true); }

 private:
  enum class Part { kOther, kHeader, kGame };
  enum class Capture { kNone, kHeaderName, kDescription };

  void Parse(std::string_view piece, bool last) {
    if (XML_Parse(parser_, piece.data(), static_cast<int>(piece.size()), last ? XML_TRUE : XML_FALSE) ==
            XML_STATUS_OK ||
        dat_.Failed()) {
      return;
    }
    dat_.Fail(Line(), std::string("malformed XML: ") + XML_ErrorString(XML_GetErrorCode(parser_)));
  }

  std::uint64_t Line() const { return XML_GetCurrentLineNumber(parser_); }

  void Stop(std::string what) {
    dat_.Fail(Line(), std::move(what));
    XML_StopParser(parser_, XML_FALSE);
  }

  static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
    static_cast<XmlForm*>(self)->Start(name, attributes);
  }
  static void XMLCALL OnEnd(void* self, const XML_Char*) { static_cast<XmlForm*>(self)->End(); }
  static void XMLCALL OnCharacters(void* self, const XML_Char* text, int length) {
    static_cast<XmlForm*>(self)->dat_.Append(std::string_view(text, static_cast<std::size_t>(length)));
  }
  static void XMLCALL OnEntityDeclaration(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                          const XML_Char*, const XML_Char*, const XML_Char*) {
    static_cast<XmlForm*>(self)->Stop("entity declarations are not supported");
  }

  void Start(std::string_view name, const XML_Char** attributes) {
    ++depth_;
    if (depth_ == 1) {
      if (name != "datafile" && name != "mame") {
        Stop("not a DAT file: the XML's root element is <" + Printable(name) + ">, not <datafile>");
      }
    } else if (depth_ == 2) {
      part_ = Part::kOther;
      if (name == "header") {
        part_ = Part::kHeader;
      } else if (name == "game" || name == "machine") {
        part_ = Part::kGame;
        StartGame(attributes);
      }
    } else if (depth_ == 3 && part_ == Part::kHeader && name == "name" && !dat_.HasName()) {
      StartCapture(Capture::kHeaderName);
    } else if (depth_ == 3 && part_ == Part::kGame) {
      if (name == "description" && !dat_.GameHasDescription()) {
        StartCapture(Capture::kDescription);
      } else if (name == "rom") {
        Rom(attributes);
      }
    }
  }

  void End() {
    if (capture_ != Capture::kNone && depth_ == 3) {
      XML_SetCharacterDataHandler(parser_, nullptr);
      const DatText text = dat_.Close(captureStart_, dat_.InGame() ? dat_.GameName() : DatText{}, Line());
      if (capture_ == Capture::kHeaderName) {
        dat_.SetName(text);
      } else {
        dat_.SetGameDescription(text);
      }
      capture_ = Capture::kNone;
    }
    if (depth_ == 2 && part_ == Part::kGame) {
      dat_.EndGame();
    }
    --depth_;
    if (dat_.Failed()) {
      XML_StopParser(parser_, XML_FALSE);
    }
  }

  void StartCapture(Capture capture) {
    capture_ = capture;
    captureStart_ = dat_.PoolEnd();
    XML_SetCharacterDataHandler(parser_, OnCharacters);
  }

  static std::string_view Attribute(const XML_Char** attributes, std::string_view name) {
    for (; attributes[0] != nullptr; attributes += 2) {
      if (name == attributes[0]) {
        return attributes[1];
      }
    }
    return {};
  }

  void StartGame(const XML_Char** attributes) {
    dat_.BeginGame(Line());
    if (!dat_.Failed()) {
      const std::size_t start = dat_.PoolEnd();
      dat_.Append(Attribute(attributes, "name"));
      dat_.SetGameName(dat_.Close(start, {}, Line()));
    }
    if (dat_.Failed()) {
      XML_StopParser(parser_, XML_FALSE);
    }
  }

  // The hashes first: a rom without a CRC or SHA-1 leaves no name behind.
  void Rom(const XML_Char** attributes) {
    std::string_view name;
    bool named = false;
    dat_.BeginRom();
    for (; attributes[0] != nullptr && !dat_.Failed(); attributes += 2) {
      const std::string_view key = attributes[0];
      const std::string_view value = attributes[1];
      if (key == "name") {
        name = value;
        named = true;
      } else if (key == "size") {
        dat_.SetRomField(RomField::kSize, value, Line());
      } else if (key == "crc") {
        dat_.SetRomField(RomField::kCrc, value, Line());
      } else if (key == "md5") {
        dat_.SetRomField(RomField::kMd5, value, Line());
      } else if (key == "sha1") {
        dat_.SetRomField(RomField::kSha1, value, Line());
      }
    }
    if (named && dat_.RomHasHash() && !dat_.Failed()) {
      dat_.SetRomField(RomField::kName, name, Line());
    }
    if (!dat_.Failed()) {
      dat_.EndRom(Line());
    }
    if (dat_.Failed()) {
      XML_StopParser(parser_, XML_FALSE);
    }
  }

  DatBuilder& dat_;
  XML_Parser parser_;
  std::uint64_t depth_ = 0;
  Part part_ = Part::kOther;
  Capture capture_ = Capture::kNone;
  std::size_t captureStart_ = 0;
};

// The text form: words (bare or in double quotes) and parentheses. A word
// followed by '(' opens a block; `clrmamepro` is the header, `game`,
// `machine` and `resource` are games, `rom` within a game is a rom, any
// other block is passed over whole. Within a known block a bare word that
// is a known key takes the next word as its value; other words are passed
// over, so unknown keys may have any number of values. A quoted string
// ends on its line.
class TextForm {
 public:
  TextForm(DatBuilder& dat, std::uint64_t line) : dat_(dat), line_(line) {}

  void Read(std::string_view bytes) {
    std::size_t at = ContinueToken(bytes);
    while (at < bytes.size() && !dat_.Failed()) {
      const char character = bytes[at];
      if (character == '\n') {
        ++line_;
        ++at;
      } else if (IsBlank(character)) {
        ++at;
      } else if (character == '(' || character == ')') {
        Token(character == '(' ? kOpen : kClose, {}, line_);
        ++at;
      } else if (character == '"') {
        const std::size_t end = bytes.find_first_of("\"\n", at + 1);
        if (end == std::string_view::npos) {
          Carry(kQuoted, bytes.substr(at + 1));
          return;
        }
        if (bytes[end] == '\n') {
          UnclosedString(line_);
          return;
        }
        Token(kQuoted, bytes.substr(at + 1, end - at - 1), line_);
        at = end + 1;
      } else {
        const std::size_t end = WordEnd(bytes, at);
        if (end == bytes.size()) {
          Carry(kWord, bytes.substr(at));
          return;
        }
        Token(kWord, bytes.substr(at, end - at), line_);
        at = end;
      }
    }
  }

  void Finish() {
    if (dat_.Failed()) {
      return;
    }
    if (carried_ == kQuoted) {
      UnclosedString(carriedLine_);
      return;
    }
    if (carried_ == kWord) {
      Token(kWord, carriedText_, carriedLine_);
    }
    FlushPending();
    if (dat_.Failed()) {
      return;
    }
    if (!started_) {
      dat_.Fail(line_, std::string(kNotADat));
    } else if (depth_ > 0) {
      dat_.Fail(topLine_, "\"" + Printable(topName_) + " (\" has no closing ')'");
    }
  }

 private:
  enum TokenKind { kNone, kWord, kQuoted, kOpen, kClose };
  enum class Block { kOther, kHeader, kGame };
  enum class Key { kNone, kHeaderName, kGameName, kDescription, kRomName, kSize, kCrc, kMd5, kSha1 };

  static bool IsBlank(char character) {
    return character == ' ' || character == '\t' || character == '\r' || character == '\f' || character == '\v';
  }
  static std::size_t WordEnd(std::string_view bytes, std::size_t at) {
    while (at < bytes.size() && !IsBlank(bytes[at]) && bytes[at] != '\n' && bytes[at] != '(' && bytes[at] != ')' &&
           bytes[at] != '"') {
      ++at;
    }
    return at;
  }

  void UnclosedString(std::uint64_t line) { dat_.Fail(line, "quoted string has no closing '\"' on its line"); }

  // A token cut by the end of the bytes read so far waits for the next.
  void Carry(TokenKind kind, std::string_view start) {
    carried_ = kind;
    carriedText_.assign(start);
    carriedLine_ = line_;
  }
  // Finishes a carried token with the start of `bytes`; where the tokens
  // go on.
  std::size_t ContinueToken(std::string_view bytes) {
    if (carried_ == kNone) {
      return 0;
    }
    std::size_t end = 0;
    if (carried_ == kQuoted) {
      end = bytes.find_first_of("\"\n");
      if (end != std::string_view::npos && bytes[end] == '\n') {
        UnclosedString(carriedLine_);
        return bytes.size();
      }
    } else {
      end = WordEnd(bytes, 0);
    }
    if (end == std::string_view::npos || end == bytes.size()) {
      carriedText_.append(bytes);
      return bytes.size();
    }
    carriedText_.append(bytes.substr(0, end));
    const TokenKind kind = carried_;
    carried_ = kNone;
    Token(kind, carriedText_, carriedLine_);
    return kind == kQuoted ? end + 1 : end;
  }

  // A word waits for the token after it: a '(' makes it a block's name.
  void Token(TokenKind kind, std::string_view text, std::uint64_t line) {
    if (kind == kOpen && pending_ == kWord) {
      pending_ = kNone;
      Open(pendingText_, true, pendingLine_);
      return;
    }
    FlushPending();
    if (kind == kOpen) {
      Open({}, false, line);
    } else if (kind == kClose) {
      Close(line);
    } else {
      pending_ = kind;
      pendingText_.assign(text);
      pendingLine_ = line;
    }
  }
  void FlushPending() {
    if (pending_ != kNone) {
      const bool quoted = pending_ == kQuoted;
      pending_ = kNone;
      Word(pendingText_, quoted, pendingLine_);
    }
  }

  bool Start(std::uint64_t line, bool named) {
    if (!started_ && !named) {
      dat_.Fail(line, std::string(kNotADat));
    }
    started_ = true;
    return !dat_.Failed();
  }

  void Open(std::string_view name, bool named, std::uint64_t line) {
    if (!Start(line, named)) {
      return;
    }
    key_ = Key::kNone;
    ++depth_;
    if (depth_ == 1) {
      topLine_ = line;
      topName_.assign(name.substr(0, kLongestShown + 1));
      block_ = Block::kOther;
      if (name == "clrmamepro") {
        block_ = Block::kHeader;
      } else if (name == "game" || name == "machine" || name == "resource") {
        block_ = Block::kGame;
        dat_.BeginGame(line);
      }
    } else if (depth_ == 2 && block_ == Block::kGame && name == "rom") {
      inRom_ = true;
      dat_.BeginRom();
    }
  }

  void Close(std::uint64_t line) {
    key_ = Key::kNone;
    if (!Start(line, false)) {
      return;
    }
    if (depth_ == 0) {
      dat_.Fail(line, "')' without a '(' before it");
      return;
    }
    if (depth_ == 2 && inRom_) {
      inRom_ = false;
      dat_.EndRom(line);
    } else if (depth_ == 1 && block_ == Block::kGame) {
      dat_.EndGame();
    }
    --depth_;
  }

  void Word(std::string_view text, bool quoted, std::uint64_t line) {
    if (!Start(line, false)) {
      return;
    }
    if (key_ != Key::kNone) {
      Value(std::exchange(key_, Key::kNone), text, line);
    } else if (!quoted) {
      key_ = KeyOf(text);
    }
  }

  Key KeyOf(std::string_view word) const {
    if (depth_ == 1 && block_ == Block::kHeader) {
      return word == "name" ? Key::kHeaderName : Key::kNone;
    }
    if (depth_ == 1 && block_ == Block::kGame) {
      return word == "name" ? Key::kGameName : word == "description" ? Key::kDescription : Key::kNone;
    }
    if (depth_ == 2 && inRom_) {
      constexpr std::pair<std::string_view, Key> kRomKeys[] = {
          {"name", Key::kRomName}, {"size", Key::kSize}, {"crc", Key::kCrc}, {"md5", Key::kMd5}, {"sha1", Key::kSha1}};
      for (const auto& [name, key] : kRomKeys) {
        if (word == name) {
          return key;
        }
      }
    }
    return Key::kNone;
  }

  void Value(Key key, std::string_view text, std::uint64_t line) {
    switch (key) {
      case Key::kHeaderName:
        if (!dat_.HasName()) {
          dat_.SetName(Text(text, {}, line));
        }
        return;
      case Key::kGameName:
        if (!dat_.GameHasName()) {
          dat_.SetGameName(Text(text, {}, line));
        }
        return;
      case Key::kDescription:
        if (!dat_.GameHasDescription()) {
          dat_.SetGameDescription(Text(text, dat_.GameName(), line));
        }
        return;
      case Key::kRomName:
        return dat_.SetRomField(RomField::kName, text, line);
      case Key::kSize:
        return dat_.SetRomField(RomField::kSize, text, line);
      case Key::kCrc:
        return dat_.SetRomField(RomField::kCrc, text, line);
      case Key::kMd5:
        return dat_.SetRomField(RomField::kMd5, text, line);
      case Key::kSha1:
        return dat_.SetRomField(RomField::kSha1, text, line);
      case Key::kNone:
        return;
    }
  }

  DatText Text(std::string_view text, DatText same, std::uint64_t line) {
    const std::size_t start = dat_.PoolEnd();
    dat_.Append(text);
    return dat_.Close(start, same, line);
  }

  DatBuilder& dat_;
  std::uint64_t line_;
  // The token cut by the end of the last bytes.
  TokenKind carried_ = kNone;
  std::string carriedText_;
  std::uint64_t carriedLine_ = 0;
  // The word before the current token.
  TokenKind pending_ = kNone;
  std::string pendingText_;
  std::uint64_t pendingLine_ = 0;

  bool started_ = false;
  std::uint64_t depth_ = 0;
  Block block_ = Block::kOther;  // of the open block at depth 1
  std::uint64_t topLine_ = 0;
  std::string topName_;
  bool inRom_ = false;
  Key key_ = Key::kNone;
};

}  // namespace

// Tells the form by the first byte that is not blank (after a byte order
// mark), then hands every byte to it. The blanks before that byte are not
// kept: the form is given as many lines in their place.
class DatReader::Impl {
 public:
  explicit Impl(std::string path) : dat_(std::move(path)) {}

  bool Read(std::string_view bytes) {
    if (dat_.Failed()) {
      return false;
    }
    if (!xml_ && !text_) {
      bytes = Decide(bytes);
    }
    if (xml_) {
      xml_->Read(bytes);
    } else if (text_) {
      text_->Read(bytes);
    }
    return !dat_.Failed();
  }

  DatResult Finish() {
    if (!dat_.Failed()) {
      if (xml_) {
        xml_->Finish();
      } else if (text_) {
        text_->Finish();
      } else {
        dat_.Fail(lines_ + 1, std::string(kNotADat));
      }
    }
    return dat_.Result();
  }

 private:
  static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

  // Passes over the blanks that start the DAT; the rest of `bytes` once
  // the form is known.
  std::string_view Decide(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size(); ++at, ++offset_) {
      const char character = bytes[at];
      if (offset_ == markBytes_ && markBytes_ < kByteOrderMark.size() && character == kByteOrderMark[markBytes_]) {
        ++markBytes_;
        continue;
      }
      if (character == '\n' || character == '\r' || character == ' ' || character == '\t') {
        // XML ends a line at CR LF, CR or LF; the text form at LF.
        xmlLines_ += character == '\r' || (character == '\n' && !afterReturn_) ? 1 : 0;
        lines_ += character == '\n' ? 1 : 0;
        afterReturn_ = character == '\r';
        blanks_ = true;
        continue;
      }
      const bool utf16 = offset_ == 0 && (character == '\xFE' || character == '\xFF');
      if (markBytes_ % kByteOrderMark.size() != 0) {
        dat_.Fail(1, std::string(kNotADat));  // a byte order mark cut short
      } else if (character == '<' || utf16) {
        xml_.emplace(dat_);
        ReplayBlanks();
      } else {
        text_.emplace(dat_, lines_ + 1);
      }
      return bytes.substr(at);
    }
    return {};
  }

  // What expat needs of the blanks passed over: the mark, the line breaks,
  // and whether there were any (which an XML declaration may not follow).
  void ReplayBlanks() {
    if (markBytes_ != 0) {
      xml_->Read(kByteOrderMark);
    }
    const std::string newlines(static_cast<std::size_t>(std::min<std::uint64_t>(xmlLines_, 4096)), '\n');
    for (std::uint64_t left = xmlLines_; left > 0 && !dat_.Failed(); left -= std::min<std::uint64_t>(left, 4096)) {
      xml_->Read(std::string_view(newlines).substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(left, 4096))));
    }
    if (blanks_ && xmlLines_ == 0) {
      xml_->Read(" ");
    }
  }

  DatBuilder dat_;
  std::optional<XmlForm> xml_;
  std::optional<TextForm> text_;
  std::uint64_t offset_ = 0;
  std::size_t markBytes_ = 0;
  std::uint64_t lines_ = 0;
  std::uint64_t xmlLines_ = 0;
  bool afterReturn_ = false;
  bool blanks_ = false;
};

DatReader::DatReader(std::string path) : impl_(std::make_unique<Impl>(std::move(path))) {}
DatReader::~DatReader() = default;

bool DatReader::Read(std::span<const std::uint8_t> bytes) {
  return impl_->Read(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

DatResult DatReader::Finish() { return impl_->Finish(); }

DatResult ReadDatFile(std::string_view bytes, std::string_view path) {
  DatReader reader{std::string(path)};
  reader.Read(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  return reader.Finish();
}

DatResult ReadDatFile(std::span<const std::uint8_t> bytes, std::string_view path) {
  return ReadDatFile(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path);
}

}  // namespace zumtal
