#include "controls/flashbutton.h"

#include "common/casepath.h"
#include "controls/audiooutput.h"
#include "controls/flashbuttonaccessible.h"
#include "controls/swf/framesignature.h"
#include "controls/swf/player.h"
#include "controls/swf/sound/moviesound.h"

#include <QDesktopServices>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace velmora::controls {
namespace {

// Frame rates outside this range are clamped for the clock only; the movie keeps its own.
constexpr std::chrono::milliseconds kShortestInterval{8};
constexpr std::chrono::milliseconds kLongestInterval{1000};

FlashButton::UrlOpener &urlOpener()
{
    static FlashButton::UrlOpener opener;
    return opener;
}

void openFromMovie(const std::string &address)
{
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (!url.isValid())
        return;
    if (const FlashButton::UrlOpener &opener = urlOpener())
        opener(url);
    else
        QDesktopServices::openUrl(url);
}

} // namespace

void FlashButton::setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

FlashButton::FlashButton(const QString &applicationPath, QWidget *parent)
    : QWidget(parent), m_applicationPath(applicationPath)
{
    // A click gives the focus (and so raises the focus event); Tab never does.
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
    installFlashButtonAccessibility();
}

FlashButton::~FlashButton()
{
    FrameClock::instance().unsubscribe(this);
    if (m_player)
        AudioOutput::instance().withdraw(&m_player->sound());
}

void FlashButton::setMovie(const QString &fullPath)
{
    m_movie = fullPath;
    if (m_player)
        AudioOutput::instance().withdraw(&m_player->sound());
    m_player.reset();
    m_movieRead = false;
    m_shownSignature.reset();
    m_frames.clear();
    if (isVisible())
        updateClock();
    update();
}

swf::Player *FlashButton::loadedPlayer() const
{
    if (m_movieRead)
        return m_player.get();
    m_movieRead = true;
    // A movie that cannot be read is the control's own affair: it shows nothing.
    const std::filesystem::path file =
        resolveInstallationPath(m_applicationPath.toStdString(), m_movie.toStdString());
    std::error_code ec;
    if (!m_movie.isEmpty() && std::filesystem::is_regular_file(file, ec)) {
        try {
            auto movie = swf::loadMovieFile(file);
            if (movie)
                m_player = std::make_unique<swf::Player>(
                    std::move(movie).value(), swf::ScriptHost{.trace = {}, .openUrl = openFromMovie});
        } catch (const std::exception &) {
            m_player.reset(); // the engine's own fault with this file: still only an empty button
        }
    }
    return m_player.get();
}

const swf::Player *FlashButton::player() const
{
    return loadedPlayer();
}

bool FlashButton::isPlaying() const
{
    return FrameClock::instance().isSubscribed(this);
}

void FlashButton::updateClock()
{
    FrameClock &clock = FrameClock::instance();
    const swf::Player *player = isVisible() ? loadedPlayer() : nullptr;
    const bool wanted = player && player->isAnimated() && player->frameRate() > 0;
    if (!wanted) {
        clock.unsubscribe(this);
        return;
    }
    const auto interval = std::chrono::milliseconds(static_cast<long>(1000.0 / player->frameRate()));
    if (!clock.isSubscribed(this))
        m_lastTick = std::chrono::steady_clock::now();
    clock.subscribe(this, std::clamp(interval, kShortestInterval, kLongestInterval));
}

void FlashButton::tick(FrameClock::TimePoint now)
{
    const auto elapsed = now - m_lastTick;
    m_lastTick = now;
    // Nobody sees a button whose window is not on screen or that others cover whole:
    // its movie waits rather than paint.
    const QWindow *window = this->window()->windowHandle();
    if (!window || !window->isExposed() || visibleRegion().isEmpty())
        return;
    if (m_player->advance(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed)) > 0) {
        playSound();
        repaintWhenChanged();
    }
    // A movie that came to rest (stopped, and nothing in it moving) needs no tick until
    // the mouse sets it going again; its sound plays on in the audio output.
    if (!m_player->isAnimated())
        FrameClock::instance().unsubscribe(this);
}

void FlashButton::afterMouse()
{
    playSound();
    repaintWhenChanged();
    updateClock(); // a button's script or state may have set the movie going
}

