// Full paths as the program writes them, turned into files, and the fence around the
// installation folder.
#include "controls/installpath.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace velmora {
namespace {

class InstallPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        root = std::filesystem::path(m_dir.path().toStdString());
        std::filesystem::create_directories(root / "book" / "res" / "Chapter");
        std::ofstream(root / "book" / "res" / "Chapter" / "faj.trm") << "page";
        std::ofstream(root / "book" / "res" / "1p.html") << "first";
        std::ofstream(root / "secret.txt") << "outside";
        std::filesystem::create_directories(root / "book2");
        std::ofstream(root / "book2" / "x.html") << "neighbour";
        book = root / "book";
    }
    QTemporaryDir m_dir;
    std::filesystem::path root;
    std::filesystem::path book;
};

TEST_F(InstallPathTest, ResolvesTheTailBelowTheApplicationPathWithoutRegardToCase)
{
    const QString app = QString::fromStdString(book.string());
    const struct {
        const char *tail;
        std::filesystem::path expected;
    } rows[] = {
        {"\\res\\Chapter\\faj.trm", book / "res" / "Chapter" / "faj.trm"},
        {"\\RES\\chapter\\FAJ.TRM", book / "res" / "Chapter" / "faj.trm"},
        {"/res/1p.html", book / "res" / "1p.html"},
        {"\\res\\Chapter\\temp.html", book / "res" / "Chapter" / "temp.html"}, // yet to be written
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.tail);
        EXPECT_EQ(resolveInstallationPath(app, app + QString::fromLatin1(row.tail)), row.expected);
    }
}

TEST_F(InstallPathTest, AnApplicationPathWithABackslashInItsNameStillResolves)
{
    const std::filesystem::path odd = root / "a\\b";
    std::filesystem::create_directories(odd / "pic");
    std::ofstream(odd / "pic" / "up.swf") << "movie";
    const QString app = QString::fromStdString(odd.string());
    EXPECT_EQ(resolveInstallationPath(app, app + "\\PIC\\UP.SWF"), odd / "pic" / "up.swf");
}

TEST_F(InstallPathTest, ContainedFileAcceptsOnlyExistingFilesInsideTheRoot)
{
    std::filesystem::create_symlink(root / "secret.txt", book / "res" / "link.html");
    std::filesystem::create_symlink(book / "res" / "1p.html", book / "res" / "inner.html");
    const struct {
        const char *name;
        std::filesystem::path path;
        bool inside;
    } rows[] = {
        {"file", book / "res" / "1p.html", true},
        {"link to a file inside", book / "res" / "inner.html", true},
        {"dot-dot out of the root", book / "res" / ".." / ".." / "secret.txt", false},
        {"dot-dot staying inside", book / "res" / "Chapter" / ".." / "1p.html", true},
        {"link out of the root", book / "res" / "link.html", false},
        {"neighbour sharing the name's start", root / "book2" / "x.html", false},
        {"directory", book / "res", false},
        {"missing", book / "res" / "nothing.html", false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(containedFile(book, row.path).has_value(), row.inside);
    }
}

} // namespace
} // namespace velmora
