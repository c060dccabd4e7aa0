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
#include <memory>
#include <span>

class QPainter;

namespace velmora::swf {

class Movie;
class DisplayList;
class MovieSound;
struct Instance;

// Parses a whole movie file held in memory. A file that ends early still gives the
// frames read so far; a file that is not a movie at all gives an error.
Result<std::shared_ptr<const Movie>> loadMovie(std::span<const std::uint8_t> bytes);
Result<std::shared_ptr<const Movie>> loadMovieFile(const std::filesystem::path &path);

class Player {
public:
    // Runs the first frame, so the movie can be painted at once: after N-1 calls of
    // stepFrame() the player shows what the movie shows after N frames.
    explicit Player(std::shared_ptr<const Movie> movie);
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
    void render(QPainter &painter, const QRectF &target, Quality quality) const;

    // Mouse in target coordinates (the same rectangle as for render).
    void mouseMove(QPointF pos, const QRectF &target);
    void mousePress();
    void mouseRelease();
    void mouseLeave();
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

    std::shared_ptr<const Movie> m_movie;
    std::unique_ptr<MovieSound> m_sound; // before the lists, which report to it until they go
    std::unique_ptr<DisplayList> m_root;
    std::unique_ptr<State> m_state;
    QPointF m_mouse;
    QRectF m_target;
    std::chrono::nanoseconds m_backlog{0};
    int m_framesRun = 0;
    int m_clicks = 0;
    bool m_mouseInside = false;
    bool m_mouseDown = false;
};

} // namespace velmora::swf
