// The browser view on the web engine: pages served from the installation folder and
// nowhere else, fresh on every navigation, GBK by default, and silent.
#include "controls/bookschemehandler.h"
#include "controls/browserview.h"

#include <QApplication>
#include <QBuffer>
#include <QColorDialog>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <utility>

namespace velmora::controls {
namespace {

constexpr int kLoadTimeoutMs = 30000;

void writeFile(const std::filesystem::path &file, const QByteArray &bytes)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.constData(), bytes.size());
}

QByteArray png(int width)
{
    QImage image(width, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// What `read` gives once it equals `expected`, or its last answer after `timeoutMs`.
// (Qt's QTRY_ macros report to a QTest runner, which these tests do not have.)
template <typename Read, typename T> T eventually(Read read, const T &expected, int timeoutMs)
{
    T value = read();
    QElapsedTimer clock;
    clock.start();
    while (value != expected && clock.elapsed() < timeoutMs) {
        QTest::qWait(10);
        value = read();
    }
    return value;
}

int visibleDialogs()
{
    int count = 0;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QDialog *>(w) && w->isVisible())
            ++count;
    }
    return count;
}

class BrowserViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        root = std::filesystem::path(m_dir.path().toStdString()) / "book";
        std::filesystem::create_directories(root / "res" / "Chapter");
        app = QString::fromStdString(root.string());
        view = std::make_unique<BrowserView>(app);
        view->resize(400, 300);
        view->show();
    }
    void TearDown() override { view.reset(); }

    // Navigates and waits for the load to end; true when it succeeded.
    bool navigate(const QString &address)
    {
        QSignalSpy finished(view.get(), &QWebEngineView::loadFinished);
        view->Navigate(address);
        if (!finished.wait(kLoadTimeoutMs))
            return false;
        return finished.first().first().toBool();
    }

    QVariant script(const QString &code)
    {
        QVariant result;
        QEventLoop loop;
        view->page()->runJavaScript(code, [&](const QVariant &v) {
            result = v;
            loop.quit();
        });
        loop.exec();
        return result;
    }

    QTemporaryDir m_dir;
    std::filesystem::path root;
    QString app;
    std::unique_ptr<BrowserView> view;
};

TEST_F(BrowserViewTest, ATrmPageIsShownAsHtmlFromAWindowsStylePathInAnyCase)
{
    writeFile(root / "res" / "Chapter" / "faj.trm",
              "<html><head><title>record 4</title></head><body>x</body></html>");
    ASSERT_TRUE(navigate(app + "\\RES\\chapter\\FAJ.trm"));
    EXPECT_EQ(view->title(), QStringLiteral("record 4"));
    EXPECT_EQ(view->url().scheme(), QStringLiteral("velmora"));
}

TEST_F(BrowserViewTest, NavigatingToTheSameFileAgainShowsItsNewTextAndImages)
{
    const std::filesystem::path page = root / "res" / "Chapter" / "faj.trm";
    const QString address = app + "\\res\\Chapter\\faj.trm";
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        const int width = 10 + round;
        writeFile(root / "res" / "Chapter" / "pic.png", png(width));
        writeFile(
            page,
            QStringLiteral(
                "<html><head><title>round %1</title></head><body><img id=i src=\"pic.png\"></body></html>")
                .arg(round)
                .toUtf8());
        ASSERT_TRUE(navigate(address));
        EXPECT_EQ(view->title(), QStringLiteral("round %1").arg(round));
        EXPECT_EQ(
            eventually(
                [&] { return script(QStringLiteral("document.getElementById('i').naturalWidth")).toInt(); },
                width, 5000),
            width);
    }
}

