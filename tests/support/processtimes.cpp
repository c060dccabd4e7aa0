#include "processtimes.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>

#include <algorithm>
#include <map>
#include <unistd.h>

namespace velmora::testing {
namespace {

struct StatLine {
    QByteArray name;
    qint64 parent = 0;
    double seconds = 0;
};

// "pid (name) state ppid ... utime stime" of a process or a thread; the name may hold
// blanks and brackets, so the fields are counted from its last ')'.
bool readStat(const QString &path, StatLine &out)
{
    QFile stat(path);
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype open = line.indexOf('(');
    const qsizetype close = line.lastIndexOf(')');
    if (open < 0 || close < open)
        return false;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    if (fields.size() < 13)
        return false;
    static const double kTicksPerSecond = static_cast<double>(::sysconf(_SC_CLK_TCK));
    out.name = line.mid(open + 1, close - open - 1);
    out.parent = fields[1].toLongLong();
    out.seconds = (fields[11].toDouble() + fields[12].toDouble()) / kTicksPerSecond;
    return true;
}

bool composesWindow(const QByteArray &thread)
{
    return thread.startsWith("llvmpipe") || thread.startsWith("QSGRenderThread") ||
           thread.startsWith("VizCompositor") || thread.startsWith("Chrome_InProcGp");
}

} // namespace

ProcessTreeTimes ProcessTreeTimes::operator-(const ProcessTreeTimes &before) const
{
    return {guiThread - before.guiThread, compositor - before.compositor, otherThreads - before.otherThreads,
            children - before.children};
}

ProcessTreeTimes processTreeTimes(qint64 root)
{
    std::map<qint64, StatLine> processes;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        StatLine stat;
        if (number && readStat(QStringLiteral("/proc/%1/stat").arg(pid), stat))
            processes[pid] = stat;
    }
    const auto below = [&](qint64 pid) {
        for (qint64 p = processes.count(pid) ? processes[pid].parent : 0; p > 1;
             p = processes.count(p) ? processes[p].parent : 0) {
            if (p == root)
                return true;
        }
        return false;
    };
    ProcessTreeTimes times;
    for (const auto &[pid, stat] : processes) {
        if (pid != root && below(pid))
            times.children += stat.seconds;
    }
    // The process's own line counts the threads that have ended too: what the named
    // threads do not take is the other threads'.
    const double rootSeconds = processes.count(root) ? processes[root].seconds : 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(root);
    for (const QString &entry : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        StatLine thread;
        if (!readStat(tasks + '/' + entry + QStringLiteral("/stat"), thread))
            continue;
        if (entry.toLongLong() == root)
            times.guiThread += thread.seconds;
        else if (composesWindow(thread.name))
            times.compositor += thread.seconds;
    }
    times.otherThreads = std::max(0.0, rootSeconds - times.guiThread - times.compositor);
    return times;
}

} // namespace velmora::testing
