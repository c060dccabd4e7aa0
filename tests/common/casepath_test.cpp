#include "common/casepath.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using velmora::resolveCaseInsensitive;

class CasePathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = fs::temp_directory_path() / ("velmora-casepath-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "res" / "Chapter");
        std::ofstream(m_root / "res" / "Chapter" / "szh.dll") << "db";
        std::ofstream(m_root / "res" / "1p.html") << "page";
    }
    void TearDown() override { fs::remove_all(m_root); }

    fs::path m_root;
};

TEST_F(CasePathTest, MatchesEveryComponentWithoutRegardToCase)
{
    struct Row {
        const char *written;
        fs::path expected;
    } rows[] = {
        {"\\res\\chapter\\szh.dll", fs::path("res/Chapter/szh.dll")},
        {"\\RES\\CHAPTER\\SZH.DLL", fs::path("res/Chapter/szh.dll")},
        {"\\res\\Chapter\\faj.trm", fs::path("res/Chapter/faj.trm")}, // not yet on disk
        {"/res/1P.HTML", fs::path("res/1p.html")},
        {"\\nothing\\Below\\here", fs::path("nothing/Below/here")},
        {"res\\\\chapter\\", fs::path("res/Chapter")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.written);
        EXPECT_EQ(resolveCaseInsensitive(m_root, row.written), m_root / row.expected);
    }
}

TEST_F(CasePathTest, ExactMatchWinsOverCaseVariants)
{
    fs::create_directories(m_root / "res" / "chapter");
    EXPECT_EQ(resolveCaseInsensitive(m_root, "\\res\\chapter"), m_root / "res" / "chapter");
    EXPECT_EQ(resolveCaseInsensitive(m_root, "\\res\\Chapter"), m_root / "res" / "Chapter");
    // Neither spelt exactly: the first in byte order ("Chapter" < "chapter").
    EXPECT_EQ(resolveCaseInsensitive(m_root, "\\res\\CHAPTER"), m_root / "res" / "Chapter");
}

TEST(CaseCompare, OnlyAsciiLettersFold)
{
    EXPECT_TRUE(velmora::equalsIgnoringAsciiCase("Chapter", "cHAPTER"));
    EXPECT_FALSE(velmora::equalsIgnoringAsciiCase("Chapter", "Chapters"));
    EXPECT_FALSE(velmora::equalsIgnoringAsciiCase("\xC3\x84", "\xC3\xA4")); // Ä vs ä in UTF-8
}

TEST_F(CasePathTest, WindowsStyleTailIsResolvedBelowTheApplicationPath)
{
    const std::string app = m_root.string();
    EXPECT_EQ(velmora::resolveInstallationPath(app, app + "\\res\\chapter\\szh.dll"),
              m_root / "res/Chapter/szh.dll");
    EXPECT_EQ(velmora::resolveInstallationPath(app, app + "\\RES\\1P.html"), m_root / "res/1p.html");
    // Forward slashes in the tail are separators too.
    EXPECT_EQ(velmora::resolveInstallationPath(app, app + "/RES"), m_root / "res");
    // The application path alone is its folder.
    EXPECT_EQ(velmora::resolveInstallationPath(app, app), m_root);
}

// The application path is taken as written: a folder whose name holds a backslash,
// blanks and CJK characters is one folder, not the start of the tail.
TEST_F(CasePathTest, AnApplicationFolderNamedWithBackslashBlanksAndCjkIsOneFolder)
{
    const fs::path folder = m_root / "\xE4\xB9\xA6 a\\b \xE7\xB1\x8D"; // "书 a\b 籍"
    fs::create_directories(folder / "res" / "Chapter");
    std::ofstream(folder / "res" / "Chapter" / "szh.dll") << "db";
    const std::string app = folder.string();
    EXPECT_EQ(velmora::resolveInstallationPath(app, app + "\\res\\chapter\\SZH.DLL"),
              folder / "res" / "Chapter" / "szh.dll");
    EXPECT_EQ(velmora::resolveInstallationPath(app, app + "\\res\\Chapter\\faj.trm"),
              folder / "res" / "Chapter" / "faj.trm"); // yet to be written
}

TEST_F(CasePathTest, APathNotBelowTheApplicationPathIsResolvedFromTheRoot)
{
    const std::string app = (m_root / "res").string();
    // "…/res" is not the application path of "…/res2": the prefix ends at a separator.
    fs::create_directories(m_root / "RES2");
    EXPECT_EQ(velmora::resolveInstallationPath(app, app + "2\\x.html"), m_root / "RES2" / "x.html");
    EXPECT_EQ(velmora::resolveInstallationPath({}, m_root.string() + "\\RES\\1P.HTML"),
              m_root / "res/1p.html");
    EXPECT_EQ(velmora::resolveInstallationPath({}, m_root.string() + "/RES/1P.HTML"), m_root / "res/1p.html");
}

TEST_F(CasePathTest, ResolvesTheTailBelowTheApplicationPathWithoutRegardToCase)
{
    const fs::path book = m_root / "book";
    fs::create_directories(book / "res" / "Chapter");
    std::ofstream(book / "res" / "Chapter" / "faj.trm") << "page";
    std::ofstream(book / "res" / "1p.html") << "first";
    const std::string app = book.string();
    const struct {
        const char *tail;
        fs::path expected;
    } rows[] = {
        {"\\res\\Chapter\\faj.trm", book / "res" / "Chapter" / "faj.trm"},
        {"\\RES\\chapter\\FAJ.TRM", book / "res" / "Chapter" / "faj.trm"},
        {"/res/1p.html", book / "res" / "1p.html"},
        {"\\res\\Chapter\\temp.html", book / "res" / "Chapter" / "temp.html"}, // yet to be written
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.tail);
        EXPECT_EQ(velmora::resolveInstallationPath(app, app + row.tail), row.expected);
    }
}

TEST_F(CasePathTest, AnApplicationPathWithABackslashInItsNameStillResolves)
{
    const fs::path odd = m_root / "a\\b";
    fs::create_directories(odd / "pic");
    std::ofstream(odd / "pic" / "up.swf") << "movie";
    const std::string app = odd.string();
    EXPECT_EQ(velmora::resolveInstallationPath(app, app + "\\PIC\\UP.SWF"), odd / "pic" / "up.swf");
}
