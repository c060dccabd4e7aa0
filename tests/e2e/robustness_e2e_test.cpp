// Pages that misbehave or reach beyond the book, in the real reader clicked with the
// mouse on a screen of the test's own: a page whose script never returns does not hold
// up the record pages after it; a book page reads its own installation and nothing
// beyond it; a link leads to the web while the web never reaches the installation; Memo
// pages show their text whatever they declare; a refused page dialog does not swallow
// the next click. Each page reports what it could do by its colour on the screen, or,
// from the web, by asking the test's server for a marker path. An installation in a
// folder whose name holds a backslash reads as any other.
#include "installfolder.h"
#include "loopbackserver.h"
#include "mainwindow/mainformtables.h"
#include "openbox.h"
#include "ownxserver.h"
#include "readerinstallation.h"
#include "readerprocess.h"
#include "windowcontrols.h"
#include "xdisplay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace velmora::testing {
namespace {

constexpr int kPageTimeoutMs = 20000;
// In the page, below every chapter button, in pixels from the client area's top left.
constexpr QPoint kInPage(500, 672);
// The top left of the browser view (at Left 0, Top 1080 twips).
constexpr QPoint kPageOrigin(0, 72);

const QColor kPassed(0x00, 0xc0, 0x40);

// A page of one colour; `script` runs at its end.
std::string colourPage(const QColor &colour, const std::string &script = {})
{
    return "<html><head><title>probe</title></head><body style=\"margin:0;height:100%;background:" +
           colour.name().toStdString() + "\"><p id=t>probe</p><script>" + script + "</script></body></html>";
}

// Script that colours the page kPassed when `check` (an expression) holds, else red with
// `detail` (an expression giving a number 0-255) in its blue, to tell what failed.
std::string colourByResult(const std::string &check, const std::string &detail = "0")
{
    return "document.body.style.background = (" + check + ") ? '" + kPassed.name().toStdString() +
           "' : 'rgb(255,0,' + (" + detail + ") + ')';";
}

class RobustnessE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.isOpen())
            GTEST_SKIP() << "no Xvfb to start a screen of the test's own";
    }
    ~RobustnessE2eTest() override { stopReader(reader); }

    // Starts the reader and waits for its first page to show `firstColour`.
    bool start(const ReaderInstallation &installation, const QColor &firstColour)
    {
        return start(installation.executable(), firstColour);
    }
    bool start(const QString &executable, const QColor &firstColour)
    {
        if (!startReader(reader, executable, QDir::tempPath(), server.environment()))
            return false;
        const auto shown = waitForReaderWindow(reader, server.display());
        if (!shown)
            return false;
        window = *shown;
        if (openbox) {
            // The window manager frames the window, and moves it, after it shows.
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < kPageTimeoutMs && server.display().frameExtents(window.id).isNull())
                QTest::qWait(50);
            const auto framed = server.display().visibleWindowsOf(reader.processId());
            if (framed.size() != 1)
                return false;
            window = framed[0];
        }
        return waitForColour(firstColour) == firstColour;
    }
    void click(QPoint inWindow) { clickWithMouse(server, window, window.geometry.topLeft() + inWindow); }
    void clickButton(int control) { click(buttonCentre(control)); }
    // Waits until the page shows `colour`; the colour last seen otherwise.
    QColor waitForColour(const QColor &colour, int timeoutMs = kPageTimeoutMs)
    {
        QColor seen;
        QElapsedTimer clock;
        clock.start();
        do {
            const QImage shot = server.display().screenshot();
            if (!shot.isNull())
                seen = shot.pixelColor(window.geometry.topLeft() + kInPage);
            if (seen == colour)
                break;
            QTest::qWait(30);
        } while (clock.elapsed() < timeoutMs);
        return seen;
    }
    // From the first page to record page `page` by the contents page's chapter button.
    // A click lost at start-up (the page unchanged for seconds) is given once more.
    void jumpTo(int page)
    {
        const QColor contents(0x33, 0xcc, 0x66); // the contents page of the made-up installation
        clickButton(mainwindow::kContentsButton);
        if (waitForColour(contents, 5000) != contents) {
            clickButton(mainwindow::kContentsButton);
            waitForColour(contents);
        }
        clickButton(chapterButtonFor(page));
    }
    void refusePageDialogsThenTurnPages();
    // What a person sees, kept beside the test results.
    void photograph(const char *name) const
    {
        server.display()
            .screenshot()
            .copy(window.geometry)
            .save(QStringLiteral(VELMORA_BINARY_DIR "/e2e-%1.png").arg(QLatin1String(name)));
    }

    OwnXServer server;
    std::unique_ptr<Openbox> openbox; // a window manager, for the tests that start one
    QProcess reader;
    XWindow window;
};

