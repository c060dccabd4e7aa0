// The content store against Access files made by other tools: every Jet 4 file opens
// (a protected one only with its password), and row counts and text, Memo and Long
// Binary values agree with what mdb-export prints.
#include "content/connection.h"
#include "content/contenterror.h"
#include "content/cursor.h"
#include "content/database.h"
#include "testbook.h"

#include <gtest/gtest.h>

namespace velmora::content {
namespace {

std::vector<std::filesystem::path> corpusFiles()
{
    std::vector<std::filesystem::path> files;
    if (const std::filesystem::path corpus = test::sharedCorpus(); !corpus.empty()) {
        for (const auto &entry : std::filesystem::directory_iterator(corpus)) {
            if (entry.path().extension() == ".mdb")
                files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

JetHeader headerOf(const std::filesystem::path &file)
{
    const std::string bytes = test::readBytes(file);
    Result<JetHeader> header =
        parseJetHeader({reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()}, "");
    EXPECT_TRUE(header.ok());
    return header.ok() ? *header : JetHeader{};
}

Result<void> openWith(const std::filesystem::path &file, const std::string &password)
{
    Connection connection;
    connection.setConnectionString(test::connectionStringFor(file.string(), password));
    return connection.open();
}

TEST(Corpus, EveryJet4FileOpensAndOnlyWithItsPassword)
{
    const auto files = corpusFiles();
    if (files.empty())
        GTEST_SKIP() << "shared corpus not present";
    size_t protectedFiles = 0;
    for (const auto &file : files) {
        SCOPED_TRACE(file.filename().string());
        const JetHeader header = headerOf(file);
        if (header.version != JetVersion::Jet4) {
            EXPECT_EQ(openWith(file, "").error(),
                      contentError(ContentError::UnrecognizedFormat, file.string()));
            continue;
        }
        const std::string password = header.passwordText();
        if (header.hasPassword()) {
            ++protectedFiles;
            EXPECT_EQ(openWith(file, "").error(), contentError(ContentError::BadPassword));
            EXPECT_EQ(openWith(file, password + "x").error(), contentError(ContentError::BadPassword));
        }
        const std::string before = test::readBytes(file);
        Result<void> opened = openWith(file, password);
        EXPECT_TRUE(opened.ok()) << opened.error().description;
        EXPECT_EQ(test::readBytes(file), before);
    }
    EXPECT_EQ(protectedFiles, 4u);
}

bool comparable(int type)
{
    return type == MDB_TEXT || type == MDB_MEMO || type == MDB_OLE;
}

TEST(Corpus, RowCountsAndValuesAgreeWithMdbExport)
{
    const auto files = corpusFiles();
    if (files.empty())
        GTEST_SKIP() << "shared corpus not present";
    if (!test::runCommand("command -v mdb-export"))
        GTEST_SKIP() << "mdb-export not installed";
    size_t valuesCompared = 0;
    for (const auto &file : files) {
        const JetHeader header = headerOf(file);
        if (header.version != JetVersion::Jet4)
            continue;
        Result<std::shared_ptr<Database>> db = Database::openFile(file.string(), header.passwordText());
        ASSERT_TRUE(db.ok()) << file;
        for (const std::string &table : (*db)->tableNames()) {
            SCOPED_TRACE(file.filename().string() + " / " + table);
            std::optional<std::string> exported =
                test::runCommand("mdb-export -H -Q -d '<COL>' -R '<COL><ROW>' -0 "
                                 "'<NULL>' -b hex '" +
                                 file.string() + "' '" + table + "'");
            ASSERT_TRUE(exported.has_value());
            const std::vector<std::string> rows = test::split(*exported, "<ROW>");
            Result<size_t> count = (*db)->countRows(table);
            ASSERT_TRUE(count.ok());
            EXPECT_EQ(*count, rows.size());

            Result<TablePtr> def = (*db)->openTable(table);
            ASSERT_TRUE(def.ok());
            for (guint c = 0; c < def->get()->columns->len; ++c) {
                auto *column = static_cast<MdbColumn *>(g_ptr_array_index(def->get()->columns, c));
                if (!comparable(column->col_type))
                    continue;
                SCOPED_TRACE(column->name);
                Result<std::unique_ptr<Cursor>> cursor = Cursor::open(*db, {column->name, table});
                ASSERT_TRUE(cursor.ok()) << cursor.error().description;
                for (size_t r = 0; r < rows.size(); ++r, (void)(*cursor)->advance(1)) {
                    ASSERT_FALSE((*cursor)->atEnd());
                    const std::vector<std::string> fields = test::split(rows[r], "<COL>");
                    ASSERT_GT(fields.size(), c);
                    Result<std::optional<std::string>> value = (*cursor)->value();
                    ASSERT_TRUE(value.ok()) << value.error().description;
                    std::string ours = !*value                       ? "<NULL>"
                                       : column->col_type == MDB_OLE ? test::hex(**value, true)
                                                                     : **value;
                    // mdb-export prints an empty text as Null: it cannot tell them apart.
                    if (ours.empty())
                        ours = "<NULL>";
                    EXPECT_EQ(ours, fields[c]) << "row " << r;
                    ++valuesCompared;
                }
            }
        }
    }
    EXPECT_GT(valuesCompared, 1000u);
}

} // namespace
} // namespace velmora::content
