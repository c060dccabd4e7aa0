// What the reader costs while nobody touches it, as the desktop pays it: the processor
// time of the whole process tree (every thread of the reader and its web-engine
// processes) while the first page, and then the contents page with all 40 buttons,
// sit on screen, against a bare web view showing the same page, alternating in one run.
// Each reader given runs in a copy of the sample book of its own; the composition path
// follows VELMORA_COMPOSITION as the reader does. Needs an X display and xdotool.
//
//   xvfb-run -a -s "-screen 0 1920x1200x24" build/bench/velmora-idle-bench
//       [seconds measured] [runs] [reader executable ...]
#include "processtimes.h"
#include "xdisplay.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

using velmora::testing::processTreeTimes;
using velmora::testing::ProcessTreeTimes;
using velmora::testing::XDisplay;

namespace {

constexpr QPoint kContentsButton(66, 40); // ShockwaveFlash10, in the window
constexpr int kSettleMs = 5000;           // the page loaded, the movies read and under way
constexpr int kWaitMs = 30000;

// A copy of the sample book with `executable` in it as its reader.
class BookCopy {
public:
    BookCopy(const QString &book, const QString &executable)
    {
        QDirIterator files(book, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString from = files.next();
            const QString relative = QDir(book).relativeFilePath(from);
            if (relative == QStringLiteral("velmora"))
                continue;
            QDir(m_dir.path()).mkpath(QFileInfo(relative).path());
            QFile::copy(from, m_dir.filePath(relative));
        }
        QFile::copy(executable, reader());
    }
    QString reader() const { return m_dir.filePath(QStringLiteral("velmora")); }
    QString page(const char *relative) const { return m_dir.filePath(QString::fromLatin1(relative)); }

private:
    QTemporaryDir m_dir;
};

// One program on screen: started, found by its window, ended with the object.
class Shown {
public:
    Shown(XDisplay &display, const QString &program, const QStringList &arguments)
    {
        m_process.setProgram(program);
        m_process.setArguments(arguments);
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start();
        if (!m_process.waitForStarted())
            return;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kWaitMs && m_process.state() != QProcess::NotRunning) {
            const auto windows = display.visibleWindowsOf(m_process.processId());
            if (!windows.empty()) {
                m_origin = windows.front().geometry.topLeft();
                m_shown = true;
                QThread::msleep(kSettleMs);
                return;
            }
            QThread::msleep(20);
        }
    }
    ~Shown()
    {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
    Shown(const Shown &) = delete;
    Shown &operator=(const Shown &) = delete;

    bool isShown() const { return m_shown && m_process.state() == QProcess::Running; }
    // Processor time of the tree per second of wall time over `seconds`.
    ProcessTreeTimes idle(double seconds) const
    {
        const ProcessTreeTimes before = processTreeTimes(m_process.processId());
        QElapsedTimer wall;
        wall.start();
        QThread::msleep(static_cast<unsigned long>(seconds * 1000));
        const ProcessTreeTimes used = processTreeTimes(m_process.processId()) - before;
        const double elapsed = wall.nsecsElapsed() / 1e9;
        return {used.guiThread / elapsed, used.compositor / elapsed, used.otherThreads / elapsed,
                used.children / elapsed};
    }
    void click(QPoint inWindow) const
    {
        const QPoint at = m_origin + inWindow;
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                           QStringLiteral("click"), QStringLiteral("1"), QStringLiteral("mousemove"),
                           QStringLiteral("0"), QStringLiteral("0")});
        QThread::msleep(kSettleMs);
    }

private:
    QProcess m_process;
    QPoint m_origin;
    bool m_shown = false;
};

struct PageSamples {
    std::vector<ProcessTreeTimes> firstPage, contents;
};

// The reader on its first page, then on the contents page.
bool measureReader(XDisplay &display, const BookCopy &book, double seconds, PageSamples &into)
{
    Shown reader(display, book.reader(), {});
    if (!reader.isShown())
        return false;
    into.firstPage.push_back(reader.idle(seconds));
    reader.click(kContentsButton);
    into.contents.push_back(reader.idle(seconds));
    return reader.isShown();
}

bool measureBareView(XDisplay &display, const BookCopy &book, double seconds, PageSamples &into)
{
    for (auto [page, samples] :
         {std::pair{"res/1p.html", &into.firstPage}, {"res/3p.html", &into.contents}}) {
        Shown view(display, QStringLiteral(VELMORA_MINIMAL_EXECUTABLE), {book.page(page)});
        if (!view.isShown())
            return false;
        samples->push_back(view.idle(seconds));
    }
    return true;
}

// The sample whose total is the median, with its split.
ProcessTreeTimes median(std::vector<ProcessTreeTimes> samples)
{
    std::sort(samples.begin(), samples.end(),
              [](const ProcessTreeTimes &a, const ProcessTreeTimes &b) { return a.total() < b.total(); });
    return samples[samples.size() / 2];
}

void print(const char *what, const ProcessTreeTimes &t, const ProcessTreeTimes &bare)
{
    std::printf("  %-16s %6.2f %%  (%+6.2f points on the bare view)   GUI thread %5.2f  compositor %5.2f  "
                "other threads %5.2f  web-engine processes %5.2f\n",
                what, 100 * t.total(), 100 * (t.total() - bare.total()), 100 * t.guiThread,
                100 * t.compositor, 100 * t.otherThreads, 100 * t.children);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, atof(argv[1])) : 10.0;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    QStringList readers;
    for (int i = 3; i < argc; ++i)
        readers << QString::fromLocal8Bit(argv[i]);
    if (readers.isEmpty())
        readers << QStringLiteral(VELMORA_EXECUTABLE);
    XDisplay display;
    if (!display.isOpen()) {
        std::fprintf(stderr, "no X display: run under xvfb-run\n");
        return 2;
    }
    const QString book = QFileInfo(QStringLiteral(VELMORA_EXECUTABLE)).path();
    std::vector<std::unique_ptr<BookCopy>> copies;
    for (const QString &reader : readers)
        copies.push_back(std::make_unique<BookCopy>(book, reader));

    PageSamples bare;
    std::vector<PageSamples> measured(readers.size());
    for (int run = 0; run < runs; ++run) {
        bool shown = measureBareView(display, *copies.front(), seconds, bare);
        for (size_t i = 0; i < copies.size(); ++i)
            shown = shown && measureReader(display, *copies[i], seconds, measured[i]);
        if (!shown) {
            std::fprintf(stderr, "run %d: a window did not show\n", run);
            return 1;
        }
    }
    std::printf("%d runs each, alternating, %.0f s measured after %d s settling; medians, %% of one core\n",
                runs, seconds, kSettleMs / 1000);
    const ProcessTreeTimes bareFirst = median(bare.firstPage);
    const ProcessTreeTimes bareContents = median(bare.contents);
    std::printf("bare web view\n");
    print("first page", bareFirst, bareFirst);
    print("contents page", bareContents, bareContents);
    for (size_t i = 0; i < copies.size(); ++i) {
        std::printf("%s\n", qPrintable(readers[i]));
        print("first page", median(measured[i].firstPage), bareFirst);
        print("contents page", median(measured[i].contents), bareContents);
    }
    return 0;
}
