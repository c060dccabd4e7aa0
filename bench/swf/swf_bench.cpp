// Parse + render one frame of every corpus movie at its stage size, and the cost of
// advancing and painting 40 button-sized animated movies for one second of frames,
// against a baseline that only clears the same 40 images, and the same with drop shadows.
#include "swfbytes.h"

#include "controls/swf/player.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

using namespace velmora::swf;

namespace {

std::vector<std::uint8_t> readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void parseAndRender(benchmark::State &state, std::vector<std::uint8_t> bytes)
{
    for (auto _ : state) {
        auto movie = loadMovie(bytes);
        if (!movie) {
            state.SkipWithError("movie does not load");
            return;
        }
        Player player(*movie);
        QSize size = player.stageSize().toSize().expandedTo(QSize(1, 1)).boundedTo(QSize(2048, 2048));
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        player.render(painter, QRectF(QPointF(0, 0), QSizeF(size)), Quality::High);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// A placement of `id` at `depth` with a drop shadow as the authoring tool's default
// gives it: black, 4 px blur and distance at 45 degrees, strength 1, two passes.
std::vector<std::uint8_t> shadowed(std::uint16_t id, std::uint16_t depth)
{
    test::BitWriter place;
    place.u8(0x06).u8(0x01).u16(depth).u16(id).translate(0, 0);
    place.u8(1).u8(raw(FilterId::DropShadow)).u8(0).u8(0).u8(0).u8(255);
    place.u32(4 << 16).u32(4 << 16).u32(51472).u32(4 << 16); // blur x, y, angle (0.785 rad), distance
    place.u16(256).u8(0x20 | 2);                             // strength 1; composite source, 2 passes
    return place.take();
}

// A 160x48 px button at 24 fps: a gradient-filled plate with an outline, and a
// sprite whose square moves across it (so every frame differs); with or without a
// drop shadow on the plate or on the moving square.
enum class Shadow { None, OnPlate, OnMovingSquare };
std::vector<std::uint8_t> buttonMovie(Shadow shadow)
{
    using test::BitWriter;
    BitWriter plate;
    plate.u16(1).rect(0, 3200, 0, 960);
    plate.u8(1).u8(0x10);         // one linear gradient fill
    plate.bits(1, 1).bits(15, 5); // gradient matrix: scale 0.1 (16.16), centred
    plate.sbits(6554, 15).sbits(6554, 15).bits(0, 1).bits(16, 5).sbits(1600, 16).sbits(480, 16);
    plate.align().bits(0, 2).bits(0, 2).bits(2, 4);
    plate.u8(0).u8(40).u8(80).u8(200).u8(255).u8(220).u8(230).u8(255);
    plate.u8(1).u16(40).u8(0).u8(0).u8(0); // one 2 px black line
    plate.bits(1, 4).bits(1, 4);
    plate.bits(0, 1).bits(0, 1).bits(1, 1).bits(1, 1).bits(0, 1).bits(1, 1); // line, fill1, move
    plate.bits(13, 5).sbits(0, 13).sbits(0, 13).bits(1, 1).bits(1, 1);
    auto line = [&plate](int dx, int dy) {
        plate.bits(1, 1).bits(1, 1).bits(14, 4).bits(1, 1).sbits(dx, 16).sbits(dy, 16);
    };
    line(3200, 0);
    line(0, 960);
    line(-3200, 0);
    line(0, -960);
    plate.bits(0, 6);

    test::MovieBytes sprite;
    for (int f = 0; f < 24; ++f) {
        BitWriter move;
        move.u8(f == 0 ? 0x06 : 0x05).u16(1);
        if (f == 0)
            move.u16(2);
        move.translate(200 + f * 100, 300);
        const bool filtered = f == 0 && shadow == Shadow::OnMovingSquare;
        sprite
            .tag(filtered ? TagCode::PlaceObject3 : TagCode::PlaceObject2,
                 filtered ? shadowed(2, 1) : move.take())
            .showFrame();
    }
    BitWriter spriteTag;
    spriteTag.u16(3).u16(24).bytes(sprite.tags).u16(0);

    test::MovieBytes m;
    m.widthPx = 160;
    m.heightPx = 48;
    m.frameRate = 24;
    m.tag(TagCode::DefineShape, plate.take())
        .tag(TagCode::DefineShape, test::rectangleShape(2, 0, 0, 300, 300, 250, 250, 250));
    m.tag(TagCode::DefineSprite, spriteTag.take())
        .tag(shadow == Shadow::OnPlate ? TagCode::PlaceObject3 : TagCode::PlaceObject2,
             shadow == Shadow::OnPlate ? shadowed(1, 1) : test::placeObject(1, 1))
        .tag(TagCode::PlaceObject2, test::placeObject(3, 2));
    m.showFrame();
    return m.build('F');
}

// One second of frames for 40 buttons; with paint false only the images are cleared.
void fortyButtons(benchmark::State &state, bool paint, Shadow shadow)
{
    auto movie = loadMovie(buttonMovie(shadow));
    if (!movie) {
        state.SkipWithError("button movie does not load");
        return;
    }
    std::vector<std::unique_ptr<Player>> players;
    std::vector<QImage> images;
    for (int i = 0; i < 40; ++i) {
        players.push_back(std::make_unique<Player>(*movie));
        images.emplace_back(160, 48, QImage::Format_ARGB32_Premultiplied);
    }
    const int fps = static_cast<int>(players[0]->frameRate());
    const auto frameTime = std::chrono::nanoseconds(1'000'000'000 / fps);
    for (auto _ : state) {
        for (int frame = 0; frame < fps; ++frame) {
            for (int i = 0; i < 40; ++i) {
                if (paint) {
                    players[static_cast<std::size_t>(i)]->advance(frameTime);
                    QPainter painter(&images[static_cast<std::size_t>(i)]);
                    players[static_cast<std::size_t>(i)]->render(painter, QRectF(0, 0, 160, 48),
                                                                 Quality::High);
                } else {
                    images[static_cast<std::size_t>(i)].fill(Qt::white);
                }
            }
        }
        benchmark::DoNotOptimize(images[0].constBits());
    }
    // Share of one core: seconds of work per second of animation.
    state.counters["core_percent"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 100.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

int main(int argc, char **argv)
{
    if (const char *dump = std::getenv("VELMORA_BENCH_DUMP")) { // to look at the button movie
        auto bytes = buttonMovie(Shadow::None);
        std::ofstream(dump, std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const std::filesystem::path corpus = VELMORA_SHARED_DIR "/corpus/swf";
    std::error_code ec;
    std::vector<std::filesystem::path> movies;
    for (const auto &entry : std::filesystem::directory_iterator(corpus, ec)) {
        if (std::filesystem::exists(entry.path() / "test.swf"))
            movies.push_back(entry.path());
    }
    std::sort(movies.begin(), movies.end());
    for (const auto &dir : movies) {
        benchmark::RegisterBenchmark(("parse_render/" + dir.filename().string()).c_str(), parseAndRender,
                                     readFile(dir / "test.swf"))
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("forty_buttons_one_second/baseline_clear", fortyButtons, false, Shadow::None)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("forty_buttons_one_second/advance_and_paint", fortyButtons, true,
                                 Shadow::None)
        ->Unit(benchmark::kMillisecond);
    // Against advance_and_paint: the same buttons with a drop shadow on the plate, or on
    // the square that moves every frame.
    benchmark::RegisterBenchmark("forty_buttons_one_second/shadowed_plate", fortyButtons, true,
                                 Shadow::OnPlate)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("forty_buttons_one_second/shadowed_moving_square", fortyButtons, true,
                                 Shadow::OnMovingSquare)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