TEST_F(RobustnessE2eTest, APageWhoseScriptNeverReturnsDoesNotHoldUpThePagesAfterIt)
{
    const QColor colours[] = {QColor(0x40, 0x20, 0x80), QColor(0x20, 0x80, 0x40), QColor(0x80, 0x40, 0x20),
                              QColor(0x60, 0x60, 0x10)};
    const std::string loopSoon = "setTimeout(function () { for (;;) {} }, 100);";
    InstallOptions options;
    options.recordDocuments = {colourPage(colours[0], loopSoon), colourPage(colours[1], loopSoon),
                               colourPage(colours[2], "for (;;) {}"), colourPage(colours[3])};
    ReaderInstallation installation(options);
    ASSERT_TRUE(start(installation, InstallFolder::firstPageColor()));
    jumpTo(8);
    ASSERT_EQ(waitForColour(colours[0]), colours[0]) << "record 0";
    QTest::qWait(300); // its script is stuck by now
    // Each page down rewrites the page file and shows it at the same address.
    clickButton(mainwindow::kPageDownButton);
    EXPECT_EQ(waitForColour(colours[1]), colours[1]) << "record 1 after a stuck record 0";
    QTest::qWait(300);
    clickButton(mainwindow::kPageDownButton); // record 2 is stuck before it shows anything
    QTest::qWait(1000);
    clickButton(mainwindow::kPageDownButton);
    EXPECT_EQ(waitForColour(colours[3]), colours[3]) << "record 3 after a record stuck from the start";
    photograph("stuck-script-then-record-3");
    EXPECT_EQ(reader.state(), QProcess::Running);
}

TEST_F(RobustnessE2eTest, MemoPagesShowTheirTextWhateverTheyDeclare)
{
    // "目录 理": short, so that the engine's own guess takes its GBK for something else.
    const std::string check =
        colourByResult("document.getElementById('t').textContent === '\\u76ee\\u5f55 \\u7406'");
    const std::string text =
        "\xe7\x9b\xae\xe5\xbd\x95 \xe7\x90\x86"; // the same in UTF-8, as Memo text is written
    InstallOptions options;
    options.fieldType = content::FieldType::Memo;
    options.recordDocuments = {
        "<html><body style=\"margin:0\"><p id=t>" + text + "</p><script>" + check + "</script></body></html>",
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"></head>"
        "<body style=\"margin:0\"><p id=t>" +
            text + "</p><script>" + check + "</script></body></html>"};
    ReaderInstallation installation(options);
    ASSERT_TRUE(start(installation, InstallFolder::firstPageColor()));
    jumpTo(8);
    EXPECT_EQ(waitForColour(kPassed), kPassed) << "a Memo page that declares no charset";
    photograph("memo-page-without-charset");
    clickButton(mainwindow::kPageDownButton);
    QTest::qWait(500);
    EXPECT_EQ(waitForColour(kPassed), kPassed) << "a Memo page that declares GBK";
}

