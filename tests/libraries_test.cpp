// The third-party libraries as both builds link them (Debian's shared
// libraries on Linux; on Windows static ones built from Debian's sources):
// each one found, linked and working.
#include <expat.h>
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <sqlite3.h>
#include <zlib.h>

#include <memory>
#include <string>
#include <vector>

namespace zumtal {
namespace {

// What the parser saw: element names with their attributes, and the text.
struct XmlSeen {
  std::string events;
};

void XMLCALL Start(void* data, const XML_Char* name, const XML_Char** attributes) {
  std::string& events = static_cast<XmlSeen*>(data)->events;
  events += "<" + std::string(name);
  for (const XML_Char** a = attributes; *a != nullptr; a += 2) events += " " + std::string(a[0]) + "=" + a[1];
  events += ">";
}
void XMLCALL End(void* data, const XML_Char* name) {
  static_cast<XmlSeen*>(data)->events += "</" + std::string(name) + ">";
}
void XMLCALL Text(void* data, const XML_Char* text, int length) {
  static_cast<XmlSeen*>(data)->events.append(text, static_cast<std::size_t>(length));
}

struct XmlCase {
  const char* document;
  bool wellFormed;
  const char* events;
};

TEST(Libraries, ExpatParsesDocuments) {
  const XmlCase cases[] = {
      {"<?xml version=\"1.0\"?><a x=\"1\"><b>t&amp;u</b><c/></a>", true, "<a x=1><b>t&u</b><c></c></a>"},
      {"<a><b></a>", false, "<a><b>"},
  };
  for (const XmlCase& c : cases) {
    SCOPED_TRACE(c.document);
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
    ASSERT_NE(parser, nullptr);
    XmlSeen seen;
    XML_SetUserData(parser.get(), &seen);
    XML_SetElementHandler(parser.get(), Start, End);
    XML_SetCharacterDataHandler(parser.get(), Text);
    const std::string document = c.document;
    const XML_Status status = XML_Parse(parser.get(), document.data(), static_cast<int>(document.size()), XML_TRUE);
    EXPECT_EQ(status == XML_STATUS_OK, c.wellFormed) << XML_ErrorString(XML_GetErrorCode(parser.get()));
    EXPECT_EQ(seen.events, c.events);
  }
}

TEST(Libraries, LibdeflateCrc32) {
  const std::string check = "123456789";
  EXPECT_EQ(libdeflate_crc32(0, check.data(), check.size()), 0xCBF43926u);
  // In pieces, as a stream is summed.
  EXPECT_EQ(libdeflate_crc32(libdeflate_crc32(0, check.data(), 4), check.data() + 4, 5), 0xCBF43926u);
  EXPECT_EQ(libdeflate_crc32(0, nullptr, 0), 0u);
}

// Raw DEFLATE from zlib, so that the two libraries check each other.
std::vector<unsigned char> RawDeflate(const std::vector<unsigned char>& data) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::vector<unsigned char> out(deflateBound(&z, static_cast<uLong>(data.size())));
  z.next_in = const_cast<unsigned char*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

TEST(Libraries, LibdeflateInflatesZlibOutput) {
  std::vector<unsigned char> data(70000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>((i * i) >> 7);
  const std::vector<unsigned char> packed = RawDeflate(data);
  ASSERT_LT(packed.size(), data.size());

  std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
      libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
  ASSERT_NE(inflater, nullptr);
  std::vector<unsigned char> out(data.size());
  std::size_t in = 0, made = 0;
  ASSERT_EQ(libdeflate_deflate_decompress_ex(inflater.get(), packed.data(), packed.size(), out.data(), out.size(), &in,
                                             &made),
            LIBDEFLATE_SUCCESS);
  EXPECT_EQ(in, packed.size());
  EXPECT_EQ(out, data);

  // Damage comes back as a result: a cut stream, a too small output buffer.
  EXPECT_NE(
      libdeflate_deflate_decompress(inflater.get(), packed.data(), packed.size() / 2, out.data(), out.size(), nullptr),
      LIBDEFLATE_SUCCESS);
  EXPECT_EQ(
      libdeflate_deflate_decompress(inflater.get(), packed.data(), packed.size(), out.data(), out.size() - 1, nullptr),
      LIBDEFLATE_INSUFFICIENT_SPACE);
}

TEST(Libraries, SqliteRunsQueriesInMemory) {
  // The catalogue is written from several threads.
  EXPECT_NE(sqlite3_threadsafe(), 0);
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
  ASSERT_EQ(sqlite3_exec(db.get(),
                         "CREATE TABLE programs(name TEXT, size INTEGER);"
                         "INSERT INTO programs VALUES ('game', 5000), ('tool', 254), ('game', 10);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);

  sqlite3_stmt* raw_statement = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.get(), "SELECT count(*), sum(size) FROM programs WHERE name = ?", -1, &raw_statement,
                               nullptr),
            SQLITE_OK);
  std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw_statement, sqlite3_finalize);
  ASSERT_EQ(sqlite3_bind_text(statement.get(), 1, "game", -1, SQLITE_STATIC), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(statement.get()), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(statement.get(), 0), 2);
  EXPECT_EQ(sqlite3_column_int64(statement.get(), 1), 5010);
  EXPECT_EQ(sqlite3_step(statement.get()), SQLITE_DONE);

  EXPECT_EQ(sqlite3_exec(db.get(), "SELECT nothing FROM nowhere", nullptr, nullptr, nullptr), SQLITE_ERROR);
}

}  // namespace
}  // namespace zumtal
