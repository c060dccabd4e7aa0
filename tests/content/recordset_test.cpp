#include "content/recordset.h"

#include "content/contenterror.h"
#include "testbook.h"

#include <gtest/gtest.h>

namespace velmora::content {
namespace {

using test::kBookPassword;

std::string page(size_t k)
{
    return "<html>page " + std::to_string(k) + "</html>";
}

// A book database in a scratch folder and an open connection to it.
class RecordsetTest : public ::testing::Test {
protected:
    std::shared_ptr<Connection> openBook(const BookTable &table,
                                         const JetWriteOptions &options = bookOptions())
    {
        const std::filesystem::path file = m_dir / ("book" + std::to_string(m_books++) + ".dll");
        test::writeBook(file, table, options);
        auto connection = std::make_shared<Connection>();
        connection->setConnectionString(test::connectionStringFor(file.string(), options.password));
        Result<void> opened = connection->open();
        EXPECT_TRUE(opened.ok()) << opened.error().description;
        return connection;
    }
    std::shared_ptr<Connection> openPages(size_t count)
    {
        BookTable table;
        table.rows = test::numberedPages(count);
        return openBook(table);
    }
    static JetWriteOptions bookOptions()
    {
        JetWriteOptions options;
        options.password = kBookPassword;
        return options;
    }
    static std::unique_ptr<Recordset> openRecordset(std::shared_ptr<Connection> connection,
                                                    const std::string &source = "select m1 from b1")
    {
        auto recordset = std::make_unique<Recordset>();
        recordset->setActiveConnection(std::move(connection));
        recordset->setSource(source);
        Result<void> opened = recordset->open();
        EXPECT_TRUE(opened.ok()) << opened.error().description;
        return recordset;
    }
    static std::string current(const Recordset &recordset)
    {
        Result<FieldValue> value = recordset.fields("m1");
        if (!value)
            return "error " + std::to_string(value.error().number);
        return value->value_or("<null>");
    }

