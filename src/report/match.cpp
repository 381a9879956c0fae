#include "report/match.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/text.h"
#include "report/dat_writer.h"
#include "report/text_encoding.h"

namespace zumtal {

std::size_t MatchIndex::Sha1Hash::operator()(const Sha1Value& sha1) const {
  std::size_t value = 0;
  std::memcpy(&value, sha1.data(), sizeof value);
  return value;
}

MatchIndex::MatchIndex(std::vector<NamedDat> dats) : dats_(std::move(dats)) {
  for (std::uint32_t d = 0; d < dats_.size(); ++d) {
    const auto roms = dats_[d].file.Roms();
    romCount_ += roms.size();
    for (std::uint32_t r = 0; r < roms.size(); ++r) {
      const DatRom& rom = roms[r];
      if (rom.hasSize) {
        sizes_.insert(rom.size);
      } else {
        anySize_ = true;
      }
      if (rom.hasSha1) {
        bySha1_.emplace(rom.sha1, RomRef{d, r});
      } else {
        byCrc_.emplace(rom.crc, RomRef{d, r});
      }
    }
  }
}

std::vector<MatchIndex::RomRef> MatchIndex::Find(const ProgramHashes& hashes, std::uint64_t size) const {
  std::vector<RomRef> found;
  const auto [sha1First, sha1Last] = bySha1_.equal_range(hashes.sha1);
  for (auto it = sha1First; it != sha1Last; ++it) {
    const DatRom& rom = dats_[it->second.dat].file.Roms()[it->second.rom];
    if (!rom.hasSize || rom.size == size) {
      found.push_back(it->second);
    }
  }
  const auto [crcFirst, crcLast] = byCrc_.equal_range(hashes.crc32);
  for (auto it = crcFirst; it != crcLast; ++it) {
    const DatRom& rom = dats_[it->second.dat].file.Roms()[it->second.rom];
    if (!rom.hasSize || rom.size == size) {
      found.push_back(it->second);
    }
  }
  // The DATs' order, and each DAT's, whichever map a rom came from.
  std::sort(found.begin(), found.end(),
            [](RomRef a, RomRef b) { return a.dat != b.dat ? a.dat < b.dat : a.rom < b.rom; });
  return found;
}

MatchWriter::MatchWriter(Output& out, const MatchIndex& index, Layout layout, bool fixDat, std::string_view version)
    : out_(out), index_(index), layout_(layout), fixDat_(fixDat), version_(version) {
  std::size_t roms = 0;
  for (const NamedDat& dat : index.Dats()) {
    firstRomOf_.push_back(roms);
    roms += dat.file.Roms().size();
  }
  hit_.assign(roms, false);
}

namespace {

void AppendKey(std::string& out, std::string_view key) {
  out.append(",\"");
  out.append(key);
  out.append("\":");
}

// The CSV layout's quoting: the bytes as they stand between quotes.
void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  out.append(text);
  out.push_back('"');
}

}  // namespace

void MatchWriter::Have(MatchIndex::RomRef ref, std::string_view pcFileName, const EntryReport* program) {
  hit_[firstRomOf_[ref.dat] + ref.rom] = true;
  if (fixDat_) {
    return;
  }
  const NamedDat& dat = index_.Dats()[ref.dat];
  const DatRom& rom = dat.file.Roms()[ref.rom];
  const std::string_view game = dat.file.Text(dat.file.Games()[rom.game].name);
  if (layout_ == Layout::kJson) {
    line_ = "{\"status\":\"have\"";
    AppendKey(line_, "dat");
    AppendJsonString(line_, dat.name);
    AppendKey(line_, "game");
    AppendJsonString(line_, game);
    AppendKey(line_, "rom");
    AppendJsonString(line_, dat.file.Text(rom.name));
    AppendKey(line_, "file");
    AppendJsonString(line_, pcFileName);
    if (!IsValidUtf8(pcFileName)) {
      AppendKey(line_, "file_hex");
      AppendQuoted(line_, ToHex(pcFileName));
    }
    if (program != nullptr) {
      AppendKey(line_, "entry_name");
      AppendJsonString(line_, program->entryName);
      AppendKey(line_, "entry_name_hex");
      AppendQuoted(line_, program->entryNameHex);
    }
    line_.push_back('}');
  } else {
    line_ = "have,";
    for (const std::string_view text :
         {std::string_view(dat.name), game, dat.file.Text(rom.name), pcFileName}) {
      AppendQuoted(line_, text);
      line_.push_back(',');
    }
    AppendQuoted(line_, program != nullptr ? std::string_view(program->entryName) : std::string_view());
  }
  out_.Line(line_);
}

void MatchWriter::File(std::string_view pcFileName, std::uint64_t size, const std::optional<ProgramHashes>& hashes) {
  fileIdentified_ = false;
  if (!hashes) {
    return;
  }
  for (const MatchIndex::RomRef ref : index_.Find(*hashes, size)) {
    Have(ref, pcFileName, nullptr);
    fileIdentified_ = true;
  }
}

