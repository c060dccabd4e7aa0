// Feeds arbitrary bytes to the reader, then runs, paints and sounds a few frames small.
#include "controls/swf/player.h"
#include "controls/swf/sound/moviesound.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

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
    for (int frame = 0; frame < 3; ++frame) {
        QPainter painter(&image);
        player.render(painter, QRectF(0, 0, 64, 48),
                      frame % 2 ? velmora::swf::Quality::High : velmora::swf::Quality::Low);
        painter.end();
        player.mouseMove({32, 24}, QRectF(0, 0, 64, 48));
        player.mousePress();
        player.mouseRelease();
        player.sound().render(audio);
        player.stepFrame();
    }
    return 0;
}
