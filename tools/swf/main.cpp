// velmora-swf info FILE
// velmora-swf shapes FILE
// velmora-swf list FILE [--frames N]
// velmora-swf render FILE OUT.png [--frames N] [--size WxH | --viewport WxH] [--quality low|high]
//                    [--input events.json]
// velmora-swf sounds FILE [--decode DIR]
// velmora-swf audio FILE OUT.wav [--frames N] [--input events.json]
// velmora-swf run FILE [--frames N] [--input events.json]
#include "controls/swf/avm1/headless.h"
#include "controls/swf/displaylist.h"
#include "controls/swf/morphgeometry.h"
#include "controls/swf/movie.h"
#include "controls/swf/player.h"
#include "controls/swf/sound/offlineaudio.h"
#include "soundcommands.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstring>
#include <string>

using namespace velmora::swf;

namespace {

int usage()
{
    std::fprintf(stderr, "usage: velmora-swf info FILE\n"
                         "       velmora-swf shapes FILE\n"
                         "       velmora-swf list FILE [--frames N]\n"
                         "       velmora-swf render FILE OUT.png [--frames N] [--size WxH | --viewport WxH] "
                         "[--quality low|high]\n"
                         "                          [--input events.json]\n"
                         "       velmora-swf sounds FILE [--decode DIR]\n"
                         "       velmora-swf audio FILE OUT.wav [--frames N] [--input events.json]\n"
                         "       velmora-swf run FILE [--frames N] [--input events.json]\n");
    return 2;
}

const char *characterKind(const Character &c)
{
    static const char *names[] = {"shape", "morph shape", "bitmap", "font",
                                  "text",  "edit text",   "sprite", "button"};
    return names[c.index()];
}

int info(const Movie &movie)
{
    const MovieHeader &h = movie.header;
    std::printf("version %d\nstage %g x %g px (origin %g, %g)\nframe rate %g fps\nframes %d\n", h.version,
                h.frameRect.width() / kTwipsPerPixel, h.frameRect.height() / kTwipsPerPixel,
                h.frameRect.xMin / kTwipsPerPixel, h.frameRect.yMin / kTwipsPerPixel, h.frameRate,
                h.frameCount);
    std::printf("background #%02x%02x%02x\n", movie.background.r, movie.background.g, movie.background.b);
    std::printf("characters %zu\n", movie.characters.size());
    for (const auto &[id, c] : movie.characters) {
        std::printf("  %5u %s", id, characterKind(c));
        if (const auto *t = std::get_if<EditText>(&c)) {
            std::printf(
                " bounds %d..%d x %d..%d font %u height %u align %d margins %d/%d leading %d%s%s \"%s\"",
                t->bounds.xMin, t->bounds.xMax, t->bounds.yMin, t->bounds.yMax, t->fontId, t->height,
                t->align, t->leftMargin, t->rightMargin, t->leading, t->wordWrap ? " wrap" : "",
                t->html ? " html" : "", t->text.c_str());
        } else if (const auto *f = std::get_if<Font>(&c)) {
            std::printf(" %zu glyphs, em %g, ascent %g descent %g leading %g", f->glyphs.size(), f->emSquare,
                        f->ascent, f->descent, f->leading);
        }
        std::printf("\n");
    }
    for (std::size_t f = 0; f < movie.tagsPerFrame.size(); ++f) {
        std::printf("frame %zu tags:", f + 1);
        for (int tag : movie.tagsPerFrame[f])
            std::printf(" %d", tag);
        std::printf("\n");
    }
    for (const std::string &w : movie.warnings)
        std::printf("warning: %s\n", w.c_str());
    return 0;
}

// Contours in twips, a curve's end marked ~ and its control point after it in brackets.
void printContours(const std::vector<Contour> &contours)
{
    for (const Contour &contour : contours) {
        std::printf("    (%d,%d)", contour.start.x, contour.start.y);
        for (const Edge &e : contour.edges) {
            if (e.curve)
                std::printf(" ~(%d,%d)[%d,%d]", e.to.x, e.to.y, e.control.x, e.control.y);
            else
                std::printf(" (%d,%d)", e.to.x, e.to.y);
        }
        std::printf("\n");
    }
}

// Prints every shape's fill and stroke contours in twips, for looking into drawing faults.
int shapes(const Movie &movie)
{
    std::vector<std::pair<std::string, ShapeGeometry>> all;
    for (const auto &[id, c] : movie.characters) {
        if (const auto *shape = std::get_if<Shape>(&c))
            all.emplace_back("shape " + std::to_string(id), shape->geometry);
        if (const auto *morph = std::get_if<MorphShape>(&c)) {
            for (double t : {0.0, 0.5, 1.0})
                all.emplace_back("morph " + std::to_string(id) + " at " + std::to_string(t),
                                 morphGeometry(*morph, t));
        }
    }
    for (const auto &[name, geometry] : all) {
        std::printf("%s\n", name.c_str());
        for (const auto &layer : geometry.layers) {
            for (const auto &fill : layer.fills) {
                std::printf("  fill #%02x%02x%02x%02x type %d\n", fill.style.color.r, fill.style.color.g,
                            fill.style.color.b, fill.style.color.a, static_cast<int>(fill.style.type));
                const Gradient &g = fill.style.gradient;
                if (fill.style.type != FillStyle::Type::Solid && fill.style.type != FillStyle::Type::Bitmap) {
                    std::printf(
                        "    gradient spread %d linear-rgb %d focal %g matrix %g %g %g %g %g %g stops",
                        static_cast<int>(g.spread), g.linearRgb, g.focal, g.matrix.a, g.matrix.b, g.matrix.c,
                        g.matrix.d, g.matrix.tx, g.matrix.ty);
                    for (const GradientStop &stop : g.stops)
                        std::printf(" %d:#%02x%02x%02x%02x", stop.ratio, stop.color.r, stop.color.g,
                                    stop.color.b, stop.color.a);
                    std::printf("\n");
                }
                printContours(fill.contours);
            }
            for (const auto &stroke : layer.strokes) {
                const LineStyle &l = stroke.style;
                std::printf("  stroke width %u caps %d/%d join %d miter %g%s%s%s, %zu runs\n", l.width,
                            static_cast<int>(l.startCap), static_cast<int>(l.endCap),
                            static_cast<int>(l.join), l.miterLimit, l.hasFill ? " filled" : "",
                            l.noHScale ? " no-h-scale" : "", l.noVScale ? " no-v-scale" : "",
                            stroke.contours.size());
                printContours(stroke.contours);
            }
        }
    }
    return 0;
}

// Prints the display list after some frames: each object's depth, character, matrix
// (twips), clip depth, blend mode and filters, nested lists indented.
void printList(const DisplayList &list, int indent)
{
    for (const auto &[depth, o] : list.objects()) {
        const Matrix &m = o.matrix;
        std::printf("%*sdepth %d: %s %u matrix %g %g %g %g %g %g", indent, "", depth,
                    o.character ? characterKind(*o.character) : "nothing", o.characterId, m.a, m.b, m.c, m.d,
                    m.tx, m.ty);
        if (o.clipDepth > 0)
            std::printf(" clips to %d", o.clipDepth);
        if (o.blendMode != BlendMode::Normal)
            std::printf(" blend %d", static_cast<int>(o.blendMode));
        if (!o.filters.empty())
            std::printf(" %zu filters", o.filters.size());
        if (!o.colorTransform.isIdentity())
            std::printf(" tinted");
        std::printf("%s\n", o.visible ? "" : " hidden");
        if (o.children)
            printList(*o.children, indent + 2);
    }
}

int list(std::shared_ptr<const Movie> movie, int argc, char **argv)
{
    int frames = 1;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--frames") != 0)
            return usage();
        frames = std::clamp(std::atoi(argv[i + 1]), 1, 1000000);
    }
    Player player(std::move(movie));
    for (int i = 1; i < frames; ++i)
        player.stepFrame();
    printList(player.root(), 0);
    return 0;
}