void MatchWriter::Program(const EntryReport& report, const ProgramHashes& hashes) {
  ++programs_;
  const std::vector<MatchIndex::RomRef> found = index_.Find(hashes, report.size + 2);
  for (const MatchIndex::RomRef ref : found) {
    Have(ref, report.pcFileName, &report);
  }
  if (!found.empty() || fileIdentified_) {
    ++identified_;
    return;
  }
  if (fixDat_) {
    return;
  }
  const std::string sha1 = LowerHex(hashes.sha1);
  if (layout_ == Layout::kJson) {
    line_ = "{\"status\":\"unknown\"";
    AppendKey(line_, "file");
    AppendJsonString(line_, report.pcFileName);
    if (!IsValidUtf8(report.pcFileName)) {
      AppendKey(line_, "file_hex");
      AppendQuoted(line_, ToHex(report.pcFileName));
    }
    AppendKey(line_, "entry_name");
    AppendJsonString(line_, report.entryName);
    AppendKey(line_, "entry_name_hex");
    AppendQuoted(line_, report.entryNameHex);
    line_ += ",\"load_address\":" + std::to_string(report.loadAddress) + ",\"size\":" + std::to_string(report.size);
    AppendKey(line_, "sha1");
    AppendQuoted(line_, sha1);
    line_.push_back('}');
  } else {
    line_ = "unknown,";
    AppendQuoted(line_, report.pcFileName);
    line_.push_back(',');
    AppendQuoted(line_, report.entryName);
    line_ += "," + std::to_string(report.loadAddress) + "," + std::to_string(report.size) + "," + sha1;
  }
  out_.Line(line_);
}

void MatchWriter::Line(std::string_view text) {
  if (!fixDat_) {
    out_.Line(text);
  }
}

void MatchWriter::Finish() {
  std::uint64_t have = 0;
  for (const bool hit : hit_) {
    have += hit ? 1 : 0;
  }
  const auto& dats = index_.Dats();
  if (fixDat_) {
    DatWriter dat(out_, version_, "zumtal fix-DAT", "Roms of the DATs that zumtal did not find");
    std::vector<const DatRom*> missing;
    for (std::size_t d = 0; d < dats.size(); ++d) {
      const DatFile& file = dats[d].file;
      for (const DatGame& game : file.Games()) {
        missing.clear();
        for (std::uint32_t r = game.firstRom; r < game.firstRom + game.romCount; ++r) {
          if (!hit_[firstRomOf_[d] + r]) {
            missing.push_back(&file.Roms()[r]);
          }
        }
        if (!missing.empty()) {
          dat.AddGame(file, game, missing);
        }
      }
    }
    dat.Finish();
    return;
  }
  for (std::size_t d = 0; d < dats.size(); ++d) {
    const DatFile& file = dats[d].file;
    const auto roms = file.Roms();
    for (std::size_t r = 0; r < roms.size(); ++r) {
      if (hit_[firstRomOf_[d] + r]) {
        continue;
      }
      const std::string_view game = file.Text(file.Games()[roms[r].game].name);
      if (layout_ == Layout::kJson) {
        line_ = "{\"status\":\"miss\"";
        AppendKey(line_, "dat");
        AppendJsonString(line_, dats[d].name);
        AppendKey(line_, "game");
        AppendJsonString(line_, game);
        AppendKey(line_, "rom");
        AppendJsonString(line_, file.Text(roms[r].name));
        line_.push_back('}');
      } else {
        line_ = "miss,";
        AppendQuoted(line_, dats[d].name);
        line_.push_back(',');
        AppendQuoted(line_, game);
        line_.push_back(',');
        AppendQuoted(line_, file.Text(roms[r].name));
      }
      out_.Line(line_);
    }
  }
  const std::uint64_t roms = hit_.size();
  const std::uint64_t unknown = programs_ - identified_;
  if (layout_ == Layout::kJson) {
    out_.Line("{\"dats\":" + std::to_string(dats.size()) + ",\"roms\":" + std::to_string(roms) +
              ",\"have\":" + std::to_string(have) + ",\"miss\":" + std::to_string(roms - have) +
              ",\"programs\":" + std::to_string(programs_) + ",\"identified\":" + std::to_string(identified_) +
              ",\"unknown\":" + std::to_string(unknown) + "}");
  } else {
    out_.Line(std::to_string(dats.size()) + " DATs, " + std::to_string(roms) + " roms: " + std::to_string(have) +
              " have, " + std::to_string(roms - have) + " miss; " + std::to_string(programs_) + " programs: " +
              std::to_string(identified_) + " identified, " + std::to_string(unknown) + " unknown");
  }
}

bool MatchWriter::Fail(const std::vector<std::string>& failureLines) {
  if (!fixDat_) {
    return false;
  }
  DatWriter dat(out_, version_, "zumtal fix-DAT", "Roms of the DATs that zumtal did not find");
  dat.Fail(failureLines);
  return true;
}

}  // namespace zumtal
