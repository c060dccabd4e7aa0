#include "controls/stuckpagewatch.h"

#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <utility>

namespace velmora::controls {

StuckPageWatch::StuckPageWatch(QWebEnginePage &page, QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!m_stuck)
            return;
        if (m_waitingForAnswer)
            std::exchange(m_stuck, {})();
        else if (m_questionsLeft > 0)
            ask();
        else
            m_stuck = {};
    });
    setPage(page);
}

void StuckPageWatch::setPage(QWebEnginePage &page)
{
    disconnect(m_loadFinished);
    m_timer.stop();
    m_stuck = {};
    ++m_question; // an answer from the page before counts no more
    m_waitingForAnswer = false;
    m_page = &page;
    // A finished load needed a process that runs: nothing is stuck.
    m_loadFinished = connect(&page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok) {
            m_timer.stop();
            m_stuck = {};
        }
    });
}

void StuckPageWatch::watch(std::function<void()> stuck)
{
    m_stuck = std::move(stuck);
    m_questionsLeft = kMaxQuestions;
    ++m_question; // an answer still on its way belongs to the watch before
    m_waitingForAnswer = false;
    m_timer.start(kGrace);
}

void StuckPageWatch::ask()
{
    --m_questionsLeft;
    m_waitingForAnswer = true;
    const quint64 question = ++m_question;
    // In a world of its own, out of reach of the page's scripts.
    m_page->runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
                          [self = QPointer<StuckPageWatch>(this), question](const QVariant &) {
                              if (self && self->m_question == question)
                                  self->m_waitingForAnswer = false;
                          });
    m_timer.start(kPatience);
}

} // namespace velmora::controls
