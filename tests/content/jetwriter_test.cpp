#include "content/jetwriter.h"

#include "content/recordset.h"
#include "testbook.h"

#include <gtest/gtest.h>

#include <sstream>

namespace velmora::content {
namespace {

struct Layout {
    const char *name;
    FieldType type;
    const char *password;
    uint32_t pageKey;
};

class WriterRoundTrip : public ::testing::TestWithParam<Layout> {
protected:
    // Sizes on both sides of each storage form: inline (≤ 64), one long-value row
    // (≤ 4072), chains; Null and empty; and enough rows for several data pages.
    static BookTable table(FieldType type)
    {
        BookTable t;
        t.fieldType = type;
        for (size_t size : {0, 1, 64, 65, 4072, 4073, 8144, 8145, 15000})
            t.rows.push_back(std::string(size, static_cast<char>('a' + size % 26)));
        t.rows.push_back(std::nullopt);
        t.rows.push_back(type == FieldType::Memo ? std::string("中文页面 <b>ü</b>")
                                                 : std::string("\0\xFF\xFE\x01", 4));
        for (size_t k = 0; k < 600; ++k)
            t.rows.push_back("<html>page " + std::to_string(k) + "</html>");
        return t;
    }
    std::filesystem::path write()
    {
        const Layout &layout = GetParam();
        m_table = table(layout.type);
        JetWriteOptions options;
        options.password = layout.password;
        options.pageKey = layout.pageKey;
        std::filesystem::path file = m_dir / "book.mdb";
        test::writeBook(file, m_table, options);
        return file;
    }

