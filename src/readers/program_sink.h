// What the readers hand on, and to whom: each program they find, as a
// report, and the bytes it is made of. The report writer implements the
// sink; tests use small sinks of their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zumtal {

class InputFile;
struct Format;

struct EntryReport {
  std::string pcFileName;
  std::string imageName;
  std::string entryName;
  std::uint16_t loadAddress = 0;
  // The true number of data bytes; the CSV line and the long block write it
  // modulo 65536.
  std::uint64_t size = 0;
  std::int32_t rawCrc = 0;
  std::string imageNameHex;
  std::string entryNameHex;
  // How many of its own sectors the image's error bytes mark as read with
  // an error (codes other than 0 and 1); 0 where there are none.
  std::uint32_t sectorErrors = 0;
};

class ProgramSink {
 public:
  // A program begins: its load address has been read, and from now on the
  // bytes that `in` sums are its data bytes, in order.
  virtual void BeginProgram(InputFile& in, std::uint16_t loadAddress) = 0;
  // Its report, once its data bytes are summed, in a container of `format`.
  virtual void EndProgram(const EntryReport& report, const Format& format) = 0;
  // The file is of no form that is read, although its name said it would be.
  virtual void NotC64(std::string_view pcFileName) = 0;
  // A program that cannot be read whole, with its names as far as they were
  // read; `what` says what and where. True when the run keeps going past it:
  // the reader then goes on with its next program. False: the damage ends
  // the run.
  virtual bool ProgramDamaged(const EntryReport& report, const Format& format, std::string_view what) = 0;
  // A file that holds nothing to report, for a reason that is no damage:
  // `what` says why. The run goes on, its status unchanged.
  virtual void Problem(std::string_view pcFileName, std::string_view what) = 0;

 protected:
  ~ProgramSink() = default;
};

}  // namespace zumtal