// A navigation asked for while the page before it is being served, whether to another
// address or to the same one: the last one asked for is shown.
TEST_F(BrowserViewTest, TheLastNavigationWinsOverTheOneBeingServed)
{
    const std::filesystem::path files[] = {root / "res" / "Chapter" / "faj.trm", root / "res" / "3p.html"};
    const QString addresses[] = {app + "\\res\\Chapter\\faj.trm", app + "\\res\\3p.html"};
    int written = 0;
    const auto go = [&](int which) {
        ++written;
        writeFile(files[which], QStringLiteral("<html><title>%1</title></html>").arg(written).toUtf8());
        view->Navigate(addresses[which]);
    };
    std::optional<int> next;
    int delayMs = 0;
    view->schemeHandler().setPageSource([&](const std::filesystem::path &) {
        if (next)
            QTimer::singleShot(delayMs, view.get(),
                               [&go, which = *std::exchange(next, std::nullopt)] { go(which); });
        return BookSchemeHandler::WrittenPage{};
    });
    for (delayMs = 0; delayMs <= 50; delayMs += 5) {
        for (const int second : {0, 1}) {
            SCOPED_TRACE(testing::Message() << delayMs << " ms, then " << second);
            go(1);
            const auto title = [&] { return view->title(); };
            ASSERT_EQ(eventually(title, QString::number(written), kLoadTimeoutMs), QString::number(written));
            next = second;
            go(0);
            const QString last = QString::number(written + 1);
            EXPECT_EQ(eventually(title, last, kLoadTimeoutMs), last);
        }
    }
}

// A page whose script never returns is left by making the next page again in a fresh
// renderer process; a navigation asked for while that page is served is still shown.
TEST_F(BrowserViewTest, TheLastNavigationWinsOverAPageMadeAgainForAFreshProcess)
{
    writeFile(
        root / "res" / "stuck.html",
        "<html><title>stuck</title><script>setTimeout(function () { for (;;) {} }, 100);</script></html>");
    const std::filesystem::path files[] = {root / "res" / "Chapter" / "faj.trm", root / "res" / "3p.html"};
    const QString addresses[] = {app + "\\res\\Chapter\\faj.trm", app + "\\res\\3p.html"};
    int written = 0;
    const auto go = [&](int which) {
        ++written;
        writeFile(files[which], QStringLiteral("<html><title>%1</title></html>").arg(written).toUtf8());
        view->Navigate(addresses[which]);
    };
    std::optional<int> next;
    int delayMs = 0;
    int servings = 0;
    // The page after the stuck one is served twice: for the stuck process, then for a fresh one.
    view->schemeHandler().setPageSource([&](const std::filesystem::path &file) {
        if (file == files[1] && ++servings == 2 && next)
            QTimer::singleShot(delayMs, view.get(),
                               [&go, which = *std::exchange(next, std::nullopt)] { go(which); });
        return BookSchemeHandler::WrittenPage{};
    });
    for (delayMs = 0; delayMs <= 30; delayMs += 3) {
        for (const int second : {0, 1}) {
            SCOPED_TRACE(testing::Message() << delayMs << " ms, then " << second);
            ASSERT_TRUE(navigate(app + "\\res\\stuck.html"));
            QTest::qWait(200);
            servings = 0;
            next = second;
            go(1);
            const QString last = QString::number(written + 1);
            EXPECT_EQ(eventually([&] { return view->title(); }, last, kLoadTimeoutMs), last);
        }
    }
}

// The engine writes some addresses in its own way (escaped, dot segments resolved): each
// navigation still reads its page once, and the same name again shows the new text.
TEST_F(BrowserViewTest, APageOfAnyNameIsReadOncePerNavigation)
{
    int reads = 0;
    view->schemeHandler().setPageSource([&](const std::filesystem::path &) {
        ++reads;
        return BookSchemeHandler::WrittenPage{};
    });
    for (const char *name : {"\xE7\x9B\xAE\xE5\xBD\x95 a.html", "a|b{c}^`d\"e[f].html", "x/../plain.html"}) {
        SCOPED_TRACE(name);
        const QString address = app + "\\res\\" + QString::fromUtf8(name);
        const std::filesystem::path file = root / "res" / std::filesystem::path(name).lexically_normal();
        for (int round = 0; round < 2; ++round) {
            writeFile(file, QStringLiteral("<html><title>%1</title></html>").arg(round).toUtf8());
            reads = 0;
            ASSERT_TRUE(navigate(address));
            QTest::qWait(300);
            EXPECT_EQ(reads, 1);
            EXPECT_EQ(view->title(), QString::number(round));
        }
    }
}

