// Feeds arbitrary bytes to the reader, then runs, paints and sounds a few frames small,
// with pointer and key input between the frames. The input is read from the last
// bytes of the data (the reader stops at the End tag and leaves them alone), one
// event a byte, so that any movie can be driven by what follows it.
//
//   swf_fuzzer -timeout=60 -rss_limit_mb=2048 CORPUS_DIR SEED_DIRS...
//
// A unit may spend the scripts' whole budget in each of its frames (two million
// instructions a frame, 1 to 2 s of processor time with the sanitizers); the timeout
// counts wall-clock time, which on a busy shared machine is several times that, so
// 10 s flags units that are only slow because the machine is.
#include "controls/swf/player.h"
#include "controls/swf/sound/moviesound.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <array>

namespace {

constexpr std::size_t kMaxEvents = 24;
constexpr int kFrames = 4;
const QRectF kTarget(0, 0, 64, 48);

// Keys that buttons, Key listeners and the focus treat in their own ways.
constexpr std::array<velmora::swf::KeyInput, 8> kKeys{
    {{13, 13}, {32, 32}, {9, 9}, {37, 0}, {40, 0}, {'A', 'a'}, {27, 27}, {8, 8}}};

// One byte: the low three bits choose the event, the rest place it or pick the key.
// Returns whether the byte ends the frame.
bool applyEvent(velmora::swf::Player &player, std::uint8_t b)
{
    const QPointF at((b >> 3 & 7) * 9.0, (b >> 6) * 16.0);
    const velmora::swf::KeyInput key = kKeys[(b >> 3) % kKeys.size()];
    switch (b & 7) {
    case 0:
    case 1:
        player.mouseMove(at, kTarget);
        break;
    case 2:
        player.mousePress(at, kTarget);
        break;
    case 3:
        player.mouseRelease(at, kTarget);
        break;
    case 4:
        player.keyDown(key);
        break;
    case 5:
        player.keyUp(key);
        break;
    case 6:
        player.mouseLeave();
        break;
    default:
        return true;
    }
    return false;
}

} // namespace

// Text in system fonts is laid out and drawn only where the font database runs.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    auto movie = velmora::swf::loadMovie({data, size});
    if (!movie)
        return 0;
    velmora::swf::Player player(*movie);
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    std::vector<std::int16_t> audio(2 * 512);
    std::size_t next = size, events = 0;
    for (int frame = 0; frame < kFrames; ++frame) {
        QPainter painter(&image);
        player.render(painter, kTarget, frame % 2 ? velmora::swf::Quality::High : velmora::swf::Quality::Low);
        painter.end();
        while (next > 0 && events < kMaxEvents) {
            ++events;
            if (applyEvent(player, data[--next]))
                break;
        }
        player.sound().render(audio);
        player.stepFrame();
    }
    return 0;
}
