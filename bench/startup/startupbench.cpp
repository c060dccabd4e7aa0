// Time from process start to the first page on screen, and the main process's peak
// memory at that moment, for the reader and for a minimal web-engine program showing
// the same page, alternating in one run. Needs an X display (xvfb-run).
//
//   xvfb-run -a -s "-screen 0 1920x1200x24" build/bench/velmora-startup-bench [runs]
#include "installfolder.h"
#include "xdisplay.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using velmora::testing::InstallFolder;
using velmora::testing::XDisplay;

namespace {

// The page of the benchmark: one colour, found on screen by one pixel.
const QColor kPageColor(0x12, 0xab, 0x34);

struct Sample {
    double milliseconds;
    double peakMegabytes;
};

double peakMegabytes(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// Starts `program`, waits for its window and for `offset` inside it to show the page.
std::optional<Sample> measure(XDisplay &display, const QString &program, const QStringList &arguments,
                              QPoint offset)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start();
    if (!process.waitForStarted())
        return std::nullopt;
    std::optional<Sample> sample;
    while (clock.elapsed() < 60000 && process.state() == QProcess::Running) {
        const auto windows = display.visibleWindowsOf(process.processId());
        if (!windows.empty()) {
            const QPoint where = windows.front().geometry.topLeft() + offset;
            const QImage shot = display.screenshot();
            if (!shot.isNull() && shot.rect().contains(where) && shot.pixelColor(where) == kPageColor) {
                sample = Sample{clock.nsecsElapsed() / 1e6, peakMegabytes(process.processId())};
                break;
            }
        }
        QThread::msleep(5);
    }
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(10000);
    }
    return sample;
}

struct Summary {
    double median, low, high;
};

Summary summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    XDisplay display;
    if (!display.isOpen()) {
        std::fprintf(stderr, "no X display: run under xvfb-run\n");
        return 2;
    }
    // A complete installation with the reader in it; its first page is the benchmark's.
    InstallFolder folder;
    const std::string page = "<html><head><meta charset=\"utf-8\"><title>bench</title></head>"
                             "<body style=\"margin:0;background:#12ab34\"></body></html>";
    folder.writeFile("res/1p.html", page);
    QFile::copy(QStringLiteral(VELMORA_EXECUTABLE), folder.path() + "/velmora");
    const QString reader = folder.path() + "/velmora";
    const QString firstPage = folder.path() + "/res/1p.html";

    std::vector<double> readerMs, minimalMs, readerMb, minimalMb;
    // One warm-up of each fills the file cache; then the two alternate.
    for (int i = -1; i < runs; ++i) {
        const auto r = measure(display, reader, {}, QPoint(500, 72 + 300));
        const auto m =
            measure(display, QStringLiteral(VELMORA_MINIMAL_EXECUTABLE), {firstPage}, QPoint(500, 300));
        if (!r || !m) {
            std::fprintf(stderr, "run %d: the page did not show (%s)\n", i, !r ? "reader" : "minimal");
            return 1;
        }
        if (i < 0)
            continue;
        readerMs.push_back(r->milliseconds);
        minimalMs.push_back(m->milliseconds);
        readerMb.push_back(r->peakMegabytes);
        minimalMb.push_back(m->peakMegabytes);
    }
    const auto print = [](const char *what, const char *unit, const Summary &reader, const Summary &minimal) {
        std::printf("%-28s reader %8.1f %s (%.1f-%.1f)   minimal %8.1f %s (%.1f-%.1f)   ratio %.3f\n", what,
                    reader.median, unit, reader.low, reader.high, minimal.median, unit, minimal.low,
                    minimal.high, reader.median / minimal.median);
    };
    std::printf("%d runs each, alternating, medians (min-max)\n", runs);
    print("start to first page shown", "ms", summarise(readerMs), summarise(minimalMs));
    print("main process peak memory", "MB", summarise(readerMb), summarise(minimalMb));
    return 0;
}
