#include "soundbutton.h"

#include "controls/swf/sound/sound.h"
#include "swfwriter.h"

#include <QPainterPath>

namespace velmora::testing {
namespace {

QByteArray defineSound(quint16 id, const Tone &tone)
{
    constexpr int kRateCode44k = 3;
    const int frames = static_cast<int>(tone.seconds * swf::kMixRate);
    swfwriter::BitWriter out;
    out.writeU16(id);
    out.writeU8(static_cast<quint8>(static_cast<int>(swf::SoundCodec::PcmLittleEndian) << 4 |
                                    kRateCode44k << 2 | 1 << 1)); // 16-bit, mono
    out.writeU32(static_cast<quint32>(frames));
    for (int i = 0; i < frames; ++i)
        out.writeU16(static_cast<quint16>(static_cast<qint16>(
            std::lround(tone.amplitude * std::sin(2 * std::numbers::pi * tone.hertz * i / swf::kMixRate)))));
    return out.bytes();
}

} // namespace

QByteArray soundButtonMovie(QSize sizePx)
{
    swfwriter::MovieBuilder movie(sizePx);
    movie.setBackgroundColor(Qt::white);
    QPainterPath box;
    box.addRect(0, 0, sizePx.width() * swfwriter::kTwipsPerPixel,
                sizePx.height() * swfwriter::kTwipsPerPixel);
    const quint16 up = movie.defineShape(box, swfwriter::Fill::solid(QColor(40, 90, 160)));
    const quint16 over = movie.defineShape(box, swfwriter::Fill::solid(QColor(90, 160, 220)));
    using Record = swfwriter::ButtonRecord;
    const quint16 button = movie.defineButton2(
        {{Record::Up | Record::HitTest, up, 1, {}, {}}, {Record::Over | Record::Down, over, 2, {}, {}}});
    const auto rollOver = static_cast<quint16>(button + 1);
    const auto press = static_cast<quint16>(button + 2);
    movie.addDefinition(swf::TagCode::DefineSound, defineSound(rollOver, kRollOver));
    movie.addDefinition(swf::TagCode::DefineSound, defineSound(press, kPress));
    swfwriter::BitWriter sounds; // roll out, roll over, press, release; SOUNDINFO without options
    sounds.writeU16(button);
    for (const quint16 id : {quint16(0), rollOver, press, quint16(0)}) {
        sounds.writeU16(id);
        if (id != 0)
            sounds.writeU8(0);
    }
    movie.addDefinition(swf::TagCode::DefineButtonSound, sounds.bytes());
    movie.placeObject(1, button);
    movie.showFrame();
    return movie.build();
}

} // namespace velmora::testing
