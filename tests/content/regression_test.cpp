// Damaged databases: each must give an error or its values, never a crash or a hang.
// The rows below are written files with one field broken.
#include "content/connection.h"
#include "content/contenterror.h"
#include "content/cursor.h"
#include "content/database.h"
#include "content/recordset.h"
#include "testbook.h"

#include <gtest/gtest.h>

#include <cstring>

namespace velmora::content {
namespace {

// Opens `image` and reads every value of b1.m1; the first error, or an empty Error when
// everything read.
Error openAndReadAll(const std::string &image)
{
    Result<std::shared_ptr<Database>> db =
        Database::openImage(image, "damaged.mdb", std::string(test::kBookPassword));
    if (!db)
        return db.error();
    Result<std::unique_ptr<Cursor>> cursor = Cursor::open(*db, {"m1", "b1"});
    if (!cursor)
        return cursor.error();
    for (size_t rows = 0; !(*cursor)->atEnd() && rows < 100000; ++rows) {
        if (Result<std::optional<std::string>> value = (*cursor)->value(); !value)
            return value.error();
        if (Result<void> next = (*cursor)->advance(1); !next)
            return next.error();
    }
    return Error();
}

// The writer's layout: page 1 usage maps, 2 catalog definition, 3 catalog rows,
// 4 the table's definition, 5 its first data page, then long-value pages.
constexpr size_t kPage = 4096;
void put32(std::string &image, size_t at, uint32_t value)
{
    std::memcpy(image.data() + at, &value, 4);
}
uint16_t get16(const std::string &image, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(image[at]) | static_cast<uint8_t>(image[at + 1]) << 8);
}
// Where the long-value header of row `row` on data page 5 starts (one column, no fixed part).
size_t fieldOf(const std::string &image, size_t row)
{
    return 5 * kPage + get16(image, 5 * kPage + 14 + 2 * row) + 2;
}

TEST(DamagedDatabase, BrokenStructuresAreRejectedCleanly)
{
    BookTable table;
    table.rows = {std::string(30, 'i'), std::string(3000, 's'), std::string(9000, 'c')};
    JetWriteOptions options;
    options.password = test::kBookPassword;
    Result<std::string> built = buildJetDatabase(table, options);
    ASSERT_TRUE(built.ok());
    const std::string good = *built;
    ASSERT_EQ(openAndReadAll(good), Error());
    const size_t single = fieldOf(good, 1), chain = fieldOf(good, 2);
    uint32_t chainStart = 0;
    std::memcpy(&chainStart, good.data() + chain + 4, 4);

    struct Case {
        const char *name;
        std::function<void(std::string &)> damage;
    };
    const Case cases[] = {
        // libmdb copies the map row from wherever this points: it crashed on a missing row.
        {"owned-pages map pointer to a missing row",
         [](std::string &i) { put32(i, 4 * kPage + 55, 1 << 8 | 200); }},
        {"owned-pages map pointer past the file",
         [](std::string &i) { put32(i, 4 * kPage + 55, 9000u << 8); }},
        {"catalog map pointer to a missing row",
         [](std::string &i) { put32(i, 2 * kPage + 55, 1 << 8 | 99); }},
        {"free-space map pointer past the file",
         [](std::string &i) { put32(i, 4 * kPage + 59, 0xFFFFFF00u); }},
        {"catalog definition not a definition page", [](std::string &i) { i[2 * kPage] = 0x01; }},
        {"table definition continues on itself", [](std::string &i) { put32(i, 4 * kPage + 4, 4); }},
        {"table definition continues past the file", [](std::string &i) { put32(i, 4 * kPage + 4, 77777); }},
        {"column count beyond the page",
         [](std::string &i) { i[4 * kPage + 45] = '\xFF', i[4 * kPage + 46] = '\x7F'; }},
        {"map row table overflowing its page",
         [](std::string &i) { i[kPage + 12] = '\xFF', i[kPage + 13] = '\x0F'; }},
        {"inline value longer than its field",
         [&](std::string &i) { put32(i, fieldOf(i, 0), 0x80000000u | 5000); }},
        {"long-value row on a missing page", [&](std::string &i) { put32(i, single + 4, 50000u << 8); }},
        {"long-value row number missing", [&](std::string &i) { put32(i, single + 4, 6u << 8 | 77); }},
        {"long value longer than its row", [&](std::string &i) { put32(i, single, 0x40000000u | 4000); }},
        {"long value larger than the file",
         [&](std::string &i) { put32(i, single, 0x40000000u | 0x3FFFFFFF); }},
        {"chain that loops on itself",
         [&](std::string &i) {
             const size_t page = (chainStart >> 8) * kPage;
             const size_t row = page + get16(i, page + 14 + size_t{2} * (chainStart & 0xFF));
             put32(i, row, chainStart); // its next link is itself
             put32(i, chain, 1000000);  // and it claims more bytes than it holds
         }},
        {"chain ending early", [&](std::string &i) { put32(i, chain, 20000); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string image = good;
        c.damage(image);
        const Error error = openAndReadAll(image);
        EXPECT_NE(error, Error()) << "damage went unnoticed";
        EXPECT_EQ(error.number, errnum::Unspecified) << error.description;
    }
}

// The fuzzer once stalled for seconds inside libmdb's catalog reader, which parses the
// property blob (LvProp) of every object. The catalog is now read without it: a file
// whose catalog has no LvProp column at all, which libmdb's reader refuses, still opens.
TEST(DamagedDatabase, CatalogPropertiesAreNeverParsed)
{
    BookTable table;
    table.rows = test::numberedPages(2);
    Result<std::string> built = buildJetDatabase(table, {});
    ASSERT_TRUE(built.ok());
    std::string image = *built;
    const std::string lvProp("L\0v\0P\0r\0o\0p\0", 12);
    const size_t at = image.find(lvProp, 2 * kPage);
    ASSERT_LT(at, 3 * kPage) << "the catalog definition names LvProp";
    image[at + 8] = 'x'; // "LvPxop"
    EXPECT_EQ(openAndReadAll(image), Error());
}

} // namespace
} // namespace velmora::content
