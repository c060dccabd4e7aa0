// The whole book read in the real program with real mouse clicks on the page-turning
// buttons: every one of the 34 pages, forward and back, shows its own document. Each
// page of this made-up installation has its own background colour, read off the screen.
#include "content/jetwriter.h"
#include "installfolder.h"
#include "mainwindow/mainformtables.h"
#include "ownxserver.h"
#include "readerinstallation.h"
#include "readerprocess.h"
#include "windowcontrols.h"
#include "xdisplay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace velmora::testing {
namespace {

constexpr int kPages = 34;
constexpr int kStartTimeoutMs = 60000;
constexpr int kPageTimeoutMs = 20000;
const QRect kBrowserArea(0, 72, 1000, 625); // in the window

QColor pageColour(int page)
{
    return QColor(page * 7, 100, 200 - page * 5);
}

std::string colouredPage(int page)
{
    return "<html><head><meta charset=\"utf-8\"><title>page " + std::to_string(page) +
           "</title></head><body style=\"margin:0;background:" + pageColour(page).name().toStdString() +
           "\"><p>page " + std::to_string(page) + "</p></body></html>";
}

// The made-up installation with the reader in it, every page in its own colour: the
// fixed pages as files, the record pages in the content database.
class ColouredInstallation : public ReaderInstallation {
public:
    ColouredInstallation() : ReaderInstallation(InstallOptions{.database = false})
    {
        const char *const fixed[] = {"res/1p.html",        "res/2p.html",        "res/3p.html",
                                     "res/Chapter/1.html", "res/Chapter/2.html", "res/Chapter/3.html",
                                     "res/Chapter/4.html", "res/Chapter/5.html"};
        for (int page = 0; page < 8; ++page)
            writeFile(fixed[page], colouredPage(page));
        content::BookTable table;
        for (int page = 8; page < kPages; ++page)
            table.rows.push_back(colouredPage(page));
        content::JetWriteOptions options;
        options.password = "64tolvaner82";
        m_ok = static_cast<bool>(
            content::writeJetDatabase(root() / "res" / "Chapter" / "szh.dll", table, options));
    }
    bool ok() const { return m_ok && isValid(); }

private:
    bool m_ok = false;
};

// A point of the browser view that no chapter button covers, so that the page's own
// colour shows there on every page, the contents page included.
QPoint uncoveredPoint()
{
    for (int y = kBrowserArea.bottom() - 10; y > kBrowserArea.top(); y -= 20) {
        for (int x = kBrowserArea.left() + 10; x < kBrowserArea.right(); x += 20) {
            bool covered = false;
            for (const mainwindow::ButtonPlace &place : mainwindow::buttonLayout()) {
                const QRect r(place.rect.left / 15, place.rect.top / 15, place.rect.width / 15,
                              place.rect.height / 15);
                covered = covered || r.adjusted(-4, -4, 4, 4).contains(x, y);
            }
            if (!covered)
                return {x, y};
        }
    }
    return kBrowserArea.center();
}

class PageWalkE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.isOpen())
            GTEST_SKIP() << "no X server of our own (Xvfb)";
    }
    ~PageWalkE2eTest() override { stopReader(reader); }
    bool start(const ColouredInstallation &installation)
    {
        if (!startReader(reader, installation.executable(), QDir::tempPath(), server.environment()))
            return false;
        const auto shown = waitForReaderWindow(reader, display());
        if (shown)
            window = *shown;
        return shown.has_value();
    }
    // A real click: the pointer moves onto the button and presses and releases there.
    void click(int control)
    {
        clickWithMouse(server, window, window.geometry.topLeft() + buttonCentre(control));
    }
    // Waits until the page shows `page`'s colour; the colour last seen otherwise.
    QColor waitForPage(int page, int timeoutMs = kPageTimeoutMs)
    {
        const QPoint at = window.geometry.topLeft() + uncoveredPoint();
        QColor seen;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            const QImage shot = display().screenshot();
            if (!shot.isNull()) {
                seen = shot.pixelColor(at);
                if (seen == pageColour(page))
                    return seen;
            }
            QTest::qWait(30);
        }
        return seen;
    }
    // Clicks `control` to go from page `from` to page `to`. A click that was lost (the
    // page stays unchanged for seconds) is given once more.
    QColor turn(int control, int from, int to)
    {
        click(control);
        const QColor seen = waitForPage(to, 5000);
        if (seen == pageColour(to) || seen != pageColour(from))
            return seen;
        click(control);
        return waitForPage(to);
    }

    const XDisplay &display() const { return server.display(); }

    // The reader's own screen: other tests' windows take neither its clicks nor its focus.
    OwnXServer server;
    QProcess reader;
    XWindow window;
};

TEST_F(PageWalkE2eTest, EveryPageForwardAndBackShowsItsOwnDocument)
{
    ColouredInstallation installation;
    ASSERT_TRUE(installation.ok());
    ASSERT_TRUE(start(installation)) << "no main window";
    ASSERT_EQ(waitForPage(0), pageColour(0)) << "the first page";
    for (int page = 1; page < kPages; ++page) {
        const QColor seen = turn(mainwindow::kPageDownButton, page - 1, page);
        ASSERT_EQ(seen, pageColour(page))
            << "page down to page " << page << ": found " << seen.name().toStdString();
    }
    for (int page = kPages - 2; page >= 0; --page) {
        const QColor seen = turn(mainwindow::kPageUpButton, page + 1, page);
        ASSERT_EQ(seen, pageColour(page))
            << "page up to page " << page << ": found " << seen.name().toStdString();
    }
    display()
        .screenshot()
        .copy(window.geometry)
        .save(QStringLiteral(VELMORA_BINARY_DIR "/e2e-page-walk.png"));
    display().requestClose(window.id);
    EXPECT_TRUE(reader.waitForFinished(20000));
    EXPECT_EQ(reader.exitCode(), 0);
}

} // namespace
} // namespace velmora::testing