void FlashButton::repaintWhenChanged()
{
    const std::uint64_t signature = swf::frameSignature(*m_player);
    if (signature == m_shownSignature)
        return;
    m_shownSignature = signature;
    FrameClock::instance().repaintAfterTick(this);
}

void FlashButton::paintEvent(QPaintEvent *)
{
    if (!loadedPlayer())
        return;
    // The movie fills the whole button with its background: nothing beneath needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    // A picture painted apart lands on the same device pixels only at a whole pixel ratio.
    if (ratio != std::floor(ratio)) {
        renderWithinBudget(painter);
        return;
    }
    const std::uint64_t signature = swf::frameSignature(*m_player);
    if (const QImage *frame = m_frames.find(signature, size(), ratio)) {
        painter.drawImage(QPoint(0, 0), *frame);
        return;
    }
    QImage frame(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    if (frame.isNull()) {
        renderWithinBudget(painter);
        return;
    }
    frame.setDevicePixelRatio(ratio);
    QPainter framePainter(&frame);
    const bool full = renderWithinBudget(framePainter);
    framePainter.end();
    painter.drawImage(QPoint(0, 0), frame);
    if (full)
        m_frames.insert(signature, frame); // a stinted picture is not kept for the next loop
}

bool FlashButton::renderWithinBudget(QPainter &painter)
{
    FrameClock &clock = FrameClock::instance();
    const bool full = m_player->render(painter, QRectF(rect()), swf::Quality::High, clock.filterBudget());
    if (!full)
        clock.repaintAfterTick(this);
    return full;
}

// The movie shows no focus, so the focus changes nothing on screen. (QWidget's handlers
// would repaint the button, and with it compose the window, right after the command the
// focus starts: ahead of the page that command loads.)
void FlashButton::focusInEvent(QFocusEvent *event)
{
    // The window coming back to the front hands the focus back to the button that held
    // it: the button did not take the focus anew, so no event. (A click that took it
    // while the window was inactive has raised its event already.)
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    emit focusEvent();
}

void FlashButton::focusOutEvent(QFocusEvent *) {}

void FlashButton::press()
{
    setFocus(Qt::OtherFocusReason);
}

void FlashButton::watchWindowFocus()
{
    // A click into an inactive window reaches the button before the window manager has
    // made the window active whenever it hands the focus over on the button's release
    // rather than its press, or leaves the activation to Qt. Qt then makes the button the
    // window's focus object at once but sends its focus-in only when the window becomes
    // active, with the same reason as a mere return to the window. The window's focus
    // object tells the two apart.
    if (const QWindow *handle = window()->windowHandle())
        connect(handle, &QWindow::focusObjectChanged, this, &FlashButton::windowFocusObjectChanged,
                Qt::UniqueConnection);
}

void FlashButton::windowFocusObjectChanged(QObject *object)
{
    const bool taken = object == this && !m_isFocusObject;
    m_isFocusObject = object == this;
    // In the active window the focus-in event follows at once and raises the event.
    if (taken && !isActiveWindow())
        emit focusEvent();
}

void FlashButton::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    watchWindowFocus();
    updateClock();
}

void FlashButton::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    FrameClock::instance().unsubscribe(this);
    if (m_player)
        m_player->sound().stopStreams(); // a hidden movie's stream ends; its event sounds ring out
}

void FlashButton::mouseMoveEvent(QMouseEvent *event)
{
    if (m_player) {
        m_player->mouseMove(event->position(), QRectF(rect()));
        afterMouse();
    }
}

void FlashButton::mousePressEvent(QMouseEvent *event)
{
    event->accept(); // the click is the button's; the window beneath does not see it
    if (m_player) {
        m_player->mouseMove(event->position(), QRectF(rect()));
        m_player->mousePress();
        afterMouse();
    }
}

void FlashButton::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (m_player) {
        m_player->mouseRelease();
        afterMouse();
    }
}

void FlashButton::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (m_player) {
        m_player->mouseLeave();
        afterMouse();
    }
}

void FlashButton::playSound()
{
    if (m_player && m_player->sound().isPlaying())
        AudioOutput::instance().play(&m_player->sound());
}

} // namespace velmora::controls
