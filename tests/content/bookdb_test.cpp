#include "bookdb.h"

#include "content/contenterror.h"
#include "testbook.h"

#include <gtest/gtest.h>

#include <sstream>

namespace velmora::bookdb {
namespace {

namespace test = content::test;

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome run(const std::vector<std::string> &args)
{
    std::ostringstream out, err;
    const int code = velmora::bookdb::run(args, out, err);
    return {code, out.str(), err.str()};
}

TEST(BookDb, PackInfoExportRoundTrip)
{
    test::ScratchDir dir;
    std::filesystem::create_directories(dir / "pages");
    // Mixed padding and an empty page; the numbers decide the order, not the names.
    test::writeBytes(dir / "pages" / "0.html", "<html>zero</html>");
    test::writeBytes(dir / "pages" / "01.html", "");
    test::writeBytes(dir / "pages" / "2.HTML", std::string(50000, 'x'));
    test::writeBytes(dir / "pages" / "10.htm", "ten");
    for (int k = 3; k < 10; ++k)
        test::writeBytes(dir / "pages" / (std::to_string(k) + ".html"), "page " + std::to_string(k));
    test::writeBytes(dir / "pages" / "notes.txt", "ignored");

    const std::string db = (dir / "szh.dll").string();
    Outcome packed = run({"pack", (dir / "pages").string(), "--password", test::kBookPassword, "--out", db});
    ASSERT_EQ(packed.code, 0) << packed.err;

    Outcome info = run({"info", db});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("format: Jet 4.0"), std::string::npos);
    EXPECT_NE(info.out.find("password: set"), std::string::npos);
    EXPECT_NE(info.out.find("b1: 11 rows"), std::string::npos);
    EXPECT_EQ(info.out.find(test::kBookPassword), std::string::npos) << "info must not reveal the password";

    Outcome exported =
        run({"export", db, "--password", test::kBookPassword, "--out", (dir / "out").string()});
    ASSERT_EQ(exported.code, 0) << exported.err;
    EXPECT_EQ(test::readBytes(dir / "out" / "00.html"), "<html>zero</html>");
    EXPECT_EQ(test::readBytes(dir / "out" / "01.html"), "");
    EXPECT_EQ(test::readBytes(dir / "out" / "02.html"), std::string(50000, 'x'));
    EXPECT_EQ(test::readBytes(dir / "out" / "10.html"), "ten");
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "11.html"));
}

TEST(BookDb, LargeBooksShowProgress)
{
    test::ScratchDir dir;
    std::filesystem::create_directories(dir / "pages");
    for (int k = 0; k < 1100; ++k)
        test::writeBytes(dir / "pages" / (std::to_string(k) + ".html"), "p");
    Outcome packed =
        run({"pack", (dir / "pages").string(), "--out", (dir / "big.mdb").string(), "--memo", "--encode"});
    ASSERT_EQ(packed.code, 0) << packed.err;
    EXPECT_NE(packed.err.find("packing: 1100 of 1100 records"), std::string::npos);
    Outcome info = run({"info", (dir / "big.mdb").string()});
    EXPECT_NE(info.out.find("page encoding: on"), std::string::npos);
    EXPECT_NE(info.out.find("b1: 1100 rows"), std::string::npos);
}

TEST(BookDb, ErrorsGiveMessagesAndExitCodes)
{
    test::ScratchDir dir;
    std::filesystem::create_directories(dir / "gap");
    test::writeBytes(dir / "gap" / "0.html", "a");
    test::writeBytes(dir / "gap" / "2.html", "c");
    std::filesystem::create_directories(dir / "twice");
    test::writeBytes(dir / "twice" / "1.html", "a");
    test::writeBytes(dir / "twice" / "01.html", "b");
    std::filesystem::create_directories(dir / "one");
    test::writeBytes(dir / "one" / "0.html", "a");
    const std::string db = (dir / "book.mdb").string();
    ASSERT_EQ(run({"pack", (dir / "one").string(), "--password", "pw", "--out", db}).code, 0);
    test::writeBytes(dir / "text.dll", "not a database");

    struct Case {
        const char *name;
        std::vector<std::string> args;
        int code;
        std::string message; // part of stderr
    };
    const Case cases[] = {
        {"no arguments", {}, 2, "Usage:"},
        {"unknown command", {"frobnicate", db}, 2, "unknown command frobnicate"},
        {"unknown option", {"info", db, "--fast"}, 2, "unknown option --fast"},
        {"export without --out", {"export", db}, 2, "export needs --out"},
        {"option without its value", {"export", db, "--out"}, 2, "--out needs a value"},
        {"gap in the pages",
         {"pack", (dir / "gap").string(), "--out", (dir / "x.mdb").string()},
         1,
         "page 1 is missing"},
        {"two files for one page",
         {"pack", (dir / "twice").string(), "--out", (dir / "x.mdb").string()},
         1,
         "two files for page 1"},
        {"no pages",
         {"pack", dir.path().string() + "/none", "--out", (dir / "x.mdb").string()},
         1,
         "cannot read folder"},
        {"wrong password",
         {"export", db, "--password", "PW", "--out", (dir / "o").string()},
         1,
         "Not a valid password."},
        {"missing file", {"info", (dir / "none.mdb").string()}, 1, "Could not find file"},
        {"not a database", {"info", (dir / "text.dll").string()}, 1, "Unrecognized database format"},
        {"password too long",
         {"pack", (dir / "one").string(), "--password", std::string(21, 'p'), "--out",
          (dir / "x.mdb").string()},
         1,
         "longer than 20"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Outcome outcome = run(c.args);
        EXPECT_EQ(outcome.code, c.code);
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "x.mdb"));
    EXPECT_EQ(run({"--help"}).code, 0);
}

} // namespace
} // namespace velmora::bookdb
