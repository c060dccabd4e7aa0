#include "controls/swf/player.h"

#include <QPainter>

namespace velmora::swf {

class Movie {};
class DisplayList {};

Result<std::shared_ptr<const Movie>> loadMovie(std::span<const std::uint8_t>)
{
    return Error(1, "SWF: not implemented yet");
}

Result<std::shared_ptr<const Movie>> loadMovieFile(const std::filesystem::path &)
{
    return Error(1, "SWF: not implemented yet");
}

Player::Player(std::shared_ptr<const Movie> movie) : m_movie(std::move(movie)) {}
Player::~Player() = default;
QSizeF Player::stageSize() const { return {100, 100}; }
QColor Player::backgroundColor() const { return Qt::white; }
double Player::frameRate() const { return 12; }
bool Player::isAnimated() const { return false; }
int Player::advance(std::chrono::nanoseconds) { return 0; }
void Player::stepFrame() {}
void Player::render(QPainter &painter, const QRectF &target, Quality) const { painter.fillRect(target, Qt::white); }
void Player::mouseMove(QPointF, const QRectF &) {}
void Player::mousePress() {}
void Player::mouseRelease() {}
void Player::mouseLeave() {}

} // namespace velmora::swf
