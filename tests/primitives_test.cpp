#include <gtest/gtest.h>

#include "builders.h"
#include "driver/run_failure.h"
#include "readers/input_file.h"
#include "readers/names.h"

namespace zumtal {
namespace {

using testing::Bytes;
using testing::ToBytes;

// Runs `read` on a file of the given bytes; returns the failure status or 0.
template <typename Read>
int StatusOf(Bytes bytes, Read read) {
  InputFile in(std::move(bytes));
  try {
    read(in);
  } catch (const RunFailure& failure) {
    return failure.Code();
  }
  return 0;
}

TEST(Primitives, ReadsAtThePositionAndSeeksAnywhere) {
  InputFile in(Bytes{1, 8, 255, 255, 0, 'A', 160, 13, '"', 'z'});
  EXPECT_EQ(in.ReadWord(), 2049);  // low byte first
  EXPECT_EQ(in.ReadWord(), 65535);
  EXPECT_EQ(in.ReadText(0), "");
  EXPECT_EQ(in.ReadText(5), std::string("\0A\xA0\r\"", 5));  // every byte as it stands
  EXPECT_FALSE(in.AtEnd());
  in.SeekTo(100);  // beyond the end: no failure until a read
  EXPECT_TRUE(in.AtEnd());
  EXPECT_EQ(in.FileLength(), 10u);
  in.SeekTo(9);
  EXPECT_EQ(in.ReadByte(), 'z');
  EXPECT_TRUE(in.AtEnd());
}

TEST(Primitives, ReadsThatCannotDeliverEndTheRunWith100) {
  const struct {
    const char* what;
    Bytes bytes;
    void (*read)(InputFile&);
  } cases[] = {
      {"byte of empty file", {}, [](InputFile& in) { in.ReadByte(); }},
      {"word of one byte", {1}, [](InputFile& in) { in.ReadWord(); }},
      {"text three at two before end",
       {1, 2, 3, 4},
       [](InputFile& in) {
         in.SeekTo(2);
         in.ReadText(3);
       }},
      {"sum one past the end", {1, 2, 3}, [](InputFile& in) { in.SumBytes(4); }},
      {"sum after far seek",
       {1, 2, 3},
       [](InputFile& in) {
         in.SeekTo(0xFFFFFFFFu);
         in.SumBytes(1);
       }},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StatusOf(c.bytes, c.read), kReadFailure) << c.what;
  }
  EXPECT_EQ(StatusOf({1, 2, 3}, [](InputFile& in) { in.SumBytes(0); }), 0);
}

TEST(Primitives, SumBytesAddsUnsignedBytesAndWraps) {
  InputFile in(Bytes(1000, 255));
  in.SeekTo(1);
  EXPECT_EQ(in.SumBytes(999), 999u * 255u);
  EXPECT_TRUE(in.AtEnd());
}

// A file over the caller's buffer reads the bytes as they stand at each
// read, and never beyond the buffer.
TEST(Primitives, CallersBufferIsReadInPlace) {
  Bytes buffer(300, 0);
  InputFile in{std::span<const std::uint8_t>(buffer)};
  buffer[256] = 7;
  buffer[257] = 9;
  in.SeekTo(256);
  EXPECT_EQ(in.SumBytes(2), 16u);
  buffer[299] = 200;
  in.SeekTo(299);
  EXPECT_EQ(in.ReadByte(), 200);
  EXPECT_EQ(in.FileLength(), 300u);
  EXPECT_EQ(StatusOf({},
                     [&buffer](InputFile&) {
                       InputFile view{std::span<const std::uint8_t>(buffer)};
                       view.SeekTo(299);
                       view.ReadWord();
                     }),
            kReadFailure);
}

TEST(Names, HexAndPrintableForms) {
  EXPECT_EQ(ByteToHex(160), "A0");
  EXPECT_EQ(ByteToHex(32), "20");
  EXPECT_EQ(ToHex(std::string("\0\n\xFF", 3)), "000AFF");
  EXPECT_EQ(ToHex(""), "");
  const std::string all("\0\x1F\x20\x41\x7E\x7F\x80\xA0\xFF", 9);
  EXPECT_EQ(ToPrintable(all), std::string("   A~\x7F   "));
  // Long names are never cut: two digits for every byte.
  EXPECT_EQ(ToHex(std::string(200, 'A')).size(), 400u);
}

}  // namespace
}  // namespace zumtal
