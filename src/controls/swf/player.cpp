#include "controls/swf/player.h"

#include "controls/swf/avm1/stage.h"
#include "controls/swf/displaylist.h"
#include "controls/swf/hittest.h"
#include "controls/swf/movieerror.h"
#include "controls/swf/moviereader.h"
#include "controls/swf/qtgeometry.h"
#include "controls/swf/renderer.h"
#include "controls/swf/sound/moviesound.h"
#include "controls/swf/urlpolicy.h"

#include <QPainter>

#include <cmath>
#include <fstream>

namespace velmora::swf {

namespace {

// At most this many frames run per call of advance(); a longer backlog is dropped
// so that a movie which fell behind (a busy or suspended machine) does not race.
constexpr int kMaxFramesPerTick = 5;
// At most this many frames run undrawn per call of advance() to catch up with the
// stream sound of the root timeline.
constexpr int kMaxCatchUpFrames = 30;

// The stage (twips, origin at the header rectangle's corner) fitted "ShowAll".
QTransform stageToTarget(const Movie &movie, const QRectF &target)
{
    const TwipsRect &r = movie.header.frameRect;
    const double w = std::max(1, r.width()) / kTwipsPerPixel, h = std::max(1, r.height()) / kTwipsPerPixel;
    const double s = std::min(target.width() / w, target.height() / h);
    const double ox = target.x() + (target.width() - w * s) / 2,
                 oy = target.y() + (target.height() - h * s) / 2;
    const double k = s / kTwipsPerPixel;
    return QTransform(k, 0, 0, k, ox - r.xMin * k, oy - r.yMin * k);
}

} // namespace

struct Player::State {
    RenderCache cache;
    InstanceBudget budget;
    std::uint64_t pressed = 0; // serial of the button the mouse went down on
};

Result<std::shared_ptr<const Movie>> loadMovie(std::span<const std::uint8_t> bytes)
{
    auto movie = readMovie(bytes);
    if (!movie)
        return movie.error();
    return std::shared_ptr<const Movie>(std::move(*movie));
}

Result<std::shared_ptr<const Movie>> loadMovieFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return movieError(MovieError::CannotOpenFile, path.string());
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto movie = loadMovie(bytes);
    if (!movie)
        return Error(movie.error().number, movie.error().description + " (" + path.string() + ")");
    return movie;
}

Player::Player(std::shared_ptr<const Movie> movie, ScriptHost host)
    : m_movie(std::move(movie)), m_sound(std::make_unique<MovieSound>(*m_movie)),
      m_state(std::make_unique<State>()), m_host(std::move(host))
{
    m_root = std::make_unique<DisplayList>(*m_movie, &m_movie->root, m_state->budget);
    m_root->setSoundEvents(m_sound.get());
    if (avm1::hasScripts(*m_movie)) {
        avm1::RuntimeHost scriptHost;
        scriptHost.trace = m_host.trace;
        scriptHost.getUrl = [this](const std::string &url, const std::string &window) {
            openUrl(url, window);
        };
        m_scripts = std::make_unique<avm1::ScriptStage>(*m_movie, *m_root, std::move(scriptHost));
        m_scripts->buttonAt = [this](QPointF stage) {
            DisplayList *owner = nullptr;
            const QTransform toScript = QTransform::fromScale(1 / kTwipsPerPixel, 1 / kTwipsPerPixel);
            return HitTester(*m_movie, m_state->cache).buttonAt(*m_root, toScript, stage, &owner);
        };
        m_scripts->listUnder = [this](QPointF stage, const Instance *skip) {
            DisplayList *owner = nullptr;
            const QTransform toScript = QTransform::fromScale(1 / kTwipsPerPixel, 1 / kTwipsPerPixel);
            HitTester(*m_movie, m_state->cache).drawnAt(*m_root, toScript, stage, skip, &owner);
            return owner;
        };
    }
    stepFrame(); // the first frame is on screen from the start
}

