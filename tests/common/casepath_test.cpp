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
    EXPECT_EQ(velmora::resolveWindowsPath(app + "\\res\\chapter\\szh.dll"), m_root / "res/Chapter/szh.dll");
    EXPECT_EQ(velmora::resolveWindowsPath(app + "\\RES\\1P.html"), m_root / "res/1p.html");
    // Without a tail the path is taken as written, case and all.
    EXPECT_EQ(velmora::resolveWindowsPath(app + "/RES"), fs::path(app + "/RES"));
}