    test::ScratchDir m_dir;
    BookTable m_table;
};

TEST_P(WriterRoundTrip, ReadsBackThroughTheContentStore)
{
    const std::filesystem::path file = write();
    auto connection = std::make_shared<Connection>();
    connection->setConnectionString(test::connectionStringFor(file.string(), GetParam().password));
    ASSERT_TRUE(connection->open().ok());
    Recordset recordset;
    recordset.setActiveConnection(connection);
    recordset.setSource("select m1 from b1");
    ASSERT_TRUE(recordset.open().ok());
    for (size_t row = 0; row < m_table.rows.size(); ++row) {
        SCOPED_TRACE(row);
        ASSERT_FALSE(recordset.eof());
        Result<FieldValue> value = recordset.fields("m1");
        ASSERT_TRUE(value.ok()) << value.error().description;
        EXPECT_EQ(*value, m_table.rows[row]);
        ASSERT_TRUE(recordset.moveNext().ok());
    }
    EXPECT_TRUE(recordset.eof());
}

TEST_P(WriterRoundTrip, ReadsBackThroughMdbExport)
{
    if (!test::runCommand("command -v mdb-export"))
        GTEST_SKIP() << "mdb-export not installed";
    const std::filesystem::path file = write();
    const bool memo = GetParam().type == FieldType::Memo;
    std::optional<std::string> output =
        test::runCommand("mdb-export -H -Q -R '<ROW>' -0 '<NULL>' " + std::string(memo ? "" : "-b hex ") +
                         "'" + file.string() + "' b1");
    ASSERT_TRUE(output.has_value());
    const std::vector<std::string> rows = test::split(*output, "<ROW>");
    ASSERT_EQ(rows.size(), m_table.rows.size());
    for (size_t row = 0; row < rows.size(); ++row) {
        SCOPED_TRACE(row);
        const auto &value = m_table.rows[row];
        // mdb-export prints Memo text as written and Long Binary values as upper-case hex;
        // it shows an empty Memo as Null (libmdb cannot tell them apart).
        const bool null = !value || (memo && value->empty());
        EXPECT_EQ(rows[row], null ? "<NULL>" : memo ? *value : test::hex(*value, true));
    }
}

TEST_P(WriterRoundTrip, ReadsBackThroughAnIndependentReader)
{
    const std::filesystem::path script =
        std::filesystem::path(VELMORA_CONTENT_TEST_DIR) / "node" / "read.mjs";
    if (!std::filesystem::exists(script.parent_path() / "node_modules" / "mdb-reader") ||
        !test::runCommand("command -v node"))
        GTEST_SKIP() << "node or the mdb-reader package not installed (npm ci --prefix tests/content/node)";
    const std::filesystem::path file = write();
    std::optional<std::string> output =
        test::runCommand("node '" + script.string() + "' '" + file.string() + "' b1 m1");
    ASSERT_TRUE(output.has_value());
    const std::vector<std::string> lines = test::split(*output, "\n");
    ASSERT_EQ(lines.size(), 3 + m_table.rows.size());
    const std::string password = GetParam().password;
    EXPECT_EQ(lines[0], "password " + (password.empty() ? std::string("-") : password));
    EXPECT_EQ(lines[1], "tables b1");
    EXPECT_EQ(lines[2], "rows " + std::to_string(m_table.rows.size()));
    for (size_t row = 0; row < m_table.rows.size(); ++row) {
        SCOPED_TRACE(row);
        const auto &value = m_table.rows[row];
        EXPECT_EQ(lines[3 + row], value ? "hex " + test::hex(*value, false) : "null");
    }
}

const Layout kLayouts[] = {
    {"LongBinaryWithPassword", FieldType::LongBinary, "64tolvaner82", 0},
    {"LongBinaryPlain", FieldType::LongBinary, "", 0},
    {"LongBinaryEncodedPages", FieldType::LongBinary, "64tolvaner82", 0x12345678},
    {"MemoWithPassword", FieldType::Memo, "64tolvaner82", 0},
    {"MemoEncodedNonAsciiPassword", FieldType::Memo, "pässwort密码", 0xA7B773E0},
};
INSTANTIATE_TEST_SUITE_P(Layouts, WriterRoundTrip, ::testing::ValuesIn(kLayouts),
                         [](const auto &info) { return std::string(info.param.name); });

// More data pages than the engine's usual 64-byte usage map covers (512 pages): the
// writer lengthens the map, and every reader must still find every row.
TEST(JetWriter, ABookBeyond512DataPagesReadsWhole)
{
    test::ScratchDir dir;
    BookTable table;
    for (size_t k = 0; k < 30000; ++k) {
        std::string value = "row " + std::to_string(k);
        value.resize(64, '.'); // the longest value kept inline: about 45 rows a page
        table.rows.push_back(value);
    }
    const std::filesystem::path file = dir / "big.mdb";
    test::writeBook(file, table);
    ASSERT_GT(std::filesystem::file_size(file), 600u * 4096);

    auto connection = std::make_shared<Connection>();
    connection->setConnectionString(test::connectionStringFor(file.string(), ""));
    ASSERT_TRUE(connection->open().ok());
    Recordset recordset;
    recordset.setActiveConnection(connection);
    recordset.setSource("select m1 from b1");
    ASSERT_TRUE(recordset.open().ok());
    size_t rows = 0;
    for (; !recordset.eof(); ++rows) {
        ASSERT_EQ(*recordset.fields("m1"), table.rows[rows]);
        ASSERT_TRUE(recordset.moveNext().ok());
    }
    EXPECT_EQ(rows, table.rows.size());

    const std::filesystem::path script =
        std::filesystem::path(VELMORA_CONTENT_TEST_DIR) / "node" / "read.mjs";
    if (std::filesystem::exists(script.parent_path() / "node_modules" / "mdb-reader")) {
        std::optional<std::string> output =
            test::runCommand("node '" + script.string() + "' '" + file.string() + "' b1 m1");
        ASSERT_TRUE(output.has_value());
        EXPECT_NE(output->find("rows 30000\n"), std::string::npos);
        EXPECT_NE(output->find("hex " + test::hex(*table.rows.back(), false) + "\n"), std::string::npos);
    }
}

TEST(JetWriter, RefusesWhatTheFormatCannotHold)
{
    BookTable table;
    table.rows = test::numberedPages(1);
    JetWriteOptions options;
    options.password = std::string(21, 'p');
    EXPECT_FALSE(buildJetDatabase(table, options).ok());
    options.password = std::string(20, 'p');
    EXPECT_TRUE(buildJetDatabase(table, options).ok());

    table.rows.push_back(std::string((1u << 24), 'x')); // 16 MiB: the header's 24 length bits overflow
    EXPECT_FALSE(buildJetDatabase(table, {}).ok());
}

TEST(JetWriter, AFailedWriteLeavesNoFileBehind)
{
    test::ScratchDir dir;
    BookTable table;
    table.rows = test::numberedPages(1);
    const std::filesystem::path target = dir / "missing-folder" / "book.mdb";
    EXPECT_FALSE(writeJetDatabase(target, table).ok());
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(JetWriter, OutputIsReproducible)
{
    BookTable table;
    table.rows = test::numberedPages(40);
    EXPECT_EQ(*buildJetDatabase(table, {}), *buildJetDatabase(table, {}));
}

} // namespace
} // namespace velmora::content
