// One timer for every playing movie of the process: the buttons of a window wake up
// together, once per frame, instead of each on its own timer.
#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <vector>

namespace velmora::controls {

class FrameClock : public QObject {
    Q_OBJECT
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    class Client {
    public:
        virtual ~Client() = default;
        virtual void tick(TimePoint now) = 0;
    };

    static FrameClock &instance();

    // A client is ticked every `interval` or more often; re-subscribing changes the interval.
    void subscribe(Client *client, std::chrono::milliseconds interval);
    void unsubscribe(Client *client);
    bool isSubscribed(const Client *client) const;
    int clientCount() const { return static_cast<int>(m_clients.size()); }
    std::chrono::milliseconds interval() const { return std::chrono::milliseconds(m_timer.interval()); }

private:
    explicit FrameClock(QObject *parent = nullptr);
    void restart();
    void fire();

    struct Entry {
        Client *client;
        std::chrono::milliseconds interval;
    };
    std::vector<Entry> m_clients;
    QTimer m_timer;
};

} // namespace velmora::controls
