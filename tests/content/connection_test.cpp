#include "content/connection.h"

#include "common/casepath.h"
#include "content/contenterror.h"
#include "testbook.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace velmora::content {
namespace {

using test::kBookPassword;

TEST(ConnectionString, ParsesTheReadersFourSettings)
{
    Result<ConnectionSettings> settings = parseConnectionString(
        "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data "
        "Source=/opt/book\\res\\chapter\\szh.dll ;Jet OLEDB:Database Password=64tolvaner82");
    ASSERT_TRUE(settings.ok());
    EXPECT_EQ(settings->provider, "Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(settings->persistSecurityInfo, "False");
    EXPECT_EQ(settings->dataSource,
              "/opt/book\\res\\chapter\\szh.dll"); // the blank before ';' is not part of it
    EXPECT_EQ(settings->password, "64tolvaner82");
}

TEST(ConnectionString, KeysIgnoreCaseAndBlanksAndUnknownSettings)
{
    struct Case {
        const char *name;
        const char *text;
        const char *dataSource;
        const char *password;
    };
    const Case cases[] = {
        {"keys in other case", "PROVIDER=x;data source=a.mdb;jet oledb:database password=Pw", "a.mdb", "Pw"},
        {"blanks around keys and values", "  Data Source =  a.mdb  ;  Jet OLEDB:Database Password = p ",
         "a.mdb", "p"},
        {"empty parts and trailing semicolon", ";;Data Source=a.mdb;;", "a.mdb", ""},
        {"unknown setting ignored", "Mode=Read;Data Source=a.mdb;User ID=Admin", "a.mdb", ""},
        {"value holding '='", "Jet OLEDB:Database Password=a=b;Data Source=x", "x", "a=b"},
        {"password case kept", "Jet OLEDB:Database Password=MiXeD", "", "MiXeD"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Result<ConnectionSettings> settings = parseConnectionString(c.text);
        ASSERT_TRUE(settings.ok());
        EXPECT_EQ(settings->dataSource, c.dataSource);
        EXPECT_EQ(settings->password, c.password);
    }
    Result<ConnectionSettings> broken = parseConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;garbage");
    ASSERT_FALSE(broken.ok());
    EXPECT_EQ(broken.error().number, errnum::BadArguments);
}

// An installation folder whose database sits at res/Chapter/SZH.dll: the program
// writes "\res\chapter\szh.dll ", so opening it also needs the case-blind lookup.
class ConnectionOpen : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_dir / "res" / "Chapter");
        m_file = m_dir.path() / "res" / "Chapter" / "SZH.dll";
        BookTable table;
        table.rows = test::numberedPages(26);
        JetWriteOptions options;
        options.password = kBookPassword;
        test::writeBook(m_file, table, options);
    }
    std::string readerString(const std::string &password) const
    {
        return test::connectionStringFor(m_dir.path().string() + "\\res\\chapter\\szh.dll", password);
    }

    test::ScratchDir m_dir;
    std::filesystem::path m_file;
};

TEST_F(ConnectionOpen, OpensTheReadersConnectionStringAndKeepsTheFileUnchanged)
{
    const std::string before = test::readBytes(m_file);
    const auto modified = std::filesystem::last_write_time(m_file);
    Connection connection;
    connection.setConnectionString(readerString(kBookPassword));
    connection.setConnectionTimeout(5);
    EXPECT_EQ(connection.state(), ObjectState::Closed);
    Result<void> opened = connection.open();
    ASSERT_TRUE(opened.ok()) << opened.error().description;
    EXPECT_EQ(connection.state(), ObjectState::Open);

    Result<void> again = connection.open();
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.error(), contentError(ContentError::ObjectOpen));
    EXPECT_EQ(connection.state(), ObjectState::Open);

    connection.close();
    EXPECT_EQ(connection.state(), ObjectState::Closed);
    EXPECT_TRUE(connection.open().ok()); // reopens after a close
    connection.close();
    EXPECT_EQ(test::readBytes(m_file), before);
    EXPECT_EQ(std::filesystem::last_write_time(m_file), modified);
}

