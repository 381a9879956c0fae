// NBZ decompression. The file is read in large steps; a run of plain bytes
// is found with memchr and copied whole, and a copy from far enough back is
// one memcpy, from near back a few that double in size.
#include "readers/nbz.h"

#include <algorithm>
#include <cstring>

namespace zumtal {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
// Numbers are held to this much: past it, any length or offset is already
// wrong, and the value cannot overflow.
constexpr std::uint64_t kNumberCeiling = std::uint64_t{1} << 40;

// The file's bytes in order, a chunk at a time.
class Source {
 public:
  explicit Source(InputFile& in) : in_(in), buffer_(kChunk) { in_.SeekTo(0); }

  // The offset in the file of the next byte.
  std::uint64_t Offset() const { return base_ + at_; }
  bool AtEnd() { return at_ == end_ && !Refill(); }
  // The next byte; only when not AtEnd().
  std::uint8_t Peek() const { return buffer_[at_]; }
  std::uint8_t Take() { return buffer_[at_++]; }

  // The bytes from the next one up to the next `marker` or the end of the
  // chunk, at most `most` of them, taken; only when not AtEnd().
  std::size_t TakeUntil(std::uint8_t marker, std::size_t most, const std::uint8_t*& bytes) {
    bytes = buffer_.data() + at_;
    const std::size_t span = std::min(end_ - at_, most);
    const void* found = std::memchr(bytes, marker, span);
    const std::size_t count =
        found == nullptr ? span : static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - bytes);
    at_ += count;
    return count;
  }

  // A variable-length number; false when the file ends inside it.
  bool Number(std::uint64_t& value) {
    value = 0;
    for (;;) {
      if (AtEnd()) {
        return false;
      }
      const std::uint8_t byte = Take();
      value = std::min(value << 7 | (byte & 0x7Fu), kNumberCeiling);
      if ((byte & 0x80) == 0) {
        return true;
      }
    }
  }

 private:
  bool Refill() {
    base_ += end_;
    at_ = 0;
    end_ = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, in_.FileLength() - base_));
    if (end_ == 0) {
      return false;
    }
    in_.ReadInto(buffer_.data(), end_);
    return true;
  }

  InputFile& in_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t base_ = 0;  // the offset in the file of the buffer's first byte
  std::size_t at_ = 0;
  std::size_t end_ = 0;
};

}  // namespace

NbzResult DecompressNbz(InputFile& in, std::vector<std::uint8_t>& out) {
  constexpr auto kMost = static_cast<std::size_t>(kNbzMostOutput);
  out.clear();
  Source source(in);
  if (source.AtEnd()) {
    return {true, 0};
  }
  const std::uint8_t marker = source.Take();
  out.resize(kMost);
  std::uint8_t* const output = out.data();
  std::size_t size = 0;
  const auto damaged = [&out](std::uint64_t at) {
    out.clear();
    return NbzResult{false, at};
  };
  while (!source.AtEnd()) {
    if (source.Peek() != marker) {
      if (size == kMost) {
        return damaged(source.Offset());
      }
      const std::uint8_t* bytes = nullptr;
      const std::size_t count = source.TakeUntil(marker, kMost - size, bytes);
      std::memcpy(output + size, bytes, count);
      size += count;
      continue;
    }
    const std::uint64_t code = source.Offset();
    source.Take();
    if (source.AtEnd()) {
      return damaged(code);
    }
    if (source.Peek() == 0) {
      source.Take();
      if (size == kMost) {
        return damaged(code);
      }
      output[size++] = marker;
      continue;
    }
    std::uint64_t length = 0;
    std::uint64_t offset = 0;
    if (!source.Number(length) || !source.Number(offset) || offset == 0 || offset > size || length > kMost - size) {
      return damaged(code);
    }
    // Each step copies bytes already written: the output repeats with the
    // copy's period from `from` on, so the step can double each time.
    const std::size_t from = size - static_cast<std::size_t>(offset);
    for (auto left = static_cast<std::size_t>(length); left > 0;) {
      const std::size_t step = std::min(left, size - from);
      std::memcpy(output + size, output + from, step);
      size += step;
      left -= step;
    }
  }
  out.resize(size);
  return {true, 0};
}

}  // namespace zumtal
