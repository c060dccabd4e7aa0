// A playing instance of a movie: display list, playheads, button states and frame
// timing, plus the painting of the current frame into a rectangle.
#pragma once

#include "common/result.h"
#include "controls/swf/quality.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>

class QPainter;

namespace velmora::swf {

class Movie;
class DisplayList;
class FilterBudget;
class MovieSound;
struct Instance;
namespace avm1 {
class ScriptStage;
}

// What a movie's scripts may reach outside the player. Without a handler the
// request is dropped.
struct ScriptHost {
    // trace() output, one call per line of text.
    std::function<void(const std::string &)> trace;
    // An http, https or mailto address a script opens from a button press or
    // release, at most once per user action; the desktop's handler opens it.
    std::function<void(const std::string &)> openUrl;
};

// A key as scripts see it: Flash's key code and the character it typed.
struct KeyInput {
    int code = 0;
    int character = 0;
};

// Parses a whole movie file held in memory. A file that ends early still gives the
// frames read so far; a file that is not a movie at all gives an error.
Result<std::shared_ptr<const Movie>> loadMovie(std::span<const std::uint8_t> bytes);
Result<std::shared_ptr<const Movie>> loadMovieFile(const std::filesystem::path &path);

class Player {
public:
    // Runs the first frame, so the movie can be painted at once: after N-1 calls of
    // stepFrame() the player shows what the movie shows after N frames.
    explicit Player(std::shared_ptr<const Movie> movie, ScriptHost host = {});
    ~Player();
    Player(const Player &) = delete;
    Player &operator=(const Player &) = delete;

    QSizeF stageSize() const; // pixels
    QColor backgroundColor() const;
    double frameRate() const;
    // False when nothing changes with time, so the host needs no timer (button
    // states still change with the mouse; repaint after the mouse calls).
    bool isAnimated() const;
    // Feeds time from a monotonic clock; runs the frames due, at most a few per call
    // (the backlog beyond that is dropped), and then the frames a root timeline fell
    // behind its stream sound, which the host does not draw. Returns the number of
    // frames run.
    int advance(std::chrono::nanoseconds elapsed);
    // Runs exactly one frame of the root timeline.
    void stepFrame();
    // Root frames run so far.
    int framesRun() const { return m_framesRun; }

    // Paints the stage fitted "ShowAll" into target: uniform scale, centred, the
    // margins and the stage filled with the background colour. Drawing is clipped to
    // target, not to the stage: what lies outside the stage shows in the margins.
    // Filters draw from a frame's budget of their own, or from `filterBudget` shared with
    // other movies; false when some were drawn coarser than their own budget would have
    // allowed because the shared one had been spent (paint again once it is refilled).
    void render(QPainter &painter, const QRectF &target, Quality quality) const;
    bool render(QPainter &painter, const QRectF &target, Quality quality, FilterBudget &filterBudget) const;

    // Mouse in target coordinates (the same rectangle as for render).
    void mouseMove(QPointF pos, const QRectF &target);
    // A press or release may carry its own position (the pointer moves there first,
    // without a move event).
    void mousePress();
    void mouseRelease();
    void mousePress(QPointF pos, const QRectF &target);
    void mouseRelease(QPointF pos, const QRectF &target);
    void mouseLeave();
    void keyDown(KeyInput key);
    void keyUp(KeyInput key);
    // A script asked the standalone player to close (fscommand "quit").
    bool quitRequested() const { return m_quitRequested; }
    // How many times a button was clicked (pressed and released over its hit area).
    int clickCount() const { return m_clicks; }

    const Movie &movie() const { return *m_movie; }
    // What the movie plays: the host pulls its mixed frames and stops its streams
    // when the movie is hidden.
    MovieSound &sound() { return *m_sound; }

    // For tests and tools: the display list of the root timeline.
    const DisplayList &root() const { return *m_root; }

private:
    struct State;
    Instance *buttonUnderMouse(DisplayList **owner);
    void updateButtons();
    int catchUpWithStream();
    void playButtonSounds(const Instance &button, int newState, bool held);
    void openUrl(const std::string &url, const std::string &window);
    QPointF scriptPoint(QPointF pos) const;

    std::shared_ptr<const Movie> m_movie;
    std::unique_ptr<MovieSound> m_sound; // before the lists, which report to it until they go
    std::unique_ptr<State> m_state;
    ScriptHost m_host;
    // Declared before the root so that it outlives every list that reports to it.
    std::unique_ptr<avm1::ScriptStage> m_scripts; // null for a movie without scripts
    std::unique_ptr<DisplayList> m_root;
    QPointF m_mouse;
    QRectF m_target;
    std::chrono::nanoseconds m_backlog{0};
    int m_framesRun = 0;
    int m_clicks = 0;
    bool m_mouseInside = false;
    bool m_mouseDown = false;
    bool m_quitRequested = false;
};

} // namespace velmora::swf
