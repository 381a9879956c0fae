// The one open input file and the primitives through which readers see it.
// Reads go through a window of the file held in memory, so a reader's
// byte-at-a-time reads cost no system call each, and memory stays bounded
// whatever the size of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "readers/platform_file.h"

namespace zumtal {

// Receives the bytes that SumBytes sums, in the runs it reads them in.
class ByteSink {
 public:
  virtual void Take(const std::uint8_t* bytes, std::size_t count) = 0;

 protected:
  ~ByteSink() = default;
};

class InputFile {
 public:
  // The size of the window: a whole disk image, of any format with its
  // error bytes, fits in one read.
  static constexpr std::size_t kWindow = 1024 * 1024;

  // A file held in memory (tests and fuzzing).
  explicit InputFile(std::vector<std::uint8_t> bytes);
  // A file over a buffer that the caller owns and keeps alive; its length
  // is fixed, and its bytes may change between reads (sectors decoded into
  // it on demand are read where they land).
  explicit InputFile(std::span<const std::uint8_t> bytes);
  // Opens a file from the file system; nullptr when it cannot be opened.
  // A relative path is taken in `directory`, a handle that the platform's
  // directory walk lends, or in the current directory when it is -1.
  static std::unique_ptr<InputFile> Open(const std::string& path, std::intptr_t directory = -1);

  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Whether the first reads of files keep finding their bytes out of the
  // system's cache (a quarter of them, and at least eight): reading the
  // files ahead then keeps the disk busy.
  static bool FilesAreCold();

  // Asks the system to read the whole file ahead (a file on disk only).
  void ReadAhead() {
    if (open_) {
      zumtal::ReadAhead(handle_);
    }
  }

  // Closes the file; a failure ends the run with the system's error number.
  void Close();

  // Each read that cannot deliver its bytes ends the run with status 100.
  std::uint8_t ReadByte() {
    const std::uint64_t inWindow = position_ - windowStart_;
    if (inWindow < windowLength_) {
      ++position_;
      return window_[inWindow];
    }
    return ReadByteSlow();
  }
  // Low byte first.
  std::uint16_t ReadWord();
  std::uint32_t ReadLong();
  // Exactly `count` bytes, as they stand.
  std::string ReadText(std::size_t count);
  // Copies the next `count` bytes into `destination`, in large steps.
  void ReadInto(std::uint8_t* destination, std::size_t count);
  // The sum of the next `count` bytes, each 0 to 255, modulo 2^32: the same
  // as `count` calls of ReadByte, in large steps.
  std::uint32_t SumBytes(std::uint64_t count);
  // From now on SumBytes also passes the bytes it sums to `sink` (nullptr:
  // to nothing). The sink must outlive the file or be unset first.
  void SetSumSink(ByteSink* sink) { sink_ = sink; }

  // Any offset is accepted; a read beyond the end fails.
  void SeekTo(std::uint64_t offset) { position_ = offset; }
  std::uint64_t FileLength() const { return length_; }
  // A file from the file system: its modification time when it was opened,
  // in nanoseconds since 1970; 0 for bytes in memory.
  std::int64_t ModifiedNs() const { return modifiedNs_; }

 private:
  InputFile(FileHandle handle, const FileFacts& facts);
  std::uint8_t ReadByteSlow();
  // Makes the window hold position_, or ends the run.
  void Fill();

  FileHandle handle_;
  bool open_ = false;
  std::uint64_t length_ = 0;
  std::int64_t modifiedNs_ = 0;
  std::uint64_t position_ = 0;
  std::vector<std::uint8_t> memory_;
  const std::uint8_t* window_ = nullptr;
  std::uint64_t windowStart_ = 0;
  std::uint64_t windowLength_ = 0;
  ByteSink* sink_ = nullptr;
};

}  // namespace zumtal