// fscommand("quit") closes the standalone player; web addresses go to the desktop
// from a user action only; nothing else leaves the player.
void Player::openUrl(const std::string &url, const std::string &)
{
    switch (classifyUrl(url)) {
    case UrlRequest::Quit:
        m_quitRequested = true;
        break;
    case UrlRequest::OpenOnDesktop:
        if (m_host.openUrl && m_scripts && m_scripts->takeUrlPermission())
            m_host.openUrl(QString::fromStdString(url).trimmed().toStdString());
        break;
    case UrlRequest::Ignore:
        break;
    }
}

Player::~Player() = default;

QSizeF Player::stageSize() const
{
    const TwipsRect &r = m_movie->header.frameRect;
    return {r.width() / kTwipsPerPixel, r.height() / kTwipsPerPixel};
}

QColor Player::backgroundColor() const
{
    Rgba c = m_movie->background;
    return QColor(c.r, c.g, c.b);
}

double Player::frameRate() const
{
    return m_movie->header.frameRate;
}

bool Player::isAnimated() const
{
    return m_root->canChange() || (m_scripts && m_scripts->runsEveryFrame());
}

int Player::advance(std::chrono::nanoseconds elapsed)
{
    const double rate = frameRate();
    if (rate <= 0)
        return 0;
    const auto frameTime = std::chrono::nanoseconds(static_cast<std::int64_t>(1e9 / rate));
    m_backlog += elapsed;
    int run = 0;
    while (m_backlog >= frameTime && run < kMaxFramesPerTick) {
        m_backlog -= frameTime;
        stepFrame();
        ++run;
    }
    if (m_backlog >= frameTime)
        m_backlog = std::chrono::nanoseconds(0);
    return run + catchUpWithStream();
}

int Player::catchUpWithStream()
{
    const auto &stream = m_movie->root.stream;
    if (!stream)
        return 0;
    int run = 0;
    while (run < kMaxCatchUpFrames && m_root->isPlaying()) {
        const auto block = m_sound->streamBlock(m_root.get(), *stream);
        // One frame ahead is the output's lead over the frames, not a lag.
        if (!block || *block >= stream->blocks.size() ||
            stream->blocks[*block].frame <= m_root->currentFrame() + 1)
            break;
        stepFrame();
        ++run;
    }
    return run;
}

void Player::stepFrame()
{
    m_state->budget.createdThisFrame = 0;
    if (m_scripts) {
        m_scripts->beginFrame();
        m_scripts->advanceTimelines();
        m_scripts->endFrame();
    } else {
        m_root->tick();
    }
    ++m_framesRun;
    updateButtons();
}

void Player::render(QPainter &painter, const QRectF &target, Quality quality) const
{
    FilterBudget frameBudget;
    render(painter, target, quality, frameBudget);
}

bool Player::render(QPainter &painter, const QRectF &target, Quality quality,
                    FilterBudget &filterBudget) const
{
    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    painter.fillRect(target, backgroundColor());
    painter.setRenderHint(QPainter::Antialiasing, quality == Quality::High);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QTransform base = stageToTarget(*m_movie, target) * painter.transform();
    // Scripts may move, tint or hide the root as they do a clip.
    const Instance *root = m_scripts ? &m_scripts->rootPlacement : nullptr;
    const QTransform world = root ? toQt(root->matrix) * base : base;
    Renderer renderer(*m_movie, m_state->cache, quality, filterBudget,
                      std::sqrt(std::abs(base.determinant())));
    if (!root || root->visible)
        renderer.paint(painter, *m_root, world, root ? root->colorTransform : ColorTransform{});
    painter.restore();
    return !renderer.wasStinted();
}

void Player::mouseMove(QPointF pos, const QRectF &target)
{
    m_mouse = pos;
    m_target = target;
    m_mouseInside = true;
    if (m_scripts)
        m_scripts->mouseMove(scriptPoint(pos));
    updateButtons();
}

void Player::mousePress(QPointF pos, const QRectF &target)
{
    m_mouse = pos;
    m_target = target;
    m_mouseInside = true;
    mousePress();
}

