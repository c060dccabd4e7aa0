// One timer for every playing movie of the process: the buttons of a window wake up
// together, once per frame, and what they changed is painted in one repaint per window.
// The movies may take only a share of the GUI thread: when a frame's ticks and repaint
// take longer than that share allows, the next tick comes later and the movies drop
// frames, so that commands, page loads and the page's own repaints keep their time.
// While a page loads, the movies wait altogether: each step of a load needs the GUI
// thread, and a tick in progress would hold it up.
// Their filters share one budget per tick as well: a page of many heavy buttons draws
// them coarser and catches up over the next ticks instead of taking the page's time.
#pragma once

#include "controls/swf/filterbudget.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

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
        // True for a client that paints: it is not ticked while a page loads.
        virtual bool yieldsToPageLoads() const { return false; }
    };

    // Of the GUI thread's time, the movies' ticks and repaints take at most one part in this.
    static constexpr int kTimeShareDivisor = 4;

    static FrameClock &instance();

    // A client is ticked every `interval`, or less often while painting is slow;
    // re-subscribing changes the interval.
    void subscribe(Client *client, std::chrono::milliseconds interval);
    void unsubscribe(Client *client);
    bool isSubscribed(const Client *client) const;
    int clientCount() const { return static_cast<int>(m_clients.size()); }
    // The shortest interval asked for.
    std::chrono::milliseconds interval() const { return m_shortest; }

    // Repaints `widget` right after the clients of the current tick have run, together with
    // every other widget asked for then: one synchronous repaint of each window. Asked
    // between ticks, the repaint waits for the next one (which comes at once when idle).
    void repaintAfterTick(QWidget *widget);
    // A page starts loading: the clients that yield, and the repaints, wait until
    // pageLoaded() or for `most` at the longest.
    void pageLoading(std::chrono::milliseconds most);
    void pageLoaded() { m_heldUntil = {}; }
    // How long the last tick took, its repaints included.
    std::chrono::nanoseconds lastTickCost() const { return m_lastCost; }
    // What every movie's filters draw from, refilled at each tick; a repaint between
    // ticks takes what the last one left.
    swf::FilterBudget &filterBudget() { return m_filterBudget; }

private:
    explicit FrameClock(QObject *parent = nullptr);
    void restart();
    void fire();
    void repaintPending();

    struct Entry {
        Client *client;
        std::chrono::milliseconds interval;
    };
    std::vector<Entry> m_clients;
    std::vector<QPointer<QWidget>> m_pendingRepaints;
    std::chrono::milliseconds m_shortest{0};
    std::chrono::nanoseconds m_lastCost{0};
    TimePoint m_heldUntil{};
    swf::FilterBudget m_filterBudget;
    QTimer m_timer;
};

} // namespace velmora::controls
