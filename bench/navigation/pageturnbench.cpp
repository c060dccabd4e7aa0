// What a page turn costs in the real main window, from the click on the button to the
// browser view's loadFinished, against a minimal web view that rewrites one file and
// loads it again, interleaved in one run; and page up from page 33 (a rewind and a
// forward move of 24 records) against page down onto the same page 32.
// Needs a display (xvfb-run).
//
//   xvfb-run -a build/bench/velmora-navigation-bench [rounds]
#include "content/recordset.h"
#include "controls/browserview.h"
#include "controls/flashbutton.h"
#include "installfolder.h"
#include "mainwindow/commands.h"
#include "mainwindow/mainform.h"
#include "mainwindow/mainformtables.h"
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
#include <fstream>
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

// Milliseconds from `start` until `view` reports a finished load.
template <typename Start> double timeToLoad(QWebEngineView &view, Start start)
{
    QSignalSpy finished(&view, &QWebEngineView::loadFinished);
    QElapsedTimer clock;
    clock.start();
    start();
    if (!finished.wait(kLoadTimeoutMs))
        std::fprintf(stderr, "a page did not finish loading\n");
    return clock.nsecsElapsed() / 1e6;
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

void print(const char *what, const std::vector<double> &ms)
{
    std::printf("%-46s median %7.2f ms  min %7.2f ms  (%zu)\n", what, median(ms),
                *std::min_element(ms.begin(), ms.end()), ms.size());
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

    std::vector<double> readerDown;
    std::vector<double> minimalLoad;
    // The page turn taken apart: the reader's view alone, without click or command; and
    // the same after one synchronous repaint of the whole window, which is what the click's
    // change of focus costs the GUI thread (the page's request is answered there too).
    std::vector<double> viewReload;
    std::vector<double> paintedReload;
    std::vector<double> upFrom33;
    std::vector<double> downTo32;
    for (int round = 0; round < rounds; ++round) {
        // Pages 8 to 31 by page down, each against the baseline.
        turn(kContentsButton);
        turn(26); // page 8
        for (int page = 9; page <= 31; ++page) {
            readerDown.push_back(timeToLoad(*Form1->WebBrowser1, [] { click(kPageDownButton); }));
            minimalLoad.push_back(timeToLoad(minimal, [&] { rewriteAndLoad(page - 8); }));
            viewReload.push_back(
                timeToLoad(*Form1->WebBrowser1, [] { Form1->WebBrowser1->Navigate(Form1->pagepath); }));
            paintedReload.push_back(timeToLoad(*Form1->WebBrowser1, [] {
                Form1->WebBrowser1->Navigate(Form1->pagepath);
                Form1->window()->repaint();
            }));
        }
        // Page 32 reached both ways, in turn: from 31 by page down, from 33 by page up.
        for (int cycle = 0; cycle < 4; ++cycle) {
            downTo32.push_back(timeToLoad(*Form1->WebBrowser1, [] { click(kPageDownButton); }));
            turn(kPageDownButton); // page 33
            upFrom33.push_back(timeToLoad(*Form1->WebBrowser1, [] { click(kPageUpButton); }));
            turn(kPageUpButton); // page 31
        }
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

    print("reader: page down onto a record page", readerDown);
    print("minimal view: rewrite the file and load it", minimalLoad);
    print("reader's view: load the page file again", viewReload);
    print("reader's view: load again, repaint the window", paintedReload);
    print("reader: page down from 31 to 32", downTo32);
    print("reader: page up from 33 to 32", upFrom33);
    std::printf("ratio page turn / minimal reload: %.3f (target <= 1.1)\n",
                median(readerDown) / median(minimalLoad));
    std::printf("ratio page up from 33 / page down to 32: %.3f (target <= 1.0)\n",
                median(upFrom33) / median(downTo32));
    std::printf("record positioning: rewind + forward 24 %.4f ms, one forward %.4f ms\n", rewindForward,
                oneForward);
    forms::releaseFormInstances();
    return 0;
}