void Player::mouseRelease(QPointF pos, const QRectF &target)
{
    m_mouse = pos;
    m_target = target;
    m_mouseInside = true;
    mouseRelease();
}

void Player::mousePress()
{
    m_mouseDown = true;
    DisplayList *owner = nullptr;
    Instance *button = buttonUnderMouse(&owner);
    m_state->pressed = button ? button->serial : 0;
    if (m_scripts)
        m_scripts->mouseDown(scriptPoint(m_mouse));
    updateButtons();
}

void Player::mouseRelease()
{
    DisplayList *owner = nullptr;
    Instance *button = buttonUnderMouse(&owner);
    if (button && button->serial == m_state->pressed && m_mouseDown) {
        ++m_clicks;
        const auto *def = std::get_if<Button>(button->character);
        if (def && !m_scripts) {
            for (const ButtonActions &entry : def->actions) {
                if (entry.conditions & OverDownToOverUp)
                    owner->runActions(entry.actions.simple);
            }
        }
    }
    m_mouseDown = false;
    m_state->pressed = 0;
    if (m_scripts)
        m_scripts->mouseUp(scriptPoint(m_mouse));
    updateButtons();
}

void Player::keyDown(KeyInput key)
{
    if (m_scripts)
        m_scripts->keyDown({key.code, key.character});
    updateButtons();
}

void Player::keyUp(KeyInput key)
{
    if (m_scripts)
        m_scripts->keyUp({key.code, key.character});
    updateButtons();
}

// Target coordinates to the pixels scripts use (twips / 20 from the movie's origin).
QPointF Player::scriptPoint(QPointF pos) const
{
    if (m_target.isEmpty())
        return {};
    return stageToTarget(*m_movie, m_target).inverted().map(pos) / kTwipsPerPixel;
}

void Player::mouseLeave()
{
    m_mouseInside = false;
    updateButtons();
}

Instance *Player::buttonUnderMouse(DisplayList **owner)
{
    if (!m_mouseInside || m_target.isEmpty())
        return nullptr;
    return HitTester(*m_movie, m_state->cache)
        .buttonAt(*m_root, stageToTarget(*m_movie, m_target), m_mouse, owner);
}

void Player::updateButtons()
{
    DisplayList *owner = nullptr;
    Instance *hovered = buttonUnderMouse(&owner);
    const std::uint64_t over = hovered ? hovered->serial : 0;
    const std::uint64_t pressed = m_mouseDown ? m_state->pressed : 0;
    // Pressed and over: down; pressed and dragged off: over; otherwise over or up.
    auto visit = [&](auto &self, DisplayList &list) -> void {
        for (auto &[d, object] : list.objects()) {
            if (object.character && std::holds_alternative<Button>(*object.character)) {
                int state = ButtonRecord::Up;
                if (pressed == object.serial)
                    state = over == object.serial ? ButtonRecord::Down : ButtonRecord::Over;
                else if (over == object.serial && pressed == 0)
                    state = ButtonRecord::Over;
                if (state != object.buttonState) {
                    playButtonSounds(object, state, pressed == object.serial);
                    list.showButtonState(object, state);
                }
            }
            if (object.children)
                self(self, *object.children);
        }
    };
    visit(visit, *m_root);
}

void Player::playButtonSounds(const Instance &button, int newState, bool held)
{
    const auto &sounds = std::get<Button>(*button.character).sounds;
    auto play = [&](ButtonTransition t) {
        if (const auto &sound = sounds[static_cast<std::size_t>(t)])
            m_sound->startSound(*sound);
    };
    const int from = button.buttonState;
    if (newState == ButtonRecord::Down) {
        if (from == ButtonRecord::Up)
            play(ButtonTransition::RollOver);
        play(ButtonTransition::Press);
    } else if (newState == ButtonRecord::Over) {
        if (from == ButtonRecord::Up)
            play(ButtonTransition::RollOver);
        else if (!held) // a press dragged off the button sounds nothing
            play(ButtonTransition::Release);
    } else if (from == ButtonRecord::Over) {
        play(ButtonTransition::RollOut);
    }
}

} // namespace velmora::swf
