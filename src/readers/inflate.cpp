#include "readers/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/run_failure.h"

namespace zumtal {

namespace {

constexpr std::size_t kChunk = 256 * 1024;
constexpr char kDoesNotInflate[] = "data does not inflate";

class Stream {
 public:
  explicit Stream(DeflateWrapping wrapping) {
    // Raw deflate for zip members; gzip members only (no zlib wrapping).
    if (inflateInit2(&stream_, wrapping == DeflateWrapping::kRaw ? -MAX_WBITS : 16 + MAX_WBITS) != Z_OK) {
      FailRead(kDoesNotInflate);
    }
  }
  ~Stream() { inflateEnd(&stream_); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  z_stream* operator->() { return &stream_; }
  z_stream* get() { return &stream_; }

 private:
  z_stream stream_{};
};

[[noreturn]] void FailInflate(const z_stream& stream) {
  // zlib checks a gzip member's trailer itself; say which check failed.
  const std::string_view message = stream.msg != nullptr ? stream.msg : "";
  if (message == "incorrect data check") {
    FailRead("CRC-32 does not match");
  }
  if (message == "incorrect length check") {
    FailRead("length does not match");
  }
  FailRead(kDoesNotInflate);
}

}  // namespace

bool Inflate(InputFile& in, std::uint64_t available, DeflateWrapping wrapping, std::uint64_t limit,
             std::vector<std::uint8_t>& out) {
  Stream stream(wrapping);
  std::vector<std::uint8_t> input(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, available)));
  // Fills the input buffer behind what zlib has not consumed yet.
  auto refill = [&] {
    const std::size_t kept = stream->avail_in;
    if (kept > 0 && stream->next_in != input.data()) {
      std::memmove(input.data(), stream->next_in, kept);
    }
    const auto more = static_cast<std::size_t>(std::min<std::uint64_t>(input.size() - kept, available));
    in.ReadInto(input.data() + kept, more);
    available -= more;
    stream->next_in = input.data();
    stream->avail_in = static_cast<uInt>(kept + more);
  };
  // The output grows as needed, up to one byte beyond the limit: that byte
  // tells that the limit was passed.
  const std::uint64_t ceiling = limit + 1;
  out.assign(static_cast<std::size_t>(std::min<std::uint64_t>(ceiling, kChunk)), 0);
  std::uint64_t produced = 0;
  for (;;) {
    if (stream->avail_in == 0) {
      if (available == 0) {
        FailRead("compressed data cut short");
      }
      refill();
    }
    if (produced == out.size()) {
      if (produced == ceiling) {
        out.clear();
        return false;
      }
      out.resize(static_cast<std::size_t>(std::min<std::uint64_t>(ceiling, 2 * produced)));
    }
    const auto room = static_cast<uInt>(std::min<std::uint64_t>(out.size() - produced, kChunk));
    stream->next_out = out.data() + produced;
    stream->avail_out = room;
    const int result = inflate(stream.get(), Z_NO_FLUSH);
    produced += room - stream->avail_out;
    if (result == Z_STREAM_END) {
      if (wrapping == DeflateWrapping::kRaw) {
        break;
      }
      // Another gzip member may follow.
      if (stream->avail_in < 2 && available > 0) {
        refill();
      }
      if (stream->avail_in < 2 || stream->next_in[0] != 0x1F || stream->next_in[1] != 0x8B) {
        break;
      }
      inflateReset(stream.get());
      continue;
    }
    if (result != Z_OK && result != Z_BUF_ERROR) {
      FailInflate(*stream.get());
    }
  }
  out.resize(static_cast<std::size_t>(produced));
  return true;
}

}  // namespace zumtal