// Runs the movie headless and prints what its scripts trace.
int run(std::shared_ptr<const Movie> movie, int argc, char **argv)
{
    int frames = 1;
    InputBatches input;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--frames")) {
            frames = std::clamp(std::atoi(argv[i + 1]), 1, 1000000);
        } else if (!std::strcmp(argv[i], "--input")) {
            if (!velmora::swftool::readInput(argv[i + 1], input))
                return 1;
        } else {
            return usage();
        }
    }
    const std::string text = avm1::runHeadless(std::move(movie), frames, input);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

// Renders the movie after its frames into a PNG image.
int render(const std::shared_ptr<const Movie> &movie, int argc, char **argv)
{
    // Text in system fonts needs the font database; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int frames = 1;
    Quality quality = Quality::High;
    QSize size, viewport;
    InputBatches input;
    for (int i = 4; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--frames")) {
            frames = std::max(1, std::atoi(argv[i + 1]));
        } else if (!std::strcmp(argv[i], "--quality")) {
            quality = std::strcmp(argv[i + 1], "low") ? Quality::High : Quality::Low;
        } else if (!std::strcmp(argv[i], "--size") || !std::strcmp(argv[i], "--viewport")) {
            QSize &target = argv[i][2] == 's' ? size : viewport;
            if (std::sscanf(argv[i + 1], "%dx%d", &target.rwidth(), &target.rheight()) != 2)
                return usage();
        } else if (!std::strcmp(argv[i], "--input")) {
            if (!velmora::swftool::readInput(argv[i + 1], input))
                return 1;
        } else {
            return usage();
        }
    }
    // As the reference corpus renders a capture: the mouse events of batch k after
    // frame k; with a viewport the stage is drawn at its own size into an image of
    // the viewport's.
    Player player(movie);
    auto applyBatch = [&](int frame) {
        if (frame >= 1 && static_cast<std::size_t>(frame) <= input.size())
            applyInput(player, input[static_cast<std::size_t>(frame - 1)]);
    };
    applyBatch(1);
    for (int i = 1; i < frames; ++i) {
        player.stepFrame();
        applyBatch(i + 1);
    }
    const QSize stage = player.stageSize().toSize().expandedTo(QSize(1, 1));
    if (!viewport.isEmpty())
        size = viewport;
    if (size.isEmpty())
        size = stage;
    if (size.width() > 8192 || size.height() > 8192) {
        std::fprintf(stderr, "size too large\n");
        return 2;
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        player.render(painter,
                      viewport.isEmpty() ? QRectF(QPointF(0, 0), QSizeF(size))
                                         : QRectF(QPointF(0, 0), player.stageSize()),
                      quality);
    }
    if (!image.save(QString::fromLocal8Bit(argv[3]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    const std::string command = argv[1];
    auto loaded = loadMovieFile(argv[2]);
    if (!loaded) {
        std::fprintf(stderr, "%s\n", loaded.error().description.c_str());
        return 1;
    }
    std::shared_ptr<const Movie> movie = *loaded;
    if (command == "info")
        return info(*movie);
    if (command == "shapes")
        return shapes(*movie);
    if (command == "sounds") {
        const int status = velmora::swftool::soundsCommand(*movie, argc, argv);
        return status == 2 ? usage() : status;
    }
    if (command == "audio" && argc >= 4) {
        const int status = velmora::swftool::audioCommand(movie, argc, argv);
        return status == 2 ? usage() : status;
    }
    if (command == "run")
        return run(movie, argc, argv);
    if (command == "list")
        return list(movie, argc, argv);
    if (command != "render" || argc < 4)
        return usage();
    return render(movie, argc, argv);
}
