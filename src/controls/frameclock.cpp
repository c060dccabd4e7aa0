#include "controls/frameclock.h"

#include <algorithm>

namespace velmora::controls {

FrameClock &FrameClock::instance()
{
    static FrameClock *clock = new FrameClock(); // lives as long as the process
    return *clock;
}

FrameClock::FrameClock(QObject *parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
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

void FrameClock::restart()
{
    if (m_clients.empty()) {
        m_timer.stop();
        return;
    }
    const auto shortest =
        std::min_element(m_clients.begin(), m_clients.end(), [](const Entry &a, const Entry &b) {
            return a.interval < b.interval;
        })->interval;
    if (!m_timer.isActive() || m_timer.intervalAsDuration() != shortest)
        m_timer.start(shortest);
}

void FrameClock::fire()
{
    const TimePoint now = std::chrono::steady_clock::now();
    // A client may unsubscribe itself (or another) while ticked: walk a copy.
    const std::vector<Entry> clients = m_clients;
    for (const Entry &e : clients) {
        if (isSubscribed(e.client))
            e.client->tick(now);
    }
}

} // namespace velmora::controls