TEST_F(RobustnessE2eTest, ABookPageReadsItsOwnInstallationAndNothingBeyondIt)
{
    QTemporaryDir outside;
    ASSERT_TRUE(outside.isValid());
    const std::filesystem::path secret = std::filesystem::path(outside.path().toStdString()) / "secret.txt";
    {
        std::ofstream(secret) << "secret";
    }
    ReaderInstallation installation;
    std::filesystem::create_symlink(secret, installation.root() / "res" / "linked.txt");
    const std::string outsideName = std::filesystem::path(outside.path().toStdString()).filename().string();
    // Each probe answers true when it went as it should: reads inside the installation
    // give the file's text, every way out of it fails.
    const std::string probes =
        "function read(url) { return fetch(url).then(function (r) { return r.text(); }); }"
        "function xhr(url) { return new Promise(function (ok) { var x = new XMLHttpRequest();"
        "  x.onload = function () { ok(x.responseText); }; x.onerror = function () { ok(null); };"
        "  x.open('GET', url); x.send(); }); }"
        "function refused(p) { return p.then(function (t) { return t === null; }, function () { return true; "
        "}); }"
        "Promise.all(["
        "  read('2p.html').then(function (t) { return t.indexOf('Velmora 1') >= 0; }),"
        "  xhr('Chapter/1.html').then(function (t) { return t !== null && t.indexOf('Velmora 3') >= 0; }),"
        "  refused(read('../../" +
        outsideName +
        "/secret.txt')),"
        "  refused(read('%2e%2e/%2e%2e/" +
        outsideName +
        "/secret.txt')),"
        "  refused(read('..%2f..%2f" +
        outsideName +
        "%2fsecret.txt')),"
        "  refused(read('linked.txt')),"
        "  refused(xhr('linked.txt')),"
        "  refused(xhr('velmora://book" +
        secret.string() +
        "')),"
        "  refused(read('file://" +
        secret.string() +
        "'))"
        "]).then(function (results) {"
        "  var failed = 0; results.forEach(function (r, i) { if (!r) failed |= 1 << i; });"
        "  " +
        colourByResult("failed === 0", "failed & 255") + "});";
    installation.writeFile("res/1p.html", colourPage(InstallFolder::firstPageColor(), probes));
    ASSERT_TRUE(startReader(reader, installation.executable(), QDir::tempPath(), server.environment()));
    const auto shown = waitForReaderWindow(reader, server.display());
    ASSERT_TRUE(shown);
    window = *shown;
    const QColor seen = waitForColour(kPassed);
    photograph("page-reads-its-installation");
    EXPECT_EQ(seen, kPassed) << "failed probes (bits): " << seen.blue() << ", colour "
                             << seen.name().toStdString();
}

