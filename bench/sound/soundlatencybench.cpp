// Sound start latency after a click, on a PulseAudio server of the bench's own (null
// sink). A button movie's press chime is started as a click on the button starts it, at
// moments spread over the output's refill period, and heard once the server reports as
// played the audio the output had given it before the press. Alongside, the baseline: a
// plain QAudioSink at Qt's default buffer size on the same server, kept full of silence
// on a 10 ms timer, whose tone written at the same kind of moments is heard likewise.
//
//   build/bench/velmora-sound-bench [clicks]
#include "controls/audiooutput.h"
#include "controls/swf/player.h"
#include "controls/swf/sound/moviesound.h"
#include "ownsoundserver.h"
#include "soundbutton.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QGuiApplication>
#include <QMediaDevices>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

namespace {

using namespace velmora;
using Clock = std::chrono::steady_clock;

struct Figures {
    double median = 0, worst = 0; // milliseconds
};

Figures figures(std::vector<double> waits)
{
    std::sort(waits.begin(), waits.end());
    return waits.empty() ? Figures{} : Figures{waits[waits.size() / 2], waits.back()};
}

// The reader's path: the press of a button movie, mixed in by the audio output.
std::vector<double> readerWaits(int clicks, std::mt19937 &random)
{
    const QByteArray bytes = testing::soundButtonMovie(QSize(64, 52));
    auto movie = swf::loadMovie(
        {reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
    if (!movie)
        return {};
    swf::Player player(*movie);
    const QRectF area(0, 0, 64, 52);
    controls::AudioOutput &output = controls::AudioOutput::instance();
    std::uniform_int_distribution<int> pause(250, 400); // the chime lasts 200 ms
    std::vector<double> waits;
    for (int i = 0; i < clicks; ++i) {
        QTest::qWait(pause(random));
        const auto pressed = Clock::now();
        const auto before = output.writtenTime();
        player.mouseMove(QPointF(32, 26), area);
        player.mousePress();
        output.play(&player.sound());
        player.mouseRelease();
        if (!output.isOpen())
            continue;
        while (output.playedTime() <= before && Clock::now() - pressed < std::chrono::seconds(2))
            QTest::qWait(1);
        waits.push_back(std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
    }
    return waits;
}

// The baseline: a plain sink at Qt's default buffer size, kept full of silence.
std::vector<double> plainSinkWaits(int clicks, std::mt19937 &random)
{
    QAudioFormat format;
    format.setSampleRate(swf::kMixRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    QAudioSink sink(QMediaDevices::defaultAudioOutput(), format);
    QIODevice *device = sink.start();
    if (!device)
        return {};
    std::int64_t writtenFrames = 0;
    const auto topUp = [&] {
        const QByteArray silence(sink.bytesFree() / 4 * 4, '\0');
        writtenFrames += device->write(silence) / 4;
    };
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, topUp);
    timer.start(10);
    topUp();
    std::uniform_int_distribution<int> pause(250, 400);
    std::vector<double> waits;
    for (int i = 0; i < clicks; ++i) {
        QTest::qWait(pause(random));
        const auto pressed = Clock::now();
        const auto before = writtenFrames * 1'000'000 / swf::kMixRate;
        while (sink.processedUSecs() <= before && Clock::now() - pressed < std::chrono::seconds(2))
            QTest::qWait(1);
        waits.push_back(std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
    }
    sink.stop();
    return waits;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int clicks = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 1000) : 40;
    testing::OwnSoundServer server;
    if (!server.isOpen()) {
        std::fprintf(stderr, "no PulseAudio to start a sound server of our own\n");
        return 1;
    }
    // Before the first use of Qt Multimedia, so that it finds our server and only it.
    const QProcessEnvironment environment = server.environment({});
    for (const QString &name : environment.keys())
        qputenv(name.toLocal8Bit().constData(), environment.value(name).toLocal8Bit());
    std::mt19937 random(14);
    // The first two presses open the stream: the first connects to the server, the
    // second finds the server's played time of a new stream not yet reported (about
    // a second). They are shown on their own.
    constexpr std::size_t kOpening = 2;
    std::vector<double> waits = readerWaits(clicks + static_cast<int>(kOpening), random);
    const std::vector<double> opening(waits.begin(),
                                      waits.begin() + static_cast<long>(std::min(kOpening, waits.size())));
    waits.erase(waits.begin(), waits.begin() + static_cast<long>(opening.size()));
    const Figures reader = figures(waits);
    std::string openingText;
    for (const double wait : opening)
        openingText += (openingText.empty() ? "" : ", ") + std::to_string(std::lround(wait));
    const Figures plain = figures(plainSinkWaits(clicks, random));
    std::printf(
        "click to heard, %d clicks: reader median %.1f ms, worst %.1f ms (the two opening the stream: %s "
        "ms); plain sink (Qt's default buffer) median %.1f ms, worst %.1f ms; ratio of medians %.2f\n",
        clicks, reader.median, reader.worst, openingText.c_str(), plain.median, plain.worst,
        plain.median > 0 ? reader.median / plain.median : 0.0);
    return reader.median > 0 ? 0 : 1;
}