TEST_F(ConnectionOpen, FailuresLeaveTheConnectionClosed)
{
    const std::string dir = m_dir.path().string();
    const std::string image = test::readBytes(m_file);
    test::writeBytes(m_dir / "empty.dll", "");
    std::filesystem::create_directories(m_dir / "text");
    test::writeBytes(m_dir / "text" / "szh.dll", "<html>this is not a database</html>\n");
    test::writeBytes(m_dir / "truncated.dll", image.substr(0, image.size() - 100));
    test::writeBytes(m_dir / "headeronly.dll", image.substr(0, 4096));
    std::string jet3 = image;
    jet3[0x14] = 0;
    test::writeBytes(m_dir / "jet3.dll", jet3);
    std::string ace = image;
    ace[0x14] = 2;
    test::writeBytes(m_dir / "ace.dll", ace);
    std::filesystem::create_directories(m_dir / "folder.dll");
    ASSERT_EQ(mkfifo((m_dir / "pipe.dll").c_str(), 0600), 0);

    struct Case {
        const char *name;
        std::string connectionString;
        Error expected;
    };
    auto at = [&](const std::string &name) {
        return test::connectionStringFor(dir + "/" + name, kBookPassword);
    };
    const Case cases[] = {
        {"missing file", at("nothing.dll"), contentError(ContentError::FileNotFound, dir + "/nothing.dll")},
        {"empty file", at("empty.dll"), contentError(ContentError::UnrecognizedFormat, dir + "/empty.dll")},
        {"text file named szh.dll", at("text/szh.dll"),
         contentError(ContentError::UnrecognizedFormat, dir + "/text/szh.dll")},
        {"truncated file", at("truncated.dll"),
         contentError(ContentError::DamagedDatabase, dir + "/truncated.dll")},
        {"header page only", at("headeronly.dll"),
         contentError(ContentError::DamagedDatabase, dir + "/headeronly.dll")},
        {"Jet 3 file", at("jet3.dll"), contentError(ContentError::UnrecognizedFormat, dir + "/jet3.dll")},
        {"newer format", at("ace.dll"), contentError(ContentError::UnrecognizedFormat, dir + "/ace.dll")},
        {"a folder", at("folder.dll"), contentError(ContentError::CannotOpenFile, dir + "/folder.dll")},
        {"a pipe, which must not block", at("pipe.dll"),
         contentError(ContentError::CannotOpenFile, dir + "/pipe.dll")},
        {"wrong password", readerString("64TOLVANER82"), contentError(ContentError::BadPassword)},
        {"password with one character more", readerString(std::string(kBookPassword) + "x"),
         contentError(ContentError::BadPassword)},
        {"no password", readerString(""), contentError(ContentError::BadPassword)},
        {"other provider", "Provider=SQLOLEDB;Data Source=" + m_file.string(),
         contentError(ContentError::ProviderNotFound)},
        {"no provider", "Data Source=" + m_file.string(), contentError(ContentError::ProviderNotFound)},
        {"no data source", "Provider=Microsoft.Jet.OLEDB.4.0",
         contentError(ContentError::BadConnectionString)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Connection connection;
        connection.setConnectionString(c.connectionString);
        Result<void> opened = connection.open();
        ASSERT_FALSE(opened.ok());
        EXPECT_EQ(opened.error(), c.expected);
        EXPECT_EQ(connection.state(), ObjectState::Closed);
    }
}

TEST_F(ConnectionOpen, AFileWithoutPasswordOpensWhateverPasswordIsGiven)
{
    BookTable table;
    table.rows = test::numberedPages(3);
    test::writeBook(m_dir / "open.mdb", table);
    for (const char *password : {"", "anything"}) {
        SCOPED_TRACE(password);
        Connection connection;
        connection.setConnectionString(test::connectionStringFor((m_dir / "open.mdb").string(), password));
        EXPECT_TRUE(connection.open().ok());
    }
}

TEST(DataSource, ResolvesAWindowsTailWithoutRegardToCase)
{
    test::ScratchDir dir;
    std::filesystem::create_directories(dir / "Res" / "CHAPTER");
    test::writeBytes(dir.path() / "Res" / "CHAPTER" / "Szh.Dll", "x");
    const std::string base = dir.path().string();
    auto resolved = [](const std::string &dataSource) {
        return resolveInstallationPath({}, dataSource).string();
    };
    EXPECT_EQ(resolved(base + "\\res\\chapter\\szh.dll"), base + "/Res/CHAPTER/Szh.Dll");
    EXPECT_EQ(resolved(base + "/res/chapter/SZH.DLL"), base + "/Res/CHAPTER/Szh.Dll");
    // A name with no match on disk stays as written, so the error names it.
    EXPECT_EQ(resolved(base + "\\res\\chapter\\none.dll"), base + "/Res/CHAPTER/none.dll");
}

// The reader's own connection string for an installation whose folder name holds a
// backslash, blanks and CJK characters: the folder is the application path, not a tail.
TEST(DataSource, OpensTheDatabaseOfAnInstallationNamedWithABackslash)
{
    test::ScratchDir dir;
    const std::filesystem::path app = dir / "\xE4\xB9\xA6 a\\b \xE7\xB1\x8D"; // "书 a\b 籍"
    std::filesystem::create_directories(app / "res" / "Chapter");
    BookTable table;
    table.rows = test::numberedPages(2);
    JetWriteOptions options;
    options.password = kBookPassword;
    test::writeBook(app / "res" / "Chapter" / "szh.dll", table, options);
    Connection connection;
    connection.setApplicationPath(app.string());
    connection.setConnectionString(
        test::connectionStringFor(app.string() + "\\res\\chapter\\szh.dll", kBookPassword));
    Result<void> opened = connection.open();
    EXPECT_TRUE(opened.ok()) << (opened ? "" : opened.error().description);
    EXPECT_EQ(connection.state(), ObjectState::Open);
}

} // namespace
} // namespace velmora::content