TEST_F(RobustnessE2eTest, ALinkShowsTheWebSiteAndTheWebNeverReachesTheInstallation)
{
    LoopbackServer web;
    ASSERT_TRUE(web.isListening());
    ReaderInstallation installation;
    const QString book = QStringLiteral("velmora://book") + installation.path();
    const QColor siteColour(0xe0, 0xa0, 0x40);
    // The site tries every way into the installation; each outcome is a request for a
    // marker path, "-read" where it got in. It ends with "/report/done".
    const QString site =
        QStringLiteral(
            "<html><head><title>site</title></head><body style=\"margin:0;height:100%;background:%1\">"
            "<script>"
            "function report(what) { var i = new Image(); i.src = '/report/' + what; }"
            "window.addEventListener('message', function () { report('frame-read'); });"
            "fetch('%2/res/2p.html').then(function () { report('fetch-read'); }, function () { "
            "report('fetch-refused'); });"
            "var x = new XMLHttpRequest(); x.onload = function () { report('xhr-read'); };"
            "x.onerror = function () { report('xhr-refused'); }; try { x.open('GET', '%2/res/2p.html'); "
            "x.send(); }"
            "catch (e) { report('xhr-refused'); }"
            "</script>"
            "<img src=\"%2/res/pic.png\" onload=\"report('img-read')\" onerror=\"report('img-refused')\">"
            "<iframe src=\"%2/res/framed.html\"></iframe>"
            "<script src=\"%2/res/probe.js\"></script>"
            "<script>setTimeout(function () { report('done'); }, 2000);</script>"
            "</body></html>")
            .arg(siteColour.name(), book);
    web.serve(QStringLiteral("/site.html"), "text/html", site.toUtf8());
    installation.writeFile("res/probe.js", "report('script-read');");
    installation.writeFile("res/framed.html", "<script>parent.postMessage('framed', '*');</script>");
    installation.writeFile("res/pic.png",
                           InstallFolder::movieBytes(QSize(4, 4), Qt::red, false).toStdString());
    // The book's first page: a link to the site over its top half, and parts of its own
    // from the network, none of which may be fetched.
    const std::string origin = web.origin().toStdString();
    installation.writeFile(
        "res/1p.html",
        "<html><body style=\"margin:0;height:100%;background:" +
            InstallFolder::firstPageColor().name().toStdString() + "\"><a href=\"" + origin +
            "/site.html\" style=\"display:block;height:300px\">visit our site</a>"
            "<img src=\"" +
            origin + "/book-img\"><iframe src=\"" + origin +
            "/book-frame\"></iframe>"
            "<script src=\"" +
            origin + "/book-script\"></script><script>fetch('" + origin +
            "/book-fetch').catch(function () {}); var x = new XMLHttpRequest(); x.open('GET', '" + origin +
            "/book-xhr'); x.send();</script></body></html>");
    // The second page's link is meant for a new window, as such links often were.
    const QColor secondSiteColour(0x90, 0x40, 0xa0);
    web.serve(QStringLiteral("/other.html"), "text/html",
              QStringLiteral("<html><body style=\"margin:0;height:100%;background:%1\"></body></html>")
                  .arg(secondSiteColour.name())
                  .toUtf8());
    const QColor secondPage(0xcc, 0x66, 0x33);
    installation.writeFile("res/2p.html", "<html><body style=\"margin:0;height:100%;background:" +
                                              secondPage.name().toStdString() +
                                              "\"><a target=\"_blank\" href=\"" + origin +
                                              "/other.html\" style=\"display:block;height:300px\">visit "
                                              "our site</a></body></html>");
    ASSERT_TRUE(start(installation, InstallFolder::firstPageColor()));
    QTest::qWait(500);
    const QPoint link = kPageOrigin + QPoint(300, 150);
    click(link);
    EXPECT_EQ(waitForColour(siteColour), siteColour) << "the followed link does not show the site";
    photograph("followed-link-shows-the-site");
    ASSERT_TRUE(web.waitFor(QStringLiteral("/report/done"), kPageTimeoutMs))
        << web.requests().join(u' ').toStdString();
    QTest::qWait(500);
    const QStringList requests = web.requests();
    for (const QString &request : requests) {
        EXPECT_FALSE(request.startsWith(QLatin1String("/book-")))
            << "a book page took a part from the web: " << request.toStdString();
        EXPECT_FALSE(request.endsWith(QLatin1String("-read")))
            << "the web got into the installation: " << request.toStdString();
    }
    for (const char *refused : {"/report/fetch-refused", "/report/xhr-refused", "/report/img-refused"})
        EXPECT_TRUE(requests.contains(QLatin1String(refused)))
            << refused << " missing: " << requests.join(u' ').toStdString();
    // The reader reads on from the site, and a link meant for a new window opens in the view.
    clickButton(mainwindow::kPageDownButton);
    ASSERT_EQ(waitForColour(secondPage), secondPage) << "page down after the site";
    QTest::qWait(300);
    click(link);
    EXPECT_EQ(waitForColour(secondSiteColour), secondSiteColour) << "a link for a new window shows nothing";
    photograph("new-window-link-shows-the-site");
    EXPECT_EQ(reader.state(), QProcess::Running);
}

