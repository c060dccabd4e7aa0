// The idle cost of the main window's 40 movie buttons: processor time used while they
// animate for a few seconds with nothing else to do, against the same window with 40
// plain widgets, in one run. Needs a display (xvfb-run).
//
//   xvfb-run -a build/bench/velmora-idle-bench [seconds] [installation folder with pic/]
#include "controls/flashbutton.h"
#include "controls/swf/player.h"
#include "installfolder.h"
#include "mainwindow/mainformtables.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>

#include <cstdio>
#include <ctime>

using namespace velmora;

namespace {

double processSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

QRect pixels(const mainwindow::TwipsRect &r)
{
    return QRect(r.left / 15, r.top / 15, r.width / 15, r.height / 15);
}

// Share of one core used while the event loop runs `seconds` with `window` on screen.
double idleLoad(QWidget &window, double seconds)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "the window did not show\n");
    QTest::qWait(500); // first paints and movie reading out of the way
    const double before = processSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(static_cast<int>(seconds * 1000));
    const double used = processSeconds() - before;
    window.hide();
    return used / (wall.nsecsElapsed() / 1e9);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, atof(argv[1])) : 5.0;
    testing::InstallFolder made(testing::InstallOptions{.database = false, .pages = false});
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : made.path();

    QWidget plain;
    plain.resize(1005, 781);
    for (const auto &place : mainwindow::buttonLayout())
        (new QWidget(&plain))->setGeometry(pixels(place.rect));

    QWidget buttons;
    buttons.resize(1005, 781);
    int playing = 0;
    for (const auto &entry : mainwindow::movieTable()) {
        auto *button = new controls::FlashButton(folder, &buttons);
        button->setGeometry(pixels(mainwindow::buttonPlace(entry.control).rect));
        button->setMovie(folder + entry.movie);
    }
    const double baseline = idleLoad(plain, seconds);
    const double withMovies = idleLoad(buttons, 0.1); // show once so that the movies are read
    (void)withMovies;
    for (auto *button : buttons.findChildren<controls::FlashButton *>())
        playing += button->hasMovie() && button->player()->isAnimated() ? 1 : 0;
    const double load = idleLoad(buttons, seconds);
    // As the first page leaves them: the chapter panel hidden, the top row playing.
    for (auto *button : buttons.findChildren<controls::FlashButton *>()) {
        if (button->movie().contains(QRegularExpression(QStringLiteral("\\\\[0-9]+\\.swf$"))))
            button->hide();
    }
    const double topRow = idleLoad(buttons, seconds);
    std::printf("movies from %s: %d of 40 animated\n", qPrintable(folder), playing);
    std::printf("40 plain widgets         %6.2f %% of one core\n", baseline * 100);
    std::printf("40 movie buttons         %6.2f %% of one core (difference %.2f points)\n", load * 100,
                (load - baseline) * 100);
    std::printf("top row only (7 shown)   %6.2f %% of one core (difference %.2f points)\n", topRow * 100,
                (topRow - baseline) * 100);
    return 0;
}
