// A page whose script never returns holds its renderer process, and with it every
// navigation to an address of the same site, which that process would be asked to show.
// The watch asks the page on show for an answer once such a navigation has gone on for
// kGrace without finishing (a page turn that finishes in time costs the page nothing),
// and again each time an answer came but the navigation has not finished (a script may
// start its endless loop after answering, from a timer); when an answer does not come in
// time, it tells the view, which then makes the navigation again in a page of its own: a
// new process shows it.
#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

class QWebEnginePage;

namespace velmora::controls {

class StuckPageWatch : public QObject {
    Q_OBJECT
public:
    // A book page loads in a few tens of milliseconds, on a loaded machine in a few
    // hundred; only a navigation that takes longer has the page on show asked.
    static constexpr std::chrono::milliseconds kGrace{200};
    // A page that runs its scripts answers within a few milliseconds.
    static constexpr std::chrono::milliseconds kPatience{400};

    explicit StuckPageWatch(QWebEnginePage &page, QObject *parent = nullptr);

    // How long a navigation is watched at most: a page still answering by then runs.
    static constexpr int kMaxQuestions = 75;

    // Watches the navigation just asked for: `stuck` runs once if, after kGrace, the page
    // on show leaves a question unanswered for kPatience before a load finishes. A later
    // watch replaces it.
    void watch(std::function<void()> stuck);

    // Watches `page` from now on, in place of the one before, which may go; a watch under
    // way ends.
    void setPage(QWebEnginePage &page);

private:
    void ask();

    QWebEnginePage *m_page = nullptr;
    QMetaObject::Connection m_loadFinished;
    QTimer m_timer;
    std::function<void()> m_stuck;
    quint64 m_question = 0;
    bool m_waitingForAnswer = false;
    int m_questionsLeft = 0;
};

} // namespace velmora::controls