// A colour input and a file input over the top of the first two pages: the dialogs they
// open are refused, as the view is silent; the click on a button after each turns the page.
void RobustnessE2eTest::refusePageDialogsThenTurnPages()
{
    ReaderInstallation installation;
    const auto withInput = [](const char *type, const QColor &colour) {
        return "<html><body style=\"margin:0;height:100%;background:" + colour.name().toStdString() +
               "\"><input type=" + type + " style=\"display:block;width:600px;height:300px\"></body></html>";
    };
    const QColor second(0xcc, 0x66, 0x33);
    installation.writeFile("res/1p.html", withInput("color", InstallFolder::firstPageColor()));
    installation.writeFile("res/2p.html", withInput("file", second));
    ASSERT_TRUE(start(installation, InstallFolder::firstPageColor()));
    QTest::qWait(300);
    // Plain clicks, as a person gives them: the window is not made active for them.
    const auto clickAt = [&](QPoint inWindow) { clickOnly(server, window.geometry.topLeft() + inWindow); };
    const QPoint input = kPageOrigin + QPoint(300, 150);
    clickAt(input);
    QTest::qWait(1000);
    photograph(openbox ? "colour-picker-refused-under-openbox" : "colour-picker-refused");
    EXPECT_EQ(server.display().visibleWindowsOf(reader.processId()).size(), 1u) << "a dialog shows";
    clickAt(buttonCentre(mainwindow::kPageDownButton));
    ASSERT_EQ(waitForColour(second), second) << "the click after the refused colour picker did nothing";
    clickAt(input);
    QTest::qWait(1000);
    EXPECT_EQ(server.display().visibleWindowsOf(reader.processId()).size(), 1u) << "a dialog shows";
    clickAt(buttonCentre(mainwindow::kPageDownButton));
    EXPECT_EQ(waitForColour(QColor(0x33, 0xcc, 0x66)), QColor(0x33, 0xcc, 0x66))
        << "the click after the refused file picker did nothing";
}

TEST_F(RobustnessE2eTest, AfterAPageDialogWasRefusedTheNextClickOnAButtonRunsItsCommand)
{
    refusePageDialogsThenTurnPages();
}

TEST_F(RobustnessE2eTest, AfterAPageDialogWasRefusedUnderAWindowManagerTheNextClickRunsItsCommand)
{
    openbox = std::make_unique<Openbox>(server);
    ASSERT_TRUE(openbox->isRunning()) << "openbox did not start";
    refusePageDialogsThenTurnPages();
    EXPECT_EQ(server.display().activeWindow(), window.id) << "the reader's window is not the active one";
}

TEST_F(RobustnessE2eTest, AnInstallationInAFolderWhoseNameHoldsABackslashOpensItsDatabase)
{
    const QColor record0(0x50, 0x90, 0x30);
    InstallOptions options;
    options.recordDocuments = {colourPage(record0)};
    const ReaderInstallation installation(options);
    QTemporaryDir parent;
    ASSERT_TRUE(parent.isValid());
    const std::filesystem::path copy = std::filesystem::path(parent.path().toStdString()) / "Velmora\\Disc 1";
    std::filesystem::copy(installation.root(), copy, std::filesystem::copy_options::recursive);
    ASSERT_TRUE(start(QString::fromStdString((copy / "velmora").string()), InstallFolder::firstPageColor()))
        << "no first page from " << copy;
    // The contents page (a fixed page), then a record page written from the database.
    jumpTo(8);
    EXPECT_EQ(waitForColour(record0), record0) << "record 0";
    photograph("installation-folder-with-backslash");
    EXPECT_TRUE(std::filesystem::exists(copy / "res" / "Chapter" / "faj.trm")) << "no page file";
    EXPECT_EQ(reader.state(), QProcess::Running);
}

} // namespace
} // namespace velmora::testing
