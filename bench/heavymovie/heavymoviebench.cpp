// The cost of heavy movies in the real reader: the processor time of the whole process
// tree (the reader and its web-engine processes) while the first page sits idle, and the
// time each page down takes to show its page, with the movie corpus on every button
// against the same installation with the small made-up movies, alternating in one run.
// Needs an X display (xvfb-run) and xdotool.
//
//   xvfb-run -a -s "-screen 0 1920x1200x24" build/bench/velmora-heavy-movie-bench
//       [seconds idle] [runs] [reader executable]
#include "controls/swf/movie.h"
#include "controls/swf/player.h"
#include "installfolder.h"
#include "mainwindow/mainformtables.h"
#include "processtimes.h"
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
using velmora::testing::processTreeTimes;
using velmora::testing::XDisplay;

namespace {

constexpr QPoint kInPage(500, 672);        // below every chapter button
constexpr QPoint kPageDownButton(943, 40); // ShockwaveFlash12
constexpr int kTurns = 5;
constexpr int kWaitMs = 30000;

struct Sample {
    double idleCores;            // processor time of the tree per second of idle time
    std::vector<double> turnsMs; // page down to its page on screen
};

class ReaderRun {
public:
    ReaderRun(XDisplay &display, const QString &executable) : m_display(display)
    {
        m_process.setProgram(executable);
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start();
    }
    ~ReaderRun()
    {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
    ReaderRun(const ReaderRun &) = delete;
    ReaderRun &operator=(const ReaderRun &) = delete;

    // Waits until `page` shows; the milliseconds it took, or nothing.
    std::optional<double> waitForPage(int page)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kWaitMs && m_process.state() != QProcess::NotRunning) {
            const auto windows = m_display.visibleWindowsOf(m_process.processId());
            if (windows.size() == 1) {
                m_origin = windows[0].geometry.topLeft();
                const QImage shot = m_display.screenshot();
                if (!shot.isNull() && shot.pixelColor(m_origin + kInPage) == InstallFolder::pageColor(page))
                    return clock.nsecsElapsed() / 1e6;
            }
            QThread::msleep(5);
        }
        return std::nullopt;
    }
    double idleCores(double seconds) const
    {
        const double before = processTreeTimes(m_process.processId()).total();
        QElapsedTimer wall;
        wall.start();
        QThread::msleep(static_cast<unsigned long>(seconds * 1000));
        return (processTreeTimes(m_process.processId()).total() - before) / (wall.nsecsElapsed() / 1e9);
    }
    void clickPageDown() const
    {
        const QPoint at = m_origin + kPageDownButton;
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                           QStringLiteral("click"), QStringLiteral("1")});
    }

private:
    XDisplay &m_display;
    QProcess m_process;
    QPoint m_origin;
};

std::optional<Sample> measure(XDisplay &display, const QString &executable, double seconds)
{
    ReaderRun run(display, executable);
    if (!run.waitForPage(0))
        return std::nullopt;
    QThread::msleep(1000); // the movies read and under way
    Sample sample{run.idleCores(seconds), {}};
    for (int page = 1; page <= kTurns; ++page) {
        run.clickPageDown();
        const auto ms = run.waitForPage(page);
        if (!ms)
            return std::nullopt;
        sample.turnsMs.push_back(*ms);
    }
    return sample;
}

struct CorpusMovie {
    QByteArray bytes;
    double framesPerSecond = 0; // 0 for a movie of one frame
};

// The corpus's movies, one to each button in turn: the busiest (the highest frame rate of
// the animated ones) first, on the buttons that show on every page.
bool putCorpusOnEveryButton(const InstallFolder &folder)
{
    QDir corpus(QStringLiteral(VELMORA_SHARED_DIR "/corpus/swf"));
    std::vector<CorpusMovie> movies;
    for (const QString &name : corpus.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        QFile file(corpus.filePath(name + "/test.swf"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        CorpusMovie movie{file.readAll()};
        const auto *data = reinterpret_cast<const std::uint8_t *>(movie.bytes.constData());
        const auto read = velmora::swf::loadMovie({data, static_cast<size_t>(movie.bytes.size())});
        if (!read)
            continue;
        if ((*read)->header.frameCount > 1)
            movie.framesPerSecond = (*read)->header.frameRate;
        movies.push_back(std::move(movie));
    }
    if (movies.empty())
        return false;
    std::stable_sort(movies.begin(), movies.end(), [](const CorpusMovie &a, const CorpusMovie &b) {
        return a.framesPerSecond > b.framesPerSecond;
    });
    size_t next = 0;
    for (const velmora::mainwindow::ButtonMovie &entry : velmora::mainwindow::movieTable()) {
        const CorpusMovie &movie = movies[next++ % movies.size()];
        folder.writeFile(entry.movie.mid(1).replace(u'\\', u'/').toStdString(), movie.bytes.toStdString());
    }
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, atof(argv[1])) : 10.0;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    const QString executable =
        argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral(VELMORA_EXECUTABLE);
    XDisplay display;
    if (!display.isOpen()) {
        std::fprintf(stderr, "no X display: run under xvfb-run\n");
        return 2;
    }
    InstallFolder plain;
    InstallFolder heavy;
    if (!putCorpusOnEveryButton(heavy)) {
        std::fprintf(stderr, "no movie corpus under %s\n", VELMORA_SHARED_DIR "/corpus/swf");
        return 2;
    }
    for (const InstallFolder *folder : {&plain, &heavy})
        QFile::copy(executable, folder->path() + "/velmora");

    std::vector<double> plainCores, heavyCores, plainTurns, heavyTurns;
    for (int i = 0; i < runs; ++i) {
        const auto p = measure(display, plain.path() + "/velmora", seconds);
        const auto h = measure(display, heavy.path() + "/velmora", seconds);
        if (!p || !h) {
            std::fprintf(stderr, "run %d: a page did not show (%s)\n", i,
                         !p ? "plain movies" : "corpus movies");
            return 1;
        }
        plainCores.push_back(p->idleCores);
        heavyCores.push_back(h->idleCores);
        plainTurns.insert(plainTurns.end(), p->turnsMs.begin(), p->turnsMs.end());
        heavyTurns.insert(heavyTurns.end(), h->turnsMs.begin(), h->turnsMs.end());
    }
    std::printf("%d runs each, alternating, %.0f s idle on the first page and %d page downs a run; medians\n",
                runs, seconds, kTurns);
    std::printf("%-36s corpus %7.1f %%   made-up %7.1f %%   ratio %.2f\n",
                "idle, whole process tree (of a core)", 100 * median(heavyCores), 100 * median(plainCores),
                median(heavyCores) / median(plainCores));
    std::printf("%-36s corpus %7.1f ms  made-up %7.1f ms  ratio %.2f\n", "page down to its page on screen",
                median(heavyTurns), median(plainTurns), median(heavyTurns) / median(plainTurns));
    std::printf("%-36s corpus %7.1f ms  made-up %7.1f ms\n", "slowest page down",
                *std::max_element(heavyTurns.begin(), heavyTurns.end()),
                *std::max_element(plainTurns.begin(), plainTurns.end()));
    return 0;
}
