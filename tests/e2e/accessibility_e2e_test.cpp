// The reader as a screen reader sees it, over a real accessibility bus (at-spi2-core's,
// on a session bus of the test's own) and through libatspi: the movie buttons on show
// are push buttons named by their commands and chapters, a press turns the page as a
// click does, and the page itself can be read in the web view's document.
#include "accessibilitybus.h"
#include "atspiclient.h"
#include "installfolder.h"
#include "ownxserver.h"
#include "readerinstallation.h"
#include "readerprocess.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <set>

namespace velmora::testing {
namespace {

constexpr int kWindowTimeoutMs = 30000;
constexpr int kPageTimeoutMs = 20000;
constexpr QPoint kInPage(500, 672); // below every chapter button
const std::string kPress = "Press";

struct OfferedButton {
    AtspiRole role;
    std::vector<std::string> actions;
    Accessible object;
};

class AccessibilityE2eTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = std::make_unique<OwnXServer>();
        if (server->isOpen())
            bus = std::make_unique<AccessibilityBus>(server->name());
    }
    static void TearDownTestSuite()
    {
        bus.reset();
        server.reset();
    }
    void SetUp() override
    {
        if (!server->isOpen())
            GTEST_SKIP() << "no Xvfb to start a screen of the test's own";
        ASSERT_TRUE(bus->isRunning()) << "no accessibility bus (dbus-daemon, at-spi2-core)";
        ASSERT_TRUE(AtspiClient::connect(*bus));
        ASSERT_TRUE(workFolder.isValid());
        ASSERT_TRUE(startReader(reader, installation.executable(), workFolder.path(),
                                bus->environment(server->environment())));
        const auto shown = waitForReaderWindow(reader, server->display());
        ASSERT_TRUE(shown.has_value()) << "no window";
        client = shown->geometry;
        window = AtspiClient::waitForWindow("velmora", "Velmora", kWindowTimeoutMs);
        ASSERT_TRUE(window) << "the reader's window is not on the accessibility bus";
    }
    ~AccessibilityE2eTest() override { stopReader(reader); }

    // The movie buttons (and images) the window offers, by name.
    std::map<std::string, OfferedButton> offeredButtons() const
    {
        std::map<std::string, OfferedButton> offered;
        for (Accessible &child : AtspiClient::children(window.get())) {
            const AtspiRole role = AtspiClient::role(child.get());
            if (role != ATSPI_ROLE_PUSH_BUTTON && role != ATSPI_ROLE_IMAGE)
                continue;
            EXPECT_TRUE(AtspiClient::isShowing(child.get())) << AtspiClient::name(child.get());
            const std::string name = AtspiClient::name(child.get());
            EXPECT_EQ(offered.count(name), 0u) << "two buttons named " << name;
            offered[name] = {role, AtspiClient::actionNames(child.get()), std::move(child)};
        }
        return offered;
    }
    void press(const std::string &name) const
    {
        std::map<std::string, OfferedButton> offered = offeredButtons();
        ASSERT_EQ(offered.count(name), 1u) << "no button " << name;
        ASSERT_TRUE(AtspiClient::doAction(offered[name].object.get(), kPress)) << name;
    }
    QColor colourAt(QPoint inWindow) const
    {
        const QImage shot = server->display().screenshot();
        return shot.isNull() ? QColor() : shot.pixelColor(client.topLeft() + inWindow);
    }
    // The name of the web view's document, once it is `title` (the last one read otherwise).
    std::string waitForDocument(const std::string &title) const
    {
        std::string seen;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kPageTimeoutMs) {
            if (Accessible document = AtspiClient::findRole(window.get(), ATSPI_ROLE_DOCUMENT_WEB, 4))
                seen = AtspiClient::name(document.get());
            if (seen == title)
                break;
            QTest::qWait(100);
        }
        return seen;
    }
    // The colour at `inWindow` once it is `colour` (the last one seen otherwise): the
    // document can be read a little before it is painted.
    QColor waitForColour(QPoint inWindow, const QColor &colour) const
    {
        QColor seen;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kPageTimeoutMs && (seen = colourAt(inWindow)) != colour)
            QTest::qWait(50);
        return seen;
    }
    // The page in the document and on screen: page `page` of the sequence, titled `title`.
    void expectPage(int page, const std::string &title) const
    {
        EXPECT_EQ(waitForDocument(title), title);
        EXPECT_EQ(waitForColour(kInPage, InstallFolder::pageColor(page)), InstallFolder::pageColor(page));
    }

    static inline std::unique_ptr<OwnXServer> server;
    static inline std::unique_ptr<AccessibilityBus> bus;
    ReaderInstallation installation;
    QTemporaryDir workFolder;
    QProcess reader;
    QRect client;
    Accessible window;
};

TEST_F(AccessibilityE2eTest, TheButtonsAreNamedAndAPressTurnsThePageAsAClickDoes)
{
    ASSERT_NO_FATAL_FAILURE(expectPage(0, "Velmora 0"));
    std::map<std::string, OfferedButton> offered = offeredButtons();
    std::set<std::string> names;
    for (const auto &[name, button] : offered) {
        names.insert(name);
        SCOPED_TRACE(name);
        const bool image = name == "Brevanto Team" || name == "Velmora";
        EXPECT_EQ(button.role, image ? ATSPI_ROLE_IMAGE : ATSPI_ROLE_PUSH_BUTTON);
        EXPECT_EQ(button.actions, image ? std::vector<std::string>{} : std::vector<std::string>{kPress});
    }
    // The first page: no page up, no chapter panel.
    EXPECT_EQ(names,
              (std::set<std::string>{"Brevanto Team", "Contents", "Exit", "Help", "Next page", "Velmora"}));

    ASSERT_NO_FATAL_FAILURE(press("Next page"));
    ASSERT_NO_FATAL_FAILURE(expectPage(1, "Velmora 1"));
    EXPECT_EQ(offeredButtons().count("Previous page"), 1u);

    ASSERT_NO_FATAL_FAILURE(press("Contents"));
    ASSERT_NO_FATAL_FAILURE(expectPage(2, "Velmora 2"));
    offered = offeredButtons();
    EXPECT_EQ(offered.size(), 7u + 33u) << "the contents page shows the 33 chapter buttons";
    for (const char *chapter : {"Velmora 0", "Velmora 1", "Velmora 3", "Velmora 7", "record 0", "record 25"})
        EXPECT_EQ(offered.count(chapter), 1u) << chapter;

    // Record 3 is page 11; its chapter button hides the panel again.
    ASSERT_NO_FATAL_FAILURE(press("record 3"));
    ASSERT_NO_FATAL_FAILURE(expectPage(11, "record 3"));
    EXPECT_EQ(offeredButtons().count("record 0"), 0u);

    ASSERT_NO_FATAL_FAILURE(press("Previous page"));
    ASSERT_NO_FATAL_FAILURE(expectPage(10, "record 2"));

    // The reader ends at once: the answer to this press may never come.
    offered = offeredButtons();
    ASSERT_EQ(offered.count("Exit"), 1u);
    (void)AtspiClient::doAction(offered["Exit"].object.get(), kPress);
    EXPECT_TRUE(reader.waitForFinished(10000)) << "Exit did not end the reader";
    EXPECT_EQ(reader.exitCode(), 0);
}

} // namespace
} // namespace velmora::testing
