// What a page turn costs in the real main window, from the click on the button to the
// browser view's loadFinished, against a minimal web view that rewrites one file and
// loads it again, interleaved in one run; page up from page 33 (a rewind and a forward
// move of 24 records) against page down onto the same page 32, in adjacent pairs; and
// both again with a heavy movie on every button, in rounds alternating with the plain
// movies (the movie is the corpus's busiest, or the file given). Beside each time, the
// processor time the whole process tree spent on that load (this process with both
// views, and the web engine's processes), up to a short settle after the load.
// Needs a display (xvfb-run).
//
//   xvfb-run -a build/bench/velmora-navigation-bench [rounds] [heavy movie]
#include "content/recordset.h"
#include "controls/browserview.h"
#include "controls/flashbutton.h"
#include "controls/swf/movie.h"
#include "controls/swf/player.h"
#include "installfolder.h"
#include "mainwindow/commands.h"
#include "mainwindow/mainform.h"
#include "mainwindow/mainformtables.h"
#include "processtimes.h"
#include "startup/loaderform.h"
#include "startup/runtime.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

using namespace velmora;
using mainwindow::kContentsButton;
using mainwindow::kPageDownButton;
using mainwindow::kPageUpButton;

namespace {

constexpr int kLoadTimeoutMs = 20000;

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// After a load, what it set going (the first frame's painting) is given this long, and
// counted in its processor time.
constexpr int kSettleMs = 40;

double mean(const std::vector<double> &values)
{
    return values.empty() ? 0 : std::accumulate(values.begin(), values.end(), 0.0) / values.size();
}

double ownProcessorMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The processor time of the web engine's processes (below this one), in clock ticks.
double childrenProcessorMs()
{
    return testing::processTreeTimes(QCoreApplication::applicationPid()).children * 1e3;
}

struct Cost {
    std::vector<double> ms;  // from the start to the view's finished load
    std::vector<double> cpu; // milliseconds of processor time, the settle included
    void add(std::pair<double, double> load)
    {
        ms.push_back(load.first);
        cpu.push_back(load.second);
    }
};

// Milliseconds from `start` until `view` reports a finished load, and the processor
// time of the whole process tree meanwhile and in the settle after it. This process's
// own is read to the nanosecond, after and before the scan of /proc for the others', so
// that the scan is not counted; the others' come in clock ticks, which the mean of many
// loads evens out.
template <typename Start> std::pair<double, double> costOfLoad(QWebEngineView &view, Start start)
{
    QSignalSpy finished(&view, &QWebEngineView::loadFinished);
    const double childrenBefore = childrenProcessorMs();
    const double ownBefore = ownProcessorMs();
    QElapsedTimer clock;
    clock.start();
    start();
    if (!finished.wait(kLoadTimeoutMs))
        std::fprintf(stderr, "a page did not finish loading\n");
    const double ms = clock.nsecsElapsed() / 1e6;
    QTest::qWait(kSettleMs);
    const double own = ownProcessorMs() - ownBefore;
    return {ms, own + childrenProcessorMs() - childrenBefore};
}

// Milliseconds from `start` until `view` reports a finished load.
template <typename Start> double timeToLoad(QWebEngineView &view, Start start)
{
    return costOfLoad(view, start).first;
}

// A click as a user gives it; the command runs once the focus has settled on the button.
void click(int number)
{
    controls::FlashButton *button = Form1->ShockwaveFlash(number);
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

// Clicks and waits until the page is loaded, without measuring.
void turn(int number)
{
    timeToLoad(*Form1->WebBrowser1, [number] { click(number); });
}

void print(const std::string &what, const std::vector<double> &ms)
{
    std::printf("%-58s median %7.2f ms  min %7.2f ms  (%zu)\n", what.c_str(), median(ms),
                *std::min_element(ms.begin(), ms.end()), ms.size());
}

void print(const std::string &what, const Cost &cost)
{
    std::printf("%-58s median %7.2f ms  min %7.2f ms  processor %6.2f ms  (%zu)\n", what.c_str(),
                median(cost.ms), *std::min_element(cost.ms.begin(), cost.ms.end()), mean(cost.cpu),
                cost.ms.size());
}

struct Figures {
    Cost down;       // page down onto a record page
    Cost minimal;    // the baseline, right after each
    Cost viewReload; // the reader's view alone, without click or command
    std::vector<double> downTo32;
    std::vector<double> upFrom33;
    std::vector<double> upOverDown; // of each adjacent pair
};

// Pages 8 to 31 by page down, each against the baseline; then page 32 reached both ways
// in turn, from 31 by page down and from 33 by page up.
template <typename Baseline>
void measureRound(Figures &figures, QWebEngineView &minimal, Baseline &rewriteAndLoad)
{
    QWebEngineView &view = *Form1->WebBrowser1;
    turn(kContentsButton);
    turn(26); // page 8
    for (int page = 9; page <= 31; ++page) {
        figures.down.add(costOfLoad(view, [] { click(kPageDownButton); }));
        figures.minimal.add(costOfLoad(minimal, [&] { rewriteAndLoad(page - 8); }));
        figures.viewReload.add(costOfLoad(view, [] { Form1->WebBrowser1->Navigate(Form1->pagepath); }));
    }
    for (int cycle = 0; cycle < 6; ++cycle) {
        const double down = timeToLoad(view, [] { click(kPageDownButton); });
        turn(kPageDownButton); // page 33
        const double up = timeToLoad(view, [] { click(kPageUpButton); });
        turn(kPageUpButton); // page 31
        figures.downTo32.push_back(down);
        figures.upFrom33.push_back(up);
        figures.upOverDown.push_back(up / down);
    }
}

void report(const std::string &prefix, const Figures &figures)
{
    print(prefix + "reader: page down onto a record page", figures.down);
    print(prefix + "minimal view: rewrite the file and load it", figures.minimal);
    print(prefix + "reader's view: load the page file again", figures.viewReload);
    print(prefix + "reader: page down from 31 to 32", figures.downTo32);
    print(prefix + "reader: page up from 33 to 32", figures.upFrom33);
}

// The movie of the corpus with the highest frame rate, of those that move.
std::filesystem::path busiestCorpusMovie()
{
    std::filesystem::path busiest;
    double highest = 0;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(VELMORA_SHARED_DIR "/corpus/swf", ec)) {
        const std::filesystem::path file = entry.path() / "test.swf";
        const auto movie = swf::loadMovieFile(file);
        if (movie && (*movie)->header.frameCount > 1 && (*movie)->header.frameRate > highest) {
            highest = (*movie)->header.frameRate;
            busiest = file;
        }
    }
    return busiest;
}

} // namespace