    test::ScratchDir m_dir;
    int m_books = 0;
};

TEST_F(RecordsetTest, OpensOnRecordZeroAndYieldsTheRecordsInTableOrder)
{
    auto recordset = openRecordset(openPages(26));
    EXPECT_EQ(recordset->state(), ObjectState::Open);
    EXPECT_FALSE(recordset->bof());
    for (size_t k = 0; k < 26; ++k) {
        SCOPED_TRACE(k);
        ASSERT_FALSE(recordset->eof());
        EXPECT_EQ(current(*recordset), page(k));
        EXPECT_EQ(current(*recordset), page(k)); // reading does not move
        ASSERT_TRUE(recordset->moveNext().ok());
    }
    EXPECT_TRUE(recordset->eof());
}

// MoveFirst then Move(k) makes record k current from any earlier position, also
// from past it and from EOF: the page commands rely on it for every step back.
TEST_F(RecordsetTest, MoveFirstThenMoveReachesEveryRecordFromAnywhere)
{
    auto recordset = openRecordset(openPages(26));
    const long starts[] = {0, 1, 13, 25, 26 /* EOF */};
    for (long start : starts) {
        for (long k = 1; k <= 25; ++k) {
            SCOPED_TRACE("from " + std::to_string(start) + " to " + std::to_string(k));
            ASSERT_TRUE(recordset->moveFirst().ok());
            if (start > 0) {
                ASSERT_TRUE(recordset->move(start).ok());
            }
            ASSERT_TRUE(recordset->moveFirst().ok());
            EXPECT_EQ(current(*recordset), page(0));
            ASSERT_TRUE(recordset->move(k).ok());
            EXPECT_EQ(current(*recordset), page(static_cast<size_t>(k)));
        }
    }
}

TEST_F(RecordsetTest, EndOfRecordsAndBackwardMovesAreErrors)
{
    auto recordset = openRecordset(openPages(3));
    ASSERT_TRUE(recordset->move(0).ok());
    EXPECT_EQ(current(*recordset), page(0));
    Result<void> back = recordset->move(-1);
    ASSERT_FALSE(back.ok());
    EXPECT_EQ(back.error(), contentError(ContentError::FetchBackward));
    EXPECT_EQ(current(*recordset), page(0));

    ASSERT_TRUE(recordset->move(5).ok()); // past the end: EOF, not an error
    EXPECT_TRUE(recordset->eof());
    EXPECT_FALSE(recordset->bof());
    const Error noRecord = contentError(ContentError::NoCurrentRecord);
    EXPECT_EQ(recordset->fields("m1").error(), noRecord);
    EXPECT_EQ(recordset->moveNext().error(), noRecord);
    EXPECT_EQ(recordset->move(1).error(), noRecord);
    ASSERT_TRUE(recordset->moveFirst().ok());
    EXPECT_EQ(current(*recordset), page(0));
}

TEST_F(RecordsetTest, AShortBookRunsOutBeforeRecord25)
{
    auto recordset = openRecordset(openPages(20));
    ASSERT_TRUE(recordset->moveFirst().ok());
    ASSERT_TRUE(recordset->move(25).ok());
    EXPECT_TRUE(recordset->eof());
    EXPECT_EQ(recordset->fields("m1").error(), contentError(ContentError::NoCurrentRecord));
}

TEST_F(RecordsetTest, AnEmptyTableIsBothBofAndEof)
{
    auto recordset = openRecordset(openPages(0));
    EXPECT_TRUE(recordset->bof());
    EXPECT_TRUE(recordset->eof());
    EXPECT_EQ(recordset->fields("m1").error(), contentError(ContentError::NoCurrentRecord));
    EXPECT_EQ(recordset->moveNext().error(), contentError(ContentError::NoCurrentRecord));
    EXPECT_TRUE(recordset->moveFirst().ok());
}

TEST_F(RecordsetTest, QueriesAndNamesOutsideTheTableAreErrors)
{
    BookTable other;
    other.tableName = "pages";
    other.fieldName = "body";
    other.rows = test::numberedPages(2);
    auto connection = openBook(other);
    struct Case {
        const char *source;
        Error expected;
    };
    const Case cases[] = {
        {"select m1 from b1", contentError(ContentError::TableNotFound, "b1")},
        {"select m1 from pages", contentError(ContentError::FieldNotFound, "m1")},
        {"delete from pages", contentError(ContentError::SyntaxError)},
        {"", contentError(ContentError::SyntaxError)},
        {"select * from pages", contentError(ContentError::UnsupportedQuery, "select * from pages")},
        {"select body from pages where 1",
         contentError(ContentError::UnsupportedQuery, "select body from pages where 1")},
        {"select body, body from pages",
         contentError(ContentError::UnsupportedQuery, "select body, body from pages")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.source);
        Recordset recordset;
        recordset.setActiveConnection(connection);
        recordset.setSource(c.source);
        Result<void> opened = recordset.open();
        ASSERT_FALSE(opened.ok());
        EXPECT_EQ(opened.error(), c.expected);
        EXPECT_EQ(recordset.state(), ObjectState::Closed);
    }
    for (const char *source :
         {"SELECT BODY FROM PAGES", "select [body] from [Pages];", "Select  body\tfrom pages"}) {
        SCOPED_TRACE(source);
        auto recordset = openRecordset(connection, source);
        EXPECT_EQ(recordset->fields("Body")->value_or(""), page(0));
        EXPECT_EQ(recordset->fields("m1").error(), contentError(ContentError::ItemNotFound));
    }
}

TEST_F(RecordsetTest, StateErrorsFollowTheObjectsLife)
{
    auto connection = openPages(3);
    Recordset detached;
    detached.setSource("select m1 from b1");
    EXPECT_EQ(detached.open().error(), contentError(ContentError::ConnectionInvalid));
    EXPECT_EQ(detached.moveFirst().error(), contentError(ContentError::ObjectClosed));
    EXPECT_EQ(detached.close().error(), contentError(ContentError::ObjectClosed));

    auto recordset = openRecordset(connection);
    EXPECT_EQ(recordset->open().error(), contentError(ContentError::ObjectOpen));
    connection->close();
    // The connection has gone: its recordsets report closed rather than read freed state.
    EXPECT_EQ(recordset->moveNext().error(), contentError(ContentError::ObjectClosed));
    EXPECT_EQ(recordset->fields("m1").error(), contentError(ContentError::ObjectClosed));
    EXPECT_TRUE(recordset->close().ok());
    EXPECT_EQ(recordset->state(), ObjectState::Closed);
    Recordset overClosed;
    overClosed.setActiveConnection(connection);
    overClosed.setSource("select m1 from b1");
    EXPECT_EQ(overClosed.open().error(), contentError(ContentError::ConnectionInvalid));
}

TEST_F(RecordsetTest, RecordsetsSharingAConnectionDoNotDisturbEachOther)
{
    // Enough records for several data pages, so that the two cursors sit on different ones.
    auto connection = openPages(2000);
    auto first = openRecordset(connection);
    auto second = openRecordset(connection);
    ASSERT_TRUE(second->move(1500).ok());
    for (size_t k = 0; k < 1200; ++k) {
        ASSERT_EQ(current(*first), page(k));
        ASSERT_EQ(current(*second), page(1500 + k % 400));
        ASSERT_TRUE(first->moveNext().ok());
        if (k % 400 == 399) {
            ASSERT_TRUE(second->moveFirst().ok() && second->move(1500).ok());
        } else {
            ASSERT_TRUE(second->moveNext().ok());
        }
    }
}

TEST_F(RecordsetTest, ValuesComeBackWholeNullDistinctFromEmpty)
{
    std::string binary(256, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i);
    std::string tenMiB(10u << 20, '\0');
    for (size_t i = 0; i < tenMiB.size(); ++i)
        tenMiB[i] = static_cast<char>((i * 7919) >> 5);
    struct Case {
        const char *name;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"null", std::nullopt},
        {"empty", std::string()},
        {"inline", std::string("short")},
        {"every byte value", binary},
        {"one long-value row", std::string(4072, 'x')},
        {"two chained rows", std::string(4073, 'y')},
        {"past libmdb's 16 KiB bind size", std::string(70000, 'z')},
        {"ten MiB", tenMiB},
    };
    BookTable table;
    for (const Case &c : cases)
        table.rows.push_back(c.value);
    for (uint32_t pageKey : {0u, 0x12345678u}) {
        JetWriteOptions options = bookOptions();
        options.pageKey = pageKey;
        auto recordset = openRecordset(openBook(table, options));
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (pageKey ? ", encoded pages" : ""));
            Result<FieldValue> value = recordset->fields("m1");
            ASSERT_TRUE(value.ok()) << value.error().description;
            ASSERT_EQ(value->has_value(), c.value.has_value());
            if (c.value) {
                EXPECT_TRUE(**value == *c.value) << "size " << (*value)->size() << " != " << c.value->size();
            }
            ASSERT_TRUE(recordset->moveNext().ok());
        }
    }
}

TEST_F(RecordsetTest, MemoValuesReadAsUtf8Text)
{
    BookTable table;
    table.fieldType = FieldType::Memo;
    const std::string cjk = "<html><body>第一章 " + std::string(9000, 'a') + " 中文</body></html>";
    table.rows = {std::string("plain"), cjk, std::nullopt, std::string(""),
                  std::string("\xEF\xBB\xBFmarked")};
    auto recordset = openRecordset(openBook(table));
    const char *expected[] = {"plain", cjk.c_str(), "<null>", "",
                              "marked" /* the byte-order mark is dropped */};
    for (const char *text : expected) {
        SCOPED_TRACE(std::string(text).substr(0, 20));
        EXPECT_EQ(current(*recordset), text);
        ASSERT_TRUE(recordset->moveNext().ok());
    }
}

} // namespace
} // namespace velmora::content
