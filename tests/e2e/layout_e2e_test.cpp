// The reader's window photographed on its own X screen at 100 % and at 200 % scale:
// everything scales together (window, page, buttons, the maker's label) and the label
// is drawn at the screen's resolution, not magnified. And the README's run command: its
// last step starts the built reader, which shows the sample book's cover.
#include "installfolder.h"
#include "ownxserver.h"
#include "readerinstallation.h"
#include "readerprocess.h"
#include "xdisplay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

namespace velmora::testing {
namespace {

constexpr int kStartTimeoutMs = 60000;
constexpr QSize kWindowPx(1005, 781);         // 15070 x 11715 twips
constexpr QRect kLabel1Px(872, 696, 113, 17); // 13080, 10440, 1695 x 255 twips
constexpr QPoint kDownButtonPx(914, 17);      // inside ShockwaveFlash12 (911, 14, 64 x 52)
const QColor kGrey(128, 128, 128);

bool near(const QColor &a, const QColor &b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// The box around the dark pixels of `image` within `area`: the label's letters on the
// window picture's white.
QRect inkIn(const QImage &image, const QRect &area)
{
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

// The reader started on `displayName` with an environment of its own.
class Reader {
public:
    Reader(const QString &executable, const QString &workingFolder, const QProcessEnvironment &environment)
    {
        startReader(m_process, executable, workingFolder, environment);
    }
    ~Reader() { stopReader(m_process); }
    // Its one window, once it shows.
    std::optional<XWindow> waitForWindow(const XDisplay &display)
    {
        return waitForReaderWindow(m_process, display);
    }
    // A screenshot once `where` (on the screen) shows `colour`, or the last one taken.
    static QImage waitForColour(const XDisplay &display, const XWindow &window, QPoint where,
                                const QColor &colour)
    {
        QImage shot;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kStartTimeoutMs) {
            display.raise(window.id);
            shot = display.screenshot();
            if (!shot.isNull() && shot.pixelColor(where) == colour)
                break;
            QTest::qWait(100);
        }
        return shot;
    }
    std::optional<int> closeAndFinish(const XDisplay &display, const XWindow &window)
    {
        display.requestClose(window.id);
        if (!m_process.waitForFinished(20000))
            return std::nullopt;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QProcess m_process;
};

struct Shot {
    int scale = 0;
    QImage window; // the window's client area, in screen pixels
};

TEST(ScaledWindowE2e, At200PercentEverythingIsTwiceAsLargeAndTheLabelIsDrawnSharp)
{
    OwnXServer server(QSize(2400, 1800)); // room for the window at twice its size
    if (!server.isOpen())
        GTEST_SKIP() << "no Xvfb to start a screen of the test's own";
    ReaderInstallation installation;
    std::vector<Shot> shots;
    for (const int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        QProcessEnvironment environment = server.environment();
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(scale));
        Reader reader(installation.executable(), QDir::tempPath(), environment);
        const auto window = reader.waitForWindow(server.display());
        ASSERT_TRUE(window.has_value()) << "no window";
        EXPECT_EQ(window->geometry.size(), kWindowPx * scale);
        const QPoint origin = window->geometry.topLeft();
        const QPoint inPage = origin + QPoint(500, 400) * scale;
        const QImage screen =
            Reader::waitForColour(server.display(), *window, inPage, InstallFolder::firstPageColor());
        ASSERT_EQ(screen.pixelColor(inPage), InstallFolder::firstPageColor())
            << "the first page did not show";
        const QImage shot = screen.copy(window->geometry);
        shot.save(QStringLiteral(VELMORA_BINARY_DIR "/e2e-window-%1.png").arg(scale * 100));
        // The page fills the browser view's rectangle, (0, 72) to (1000, 697) in pixels at 100 %.
        for (const QPoint p : {QPoint(2, 75), QPoint(997, 75), QPoint(2, 694), QPoint(997, 694)})
            EXPECT_EQ(shot.pixelColor(p * scale), InstallFolder::firstPageColor()) << p.x() << "," << p.y();
        EXPECT_NE(shot.pixelColor(QPoint(500, 69) * scale), InstallFolder::firstPageColor());
        EXPECT_NE(shot.pixelColor(QPoint(500, 700) * scale), InstallFolder::firstPageColor());
        // The window's grey to the right of the 1000-pixel picture.
        EXPECT_EQ(shot.pixelColor(QPoint(1002, 400) * scale), kGrey);
        // The page-down button plays its movie at its place.
        const QColor movie = QColor::fromHsv((12 * 37) % 360, 200, 220);
        EXPECT_TRUE(near(shot.pixelColor(kDownButtonPx * scale), movie))
            << shot.pixelColor(kDownButtonPx * scale).name().toStdString();
        // The label is transparent: the picture's white shows around its letters, no grey box.
        // (Its top pixel row lies under the browser view, which ends 15 twips below the label's top.)
        const QRect label =
            QRect(kLabel1Px.topLeft() * scale, kLabel1Px.size() * scale).adjusted(0, 2 * scale, 0, 0);
        for (const QPoint corner :
             {label.topLeft(), label.topRight(), label.bottomLeft(), label.bottomRight()})
            EXPECT_GT(qGray(shot.pixel(corner)), 200) << corner.x() << "," << corner.y();
        shots.push_back({scale, shot});
        EXPECT_EQ(reader.closeAndFinish(server.display(), *window), std::optional<int>(0));
    }
    ASSERT_EQ(shots.size(), 2u);
    // The label's letters: twice as large, at twice the offsets, to within a pixel or two.
    const QRect ink1 = inkIn(shots[0].window, kLabel1Px);
    const QRect ink2 = inkIn(shots[1].window, QRect(kLabel1Px.topLeft() * 2, kLabel1Px.size() * 2));
    ASSERT_FALSE(ink1.isEmpty()) << "no label at 100 %";
    ASSERT_FALSE(ink2.isEmpty()) << "no label at 200 %";
    EXPECT_LE(std::abs(ink2.left() - 2 * ink1.left()), 2);
    EXPECT_LE(std::abs(ink2.top() - 2 * ink1.top()), 3);
    EXPECT_LE(std::abs(ink2.width() - 2 * ink1.width()), 4);
    EXPECT_LE(std::abs(ink2.height() - 2 * ink1.height()), 4);
    // Drawn anew at 200 %, not the 100 % letters magnified: a magnified drawing would
    // equal the small one blown up pixel for pixel.
    const QImage small = shots[0].window.copy(kLabel1Px);
    const QImage magnified = small.scaled(small.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const QImage large = shots[1].window.copy(QRect(kLabel1Px.topLeft() * 2, kLabel1Px.size() * 2));
    int differing = 0;
    for (int y = 0; y < large.height(); ++y)
        for (int x = 0; x < large.width(); ++x)
            differing += std::abs(qGray(large.pixel(x, y)) - qGray(magnified.pixel(x, y))) > 40;
    EXPECT_GT(differing, 50) << "the label looks magnified, not drawn at the screen's resolution";
}

// The README's first command ends in `exec build/velmora/velmora`, run from the
// repository's root. Building a clean clone here would take far longer than a test may,
// so this checks the script's last step and runs that step on the build's own
// installation folder (build/velmora when the build folder is the script's "build").
TEST(ReadmeRunCommand, ItsLastStepStartsTheReaderOnTheSampleBooksCover)
{
    QFile readme(QStringLiteral(VELMORA_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    EXPECT_TRUE(readme.readAll().contains("./run "));
    QFile run(QStringLiteral(VELMORA_SOURCE_DIR "/run"));
    ASSERT_TRUE(run.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = run.readAll().trimmed().split('\n');
    EXPECT_EQ(lines.last().trimmed(), QByteArray("exec build/velmora/velmora"));
    EXPECT_TRUE(QFileInfo(QStringLiteral(VELMORA_SOURCE_DIR "/run")).isExecutable());

    const QString folder = QStringLiteral(VELMORA_INSTALL_FOLDER);
    if (!QFileInfo::exists(folder + "/res/1p.html"))
        GTEST_SKIP() << "the sample book is not built in " << folder.toStdString();
    EXPECT_TRUE(folder.endsWith(QLatin1String("/velmora")));
    XDisplay display;
    if (!display.isOpen())
        GTEST_SKIP() << "no X display";
    Reader reader(folder + "/velmora", QStringLiteral(VELMORA_SOURCE_DIR),
                  QProcessEnvironment::systemEnvironment());
    const auto window = reader.waitForWindow(display);
    ASSERT_TRUE(window.has_value()) << "no window";
    EXPECT_EQ(window->title, QStringLiteral("Velmora"));
    // The cover's paper colour in the page's left margin.
    const QColor cover(0xfb, 0xf6, 0xe8);
    const QPoint inMargin = window->geometry.topLeft() + QPoint(20, 600);
    const QImage screen = Reader::waitForColour(display, *window, inMargin, cover);
    EXPECT_EQ(screen.pixelColor(inMargin), cover) << "not the sample book's cover";
    screen.copy(window->geometry).save(QStringLiteral(VELMORA_BINARY_DIR "/e2e-readme-run.png"));
    EXPECT_EQ(reader.closeAndFinish(display, *window), std::optional<int>(0));
}

} // namespace
} // namespace velmora::testing
