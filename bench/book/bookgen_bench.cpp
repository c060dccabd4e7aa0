// Cost of making the book's button movies, against the glyph outlines alone as the baseline:
// the writer's own work (merging contours, edge records, 24 frames) is the difference.
#include "buttonmovie.h"
#include "movietable.h"
#include "swfwriter.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

QList<velmora::book::MovieSpec> bookMovies()
{
    QFile f(QStringLiteral(VELMORA_SOURCE_DIR "/book/movies.tsv"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    auto entries = velmora::book::parseMovieTable(QString::fromUtf8(f.readAll()));
    return entries.ok() ? *entries : QList<velmora::book::MovieSpec>{};
}

QFont labelFont()
{
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(64);
    return font;
}

// Baseline: only the outlines of every label, as Qt makes them.
void BM_LabelOutlinesOnly(benchmark::State &state)
{
    const auto entries = bookMovies();
    const QFont font = labelFont();
    for (auto _ : state) {
        for (const auto &s : entries) {
            benchmark::DoNotOptimize(velmora::swfwriter::textOutline(s.label, font));
            if (!s.sublabel.isEmpty())
                benchmark::DoNotOptimize(velmora::swfwriter::textOutline(s.sublabel, font));
        }
    }
    state.counters["movies"] = static_cast<double>(entries.size());
}
BENCHMARK(BM_LabelOutlinesOnly)->Unit(benchmark::kMillisecond);

// All 40 movies of the book, as the build makes them.
void BM_AllBookMovies(benchmark::State &state)
{
    const auto entries = bookMovies();
    const QFont font = labelFont();
    qint64 bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const auto &s : entries)
            bytes += velmora::book::makeButtonMovie(s, font).size();
    }
    state.counters["movies"] = static_cast<double>(entries.size());
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_AllBookMovies)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (!QFontDatabase::families().contains(QStringLiteral("Noto Sans CJK SC"))) {
        std::fprintf(stderr, "Noto Sans CJK SC is not installed\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
