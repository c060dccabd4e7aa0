#include "fakereaderwindow.h"

#include "common/casepath.h"
#include "content/jetwriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace velmora::navigation::testing {
namespace {

std::vector<std::optional<std::string>> standardRows()
{
    constexpr int kRecords = 26;
    std::vector<std::optional<std::string>> rows;
    rows.reserve(kRecords);
    for (int k = 0; k < kRecords; ++k)
        rows.emplace_back(recordDocument(k));
    return rows;
}

std::filesystem::path freshFolder()
{
    static std::atomic<int> counter = 0;
    auto dir = std::filesystem::temp_directory_path() /
               ("velmora-nav-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "res" / "Chapter");
    return dir;
}

} // namespace

std::string recordDocument(int k)
{
    // Documents of different lengths, so that a shorter one must not keep the tail of a longer.
    return "<html><title>record " + std::to_string(k) + "</title>" + std::string(100 + (k * 37) % 250, 'x') +
           "</html>";
}

FakeReaderWindow::FakeReaderWindow() : FakeReaderWindow(standardRows()) {}

FakeReaderWindow::FakeReaderWindow(std::vector<std::optional<std::string>> rows, content::FieldType type)
    : root(freshFolder())
{
    content::BookTable table;
    table.fieldType = type;
    table.rows = std::move(rows);
    content::JetWriteOptions options;
    options.password = "64tolvaner82";
    writeJetDatabase(root / "res" / "Chapter" / "szh.dll", table, options).check();
    m_connection = std::make_shared<content::Connection>();
    m_connection->setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + root.string() +
                                      "\\res\\chapter\\szh.dll ;Jet OLEDB:Database Password=64tolvaner82");
    m_connection->open().check();
    m_rsxs.setActiveConnection(m_connection);
    m_rsxs.setSource("select m1 from b1");
    m_rsxs.open().check();
    pagepath = root.string() + "\\res\\1p.html";
}

FakeReaderWindow::~FakeReaderWindow()
{
    std::error_code ignored;
    std::filesystem::permissions(root / "res" / "Chapter", std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(root, ignored);
}

void FakeReaderWindow::dong1()
{
    panelVisible = false;
    pageUpVisible = true;
    pageDownVisible = true;
}

void FakeReaderWindow::setTurnButtonVisible(TurnButton button, bool visible)
{
    (button == TurnButton::PageUp ? pageUpVisible : pageDownVisible) = visible;
}

// Shows what the browser view would: the page kept in memory for an unwritable file,
// otherwise the file as it is now.
void FakeReaderWindow::navigateToPagepath()
{
    const std::filesystem::path file = resolveInstallationPath(applicationPath(), pagepath);
    shown.push_back({pagepath, written.pageFor(file).value_or(fileText(file))});
}

std::string FakeReaderWindow::fileText(const std::filesystem::path &file) const
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace velmora::navigation::testing