TEST_F(BrowserViewTest, ImagesBesideThePageAreShown)
{
    writeFile(root / "res" / "images" / "a.png", png(12));
    writeFile(root / "res" / "images" / "b.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"30\" "
                                                 "height=\"20\"><rect width=\"30\" height=\"20\"/></svg>");
    writeFile(root / "res" / "1p.html", "<html><body><img id=a src=\"images/a.png\"><img id=b "
                                        "src=\"images/b.svg\" width=\"60\"></body></html>");
    ASSERT_TRUE(navigate(app + "\\res\\1p.html"));
    // Promptly: a scheme that may not load its own resources gets them only after a long
    // detour, if at all.
    EXPECT_EQ(eventually(
                  [&] { return script(QStringLiteral("document.getElementById('a').naturalWidth")).toInt(); },
                  12, 3000),
              12);
    EXPECT_EQ(eventually(
                  [&] { return script(QStringLiteral("document.getElementById('b').naturalWidth")).toInt(); },
                  30, 3000),
              30);
}

TEST_F(BrowserViewTest, LargeFilesArriveWholeAndUnchanged)
{
    // An uncompressed picture of 4 MB, and a file of 5 MB whose bytes all differ in turn.
    QImage picture(1024, 1024, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QByteArray bmp;
    QBuffer out(&bmp);
    out.open(QIODevice::WriteOnly);
    picture.save(&out, "BMP");
    writeFile(root / "res" / "images" / "big.bmp", bmp);
    QByteArray data(5 * 1024 * 1024 + 3, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    writeFile(root / "res" / "data.bin", data);
    writeFile(root / "res" / "1p.html", "<html><body><img id=a src=\"images/big.bmp\"></body></html>");
    ASSERT_TRUE(navigate(app + "\\res\\1p.html"));
    QTRY_COMPARE_WITH_TIMEOUT(script(QStringLiteral("document.getElementById('a').naturalWidth")).toInt(),
                              1024, 10000);
    script(QStringLiteral("fetch('data.bin').then(r => r.arrayBuffer()).then(b => {"
                          "  const v = new Uint8Array(b); let sum = 0;"
                          "  for (let i = 0; i < v.length; ++i) sum = (sum * 31 + v[i]) % 1000000007;"
                          "  window.got = v.length + ':' + sum; });"));
    qint64 sum = 0;
    for (const char c : data)
        sum = (sum * 31 + static_cast<unsigned char>(c)) % 1000000007;
    QTRY_COMPARE_WITH_TIMEOUT(script(QStringLiteral("window.got")).toString(),
                              QStringLiteral("%1:%2").arg(data.size()).arg(sum), 10000);
}

TEST_F(BrowserViewTest, APageThatDeclaresNoCharsetIsReadAsGbk)
{
    // "理" in GBK: a short text that the engine's own guess takes for another encoding.
    const QString text = QStringLiteral("目录 理");
    const QByteArray gbkText("\xC4\xBF\xC2\xBC \xC0\xED"); // the same, in GBK
    writeFile(root / "res" / "2p.html", "<html><body><p id=t>" + gbkText + "</p></body></html>");
    ASSERT_TRUE(navigate(app + "\\res\\2p.html"));
    EXPECT_EQ(script(QStringLiteral("document.getElementById('t').innerText")).toString(), text);
}

TEST_F(BrowserViewTest, NothingOutsideTheInstallationFolderCanBeRead)
{
    const std::filesystem::path outside = root.parent_path() / "outside";
    writeFile(outside / "secret.html", "<html><head><title>secret</title></head></html>");
    writeFile(outside / "secret.png", png(7));
    std::filesystem::create_symlink(outside / "secret.png", root / "res" / "linked.png");
    writeFile(root / "res" / "1p.html",
              "<html><head><title>first</title></head><body>"
              "<img id=a src=\"../../outside/secret.png\"><img id=b src=\"linked.png\">"
              "<img id=c src=\"file://" +
                  QByteArray::fromStdString((outside / "secret.png").string()) + "\"></body></html>");
    ASSERT_TRUE(navigate(app + "\\res\\1p.html"));
    for (const char *id : {"a", "b", "c"}) {
        SCOPED_TRACE(id);
        QTest::qWait(50);
        EXPECT_EQ(script(QStringLiteral("document.getElementById('%1').naturalWidth").arg(QLatin1String(id)))
                      .toInt(),
                  0);
    }
    navigate(QString::fromStdString((outside / "secret.html").string()));
    EXPECT_NE(view->title(), QStringLiteral("secret"));
}

TEST_F(BrowserViewTest, WebAddressesAreLoadedAsTheyAre)
{
    EXPECT_EQ(view->urlFor(QStringLiteral("http://www.example.com/brevanto/")),
              QUrl("http://www.example.com/brevanto/"));
    EXPECT_EQ(view->urlFor(QStringLiteral("https://example.com/a?b=c")), QUrl("https://example.com/a?b=c"));
    EXPECT_EQ(view->urlFor(app + "\\res\\1p.html").scheme(), QStringLiteral("velmora"));
}

TEST_F(BrowserViewTest, LeftIsGivenInTwips)
{
    view->move(933, 72);
    view->setLeft(0);
    EXPECT_EQ(view->pos(), QPoint(0, 72));
    view->setLeft(150);
    EXPECT_EQ(view->pos(), QPoint(10, 72));
}

TEST_F(BrowserViewTest, ASilentViewRaisesNoDialogForScripts)
{
    view->setSilent(true);
    writeFile(
        root / "res" / "noisy.html",
        "<html><head><title>noisy</title><script>"
        "alert('a'); var c = confirm('b'); var p = prompt('c', 'd'); var w = window.open('x.html');"
        "undefinedFunction();"
        "window.onbeforeunload = function(e) { e.returnValue = 'stay'; return 'stay'; };"
        "</script></head><body>"
        "<p id=r></p><script>document.getElementById('r').innerText = String(c) + ',' + String(p);</script>"
        "</body></html>");
    const int windowsBefore = QApplication::topLevelWidgets().size();
    ASSERT_TRUE(navigate(app + "\\res\\noisy.html"));
    EXPECT_EQ(script(QStringLiteral("document.getElementById('r').innerText")).toString(),
              QStringLiteral("true,null"));
    EXPECT_EQ(visibleDialogs(), 0);
    EXPECT_LE(QApplication::topLevelWidgets().size(), windowsBefore); // window.open made none
    EXPECT_EQ(view->contextMenuPolicy(), Qt::NoContextMenu);
    // Leaving a page that asks to stay is not held up.
    writeFile(root / "res" / "next.html", "<html><head><title>next</title></head></html>");
    ASSERT_TRUE(navigate(app + "\\res\\next.html"));
    EXPECT_EQ(view->title(), QStringLiteral("next"));
}

TEST_F(BrowserViewTest, TheColourPickerOfASilentViewIsTurnedAway)
{
    writeFile(root / "res" / "colour.html", "<html><body style=\"margin:0\"><input id=c type=color "
                                            "style=\"width:200px;height:100px\"></body></html>");
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "not silent");
        view->setSilent(silent);
        ASSERT_TRUE(navigate(app + "\\res\\colour.html"));
        QTest::qWait(200);
        QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, QPoint(50, 50));
        QColorDialog *seen = nullptr;
        for (int i = 0; i < 100 && !seen; ++i) {
            QTest::qWait(20);
            seen = view->findChild<QColorDialog *>();
        }
        if (!silent) {
            // The click does reach the picker: without silence a dialog opens.
            ASSERT_NE(seen, nullptr);
            seen->reject();
            continue;
        }
        QTest::qWait(300);
        EXPECT_EQ(visibleDialogs(), 0);
    }
}

TEST_F(BrowserViewTest, APageSourceOverridesTheFileOnDisk)
{
    writeFile(root / "res" / "Chapter" / "faj.trm", "<html><head><title>on disk</title></head></html>");
    const std::filesystem::path kept = root / "res" / "Chapter" / "faj.trm";
    view->schemeHandler().setPageSource([&](const std::filesystem::path &file) {
        BookSchemeHandler::WrittenPage page;
        if (file == kept)
            page.document = std::string("<html><head><title>in memory</title></head></html>");
        return page;
    });
    ASSERT_TRUE(navigate(app + "\\res\\Chapter\\faj.trm"));
    EXPECT_EQ(view->title(), QStringLiteral("in memory"));
}

} // namespace
} // namespace velmora::controls
