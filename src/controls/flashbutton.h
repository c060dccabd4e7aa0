// A window button drawn by a movie: plays its movie scaled into its rectangle, looping,
// and reports a click as its focus event. It is never reached with the Tab key.
#pragma once

#include "controls/buttondescription.h"
#include "controls/framecache.h"
#include "controls/frameclock.h"

#include <QString>
#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace velmora::swf {
class Player;
}

namespace velmora::controls {

class FlashButton : public QWidget, private FrameClock::Client {
    Q_OBJECT
public:
    // `applicationPath` is the folder below which movie paths are matched without regard to case.
    explicit FlashButton(const QString &applicationPath, QWidget *parent = nullptr);
    ~FlashButton() override;

    // Gives the button the movie at `fullPath` ("<application path>\pic\up.swf"), played
    // from its first frame. The file is read when the button is first shown (or asked
    // about it), so hidden buttons cost nothing at start. A file that is missing or no
    // movie leaves the button an empty rectangle.
    void setMovie(const QString &fullPath);
    const QString &movie() const { return m_movie; }
    bool hasMovie() const { return player() != nullptr; }
    // True while the movie advances on the shared clock.
    bool isPlaying() const;
    const swf::Player *player() const;

    // What assistive technology is told of the button (until set, an image named by the
    // movie's own text).
    void setDescription(ButtonDescription description) { m_description = std::move(description); }
    const ButtonDescription &description() const { return m_description; }
    // Takes the focus as a click on the button does, so that the focus event follows the
    // same rule: raised when the button takes the focus, not when it holds it already.
    void press();

    // Where the address a movie's button script opens goes (http, https or mailto, from
    // a press or release only, once per action): the desktop's handler, unless
    // replaced (tests do; an empty function restores the desktop's).
    using UrlOpener = std::function<void(const QUrl &)>;
    static void setUrlOpener(UrlOpener opener);

signals:
    // The button took the input focus, whatever the reason: a click on it (the click
    // that activates its window included), or the focus set by the program. Not raised
    // when its window merely becomes active again with the button still holding the focus.
    void focusEvent();

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void tick(FrameClock::TimePoint now) override;
    bool yieldsToPageLoads() const override { return true; }
    void updateClock();
    // Repaints after the clock's tick only when the movie's picture changed since the
    // last time it was asked for: a loop that holds still costs no painting.
    void repaintWhenChanged();
    // Paints the movie with the filter work all buttons share in a tick; a picture drawn
    // coarser for want of it (false) is painted again at the next tick.
    bool renderWithinBudget(QPainter &painter);
    // What follows the mouse's every effect on the movie.
    void afterMouse();
    // Hands a movie that sounds to the audio output, which mixes it in from now on.
    void playSound();
    void watchWindowFocus();
    void windowFocusObjectChanged(QObject *object);
    swf::Player *loadedPlayer() const;

    QString m_applicationPath;
    QString m_movie;
    mutable std::unique_ptr<swf::Player> m_player;
    mutable bool m_movieRead = true; // false until the file of m_movie has been read
    FrameClock::TimePoint m_lastTick;
    std::optional<std::uint64_t> m_shownSignature; // of the picture last asked to be painted
    FrameCache m_frames;
    bool m_isFocusObject = false; // the button is its window's focus object
    ButtonDescription m_description;
};

} // namespace velmora::controls