int main(int argc, char *argv[])
{
    controls::BrowserView::prepareProcess();
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(2, atoi(argv[1])) : 12;

    testing::InstallFolder folder;
    forms::registerForm(QStringLiteral("Form1"), []() -> forms::Form & { return *Form1; });
    mainwindow::installCommands(*Form1);
    forms::setApplicationPath(folder.path());
    forms::dispatch([] { Form2->load(); });
    if (!Form1->isLoaded() || !QTest::qWaitForWindowActive(Form1->window())) {
        std::fprintf(stderr, "the main window did not come up\n");
        return 1;
    }

    // The baseline: the least a program does to show a rewritten file again.
    QWebEngineView minimal;
    minimal.resize(Form1->WebBrowser1->size());
    minimal.show();
    const std::filesystem::path scratch = folder.root() / "minimal.html";
    auto rewriteAndLoad = [&](int k) {
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        const std::string bytes = testing::InstallFolder::recordDocument(k);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        minimal.load(QUrl::fromLocalFile(QString::fromStdString(scratch.string())));
    };
    timeToLoad(minimal, [&] { rewriteAndLoad(0); }); // the engine's first load out of the way

    const std::filesystem::path heavy = argc > 2 ? std::filesystem::path(argv[2]) : busiestCorpusMovie();
    std::vector<std::pair<controls::FlashButton *, QString>> plainMovies;
    for (const mainwindow::ButtonMovie &entry : mainwindow::movieTable()) {
        controls::FlashButton *button = Form1->ShockwaveFlash(entry.control);
        plainMovies.emplace_back(button, button->movie());
    }
    auto putMovies = [&](bool heavyMovies) {
        for (const auto &[button, movie] : plainMovies)
            button->setMovie(heavyMovies ? QString::fromStdString(heavy.string()) : movie);
    };

    Figures plain;
    Figures busy;
    for (int round = 0; round < rounds; ++round) {
        measureRound(plain, minimal, rewriteAndLoad);
        if (heavy.empty())
            continue;
        putMovies(true);
        measureRound(busy, minimal, rewriteAndLoad);
        putMovies(false);
    }

    // The record positioning alone, as the two commands do it on the open recordset.
    content::Recordset &rsxs = *Form1->rsxs;
    constexpr int kMoves = 2000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kMoves; ++i) {
        (void)rsxs.moveFirst();
        (void)rsxs.move(24);
        (void)rsxs.fields("m1");
    }
    const double rewindForward = clock.nsecsElapsed() / 1e6 / kMoves;
    qint64 nextNs = 0;
    for (int i = 0; i < kMoves; ++i) {
        (void)rsxs.moveFirst();
        (void)rsxs.move(23); // not timed: where page 31 leaves the recordset
        clock.restart();
        (void)rsxs.moveNext();
        (void)rsxs.fields("m1");
        nextNs += clock.nsecsElapsed();
    }
    const double oneForward = nextNs / 1e6 / kMoves;

    report("", plain);
    std::printf("ratio page turn / minimal reload: %.3f (target <= 1.0); processor time %.3f\n",
                median(plain.down.ms) / median(plain.minimal.ms),
                mean(plain.down.cpu) / mean(plain.minimal.cpu));
    std::printf("ratio page up from 33 / page down to 32: %.3f, of adjacent pairs %.3f (target <= 1.05)\n",
                median(plain.upFrom33) / median(plain.downTo32), median(plain.upOverDown));
    if (!busy.down.ms.empty()) {
        std::printf("\nwith %s on every button:\n", heavy.c_str());
        report("heavy movies: ", busy);
        std::printf("ratio page turn heavy / plain movies: %.3f; page up / down with them: %.3f\n",
                    median(busy.down.ms) / median(plain.down.ms), median(busy.upOverDown));
        std::printf("ratio page turn / minimal reload with them: %.3f; processor time %.3f\n",
                    median(busy.down.ms) / median(busy.minimal.ms),
                    mean(busy.down.cpu) / mean(busy.minimal.cpu));
    }
    std::printf("record positioning: rewind + forward 24 %.4f ms, one forward %.4f ms\n", rewindForward,
                oneForward);
    forms::releaseFormInstances();
    return 0;
}
