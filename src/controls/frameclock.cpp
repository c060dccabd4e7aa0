#include "controls/frameclock.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>
#include <utility>

namespace velmora::controls {

FrameClock &FrameClock::instance()
{
    static FrameClock *clock = new FrameClock(); // lives as long as the process
    return *clock;
}

FrameClock::FrameClock(QObject *parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &FrameClock::fire);
}

void FrameClock::subscribe(Client *client, std::chrono::milliseconds interval)
{
    auto it =
        std::find_if(m_clients.begin(), m_clients.end(), [&](const Entry &e) { return e.client == client; });
    if (it != m_clients.end())
        it->interval = interval;
    else
        m_clients.push_back({client, interval});
    restart();
}

void FrameClock::unsubscribe(Client *client)
{
    std::erase_if(m_clients, [&](const Entry &e) { return e.client == client; });
    restart();
}

bool FrameClock::isSubscribed(const Client *client) const
{
    return std::any_of(m_clients.begin(), m_clients.end(),
                       [&](const Entry &e) { return e.client == client; });
}

void FrameClock::repaintAfterTick(QWidget *widget)
{
    if (std::find(m_pendingRepaints.begin(), m_pendingRepaints.end(), widget) == m_pendingRepaints.end())
        m_pendingRepaints.emplace_back(widget);
    if (!m_timer.isActive())
        m_timer.start(0);
}

void FrameClock::pageLoading(std::chrono::milliseconds most)
{
    m_heldUntil = std::max(m_heldUntil, std::chrono::steady_clock::now() + most);
}

void FrameClock::restart()
{
    if (m_clients.empty()) {
        m_shortest = std::chrono::milliseconds(0);
        if (m_pendingRepaints.empty())
            m_timer.stop();
        return;
    }
    const auto shortest =
        std::min_element(m_clients.begin(), m_clients.end(), [](const Entry &a, const Entry &b) {
            return a.interval < b.interval;
        })->interval;
    if (!m_timer.isActive() || shortest < m_shortest)
        m_timer.start(shortest);
    m_shortest = shortest;
}

void FrameClock::fire()
{
    const TimePoint now = std::chrono::steady_clock::now();
    const bool held = now < m_heldUntil;
    m_filterBudget.refill();
    // A client may unsubscribe itself (or another) while ticked: walk a copy.
    const std::vector<Entry> clients = m_clients;
    for (const Entry &e : clients) {
        if (isSubscribed(e.client) && !(held && e.client->yieldsToPageLoads()))
            e.client->tick(now);
    }
    if (!held)
        repaintPending();
    m_lastCost = std::chrono::steady_clock::now() - now;
    if (m_clients.empty() && m_pendingRepaints.empty())
        return;
    if (m_clients.empty() && held) { // the repaints come when the hold ends
        m_timer.start(std::chrono::ceil<std::chrono::milliseconds>(m_heldUntil - now));
        return;
    }
    // The next tick leaves the rest of the GUI thread its share, whatever the movies ask;
    // so do repaints asked for while painting (pictures drawn coarse for want of budget).
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(m_lastCost);
    const auto wait = std::max(m_shortest - spent, spent * (kTimeShareDivisor - 1));
    m_timer.start(wait);
}

void FrameClock::repaintPending()
{
    const std::vector<QPointer<QWidget>> pending = std::exchange(m_pendingRepaints, {});
    for (const QPointer<QWidget> &widget : pending) {
        if (widget)
            widget->update();
    }
    // Qt has gathered them into one repaint per window: paint it now, so that its cost
    // counts against the movies' share.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

} // namespace velmora::controls
