#include "startup/runtime.h"

#include "startup/form.h"
#include "startup/formreference.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMessageBox>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <unistd.h>
#include <vector>

namespace velmora::forms {
namespace {

struct RuntimeState {
    QString applicationPath;
    std::function<void(const MessageBoxRequest &)> messageBoxHook;
    std::function<void(int)> processEnder;
    QHash<QString, std::function<Form &()>> forms;
    std::vector<void (*)()> instanceReleases;
    int loadedForms = 0;
    int dispatchDepth = 0;
    // Set once the process has begun to end (an error report, or endProcess).
    bool ending = false;
};

RuntimeState &state()
{
    static RuntimeState s;
    return s;
}

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

void endRunIfNoFormIsLoaded()
{
    if (state().dispatchDepth == 0 && state().loadedForms == 0)
        QCoreApplication::exit(0); // does nothing while no event loop runs
}

} // namespace

QString applicationPath()
{
    if (state().applicationPath.isEmpty()) {
        // The kernel's link to the running executable: links by which it was started are resolved.
        const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        const QString dir =
            exe.isEmpty() ? QCoreApplication::applicationDirPath() : QFileInfo(exe).absolutePath();
        state().applicationPath = QDir::cleanPath(dir);
    }
    return state().applicationPath;
}

void setApplicationPath(const QString &path)
{
    state().applicationPath = QDir::cleanPath(path);
}

void messageBox(const QString &text, const QString &caption, MessageIcon icon)
{
    if (state().messageBoxHook) {
        state().messageBoxHook({text, caption, icon});
        return;
    }
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok);
    box.exec();
}

void endProcess(int status)
{
    state().ending = true;
    if (state().processEnder) {
        state().processEnder(status);
        std::abort(); // an ender that returns breaks the promise above
    }
    std::fflush(nullptr);
    ::_exit(status);
}

void reportUnhandledError(const Error &error)
{
    // One report, then the end. The box runs an event loop of its own, in which handlers
    // posted before it could run and fail again: they no longer run (see dispatch), and an
    // error met while the box shows ends the process without a second box.
    if (!state().ending) {
        state().ending = true;
        const QString text = QStringLiteral("Error %1:\n\n%2")
                                 .arg(error.number)
                                 .arg(QString::fromStdString(error.description));
        messageBox(text, QString::fromLatin1(kProgramTitle), MessageIcon::Critical);
    }
    endProcess(kFailureStatus);
}

void dispatch(const std::function<void()> &handler)
{
    // Commands posted before the process began to end do not run.
    if (state().ending)
        return;
    ++state().dispatchDepth;
    struct Leave {
        ~Leave()
        {
            // Left while ending only when a test's ender threw its way out of the run:
            // the next run starts afresh.
            if (--state().dispatchDepth == 0)
                state().ending = false;
            endRunIfNoFormIsLoaded();
        }
    } leave;
    try {
        handler();
    } catch (const Failure &failure) {
        reportUnhandledError(failure.error());
    } catch (const std::exception &e) {
        reportUnhandledError(Error(kInternalErrorNumber, e.what()));
    } catch (...) {
        if (state().ending)
            throw; // the end of the process on its way out (a test's ender), no error of the handler
        reportUnhandledError(Error(kInternalErrorNumber, kInternalErrorDescription));
    }
}

void registerForm(const QString &name, std::function<Form &()> instance)
{
    state().forms[name.toLower()] = std::move(instance);
}

Form &form(const QString &name)
{
    const auto it = state().forms.constFind(name.toLower());
    if (it == state().forms.constEnd())
        throw Failure(Error(424, "Object required: form '" + name.toStdString() + "'"));
    return it.value()();
}

int loadedFormCount()
{
    return state().loadedForms;
}

int run(Form &startup)
{
    QApplication::setQuitOnLastWindowClosed(false); // the loaded forms decide, not the windows
    dispatch([&] { startup.load(); });
    int status = 0;
    if (loadedFormCount() > 0)
        status = QApplication::exec();
    // Windows of unloaded forms are deleted later; let that happen while Qt still runs.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    releaseFormInstances();
    return status;
}

void setMessageBoxHook(std::function<void(const MessageBoxRequest &)> hook)
{
    state().messageBoxHook = std::move(hook);
}

void setProcessEnder(std::function<void(int)> ender)
{
    state().processEnder = std::move(ender);
}

void releaseFormInstances()
{
    const auto releases = state().instanceReleases;
    for (auto release : releases)
        release();
}

namespace internal {

void registerInstanceRelease(void (*release)())
{
    auto &releases = state().instanceReleases;
    if (std::find(releases.begin(), releases.end(), release) == releases.end())
        releases.push_back(release);
}

void formLoaded(Form &)
{
    ++state().loadedForms;
}

void formUnloaded(Form &)
{
    --state().loadedForms;
}

} // namespace internal
} // namespace velmora::forms
