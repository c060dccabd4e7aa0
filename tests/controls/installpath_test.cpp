// The fence around the installation folder.
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
