// The sound corpus: every decoder against the independent native-rate decodes, and the
// mixer with the timeline (velmora-swf audio's rendering) against a track assembled
// from the 44.1 kHz references at the times the movie gives, under the corpus's bars.
#include "controls/swf/movie.h"
#include "controls/swf/player.h"
#include "controls/swf/sound/decoder.h"
#include "controls/swf/sound/offlineaudio.h"
#include "controls/swf/sound/wavfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace velmora::swf {
namespace {

const QString kCorpus = QStringLiteral(VELMORA_SHARED_DIR "/corpus/sound");
constexpr long kWindow = 441;    // 10 ms
constexpr long kOnsetSlack = 44; // 1 ms
constexpr double kQuietDb = -40; // windows below this in the reference are not compared
constexpr int kActive = 328;     // 1 % of full scale: where a sound is taken to begin or end

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

PcmBuffer readWav(const QString &path)
{
    const QByteArray bytes = readAll(path);
    auto pcm = decodeWav(
        {reinterpret_cast<const std::uint8_t *>(bytes.data()), static_cast<std::size_t>(bytes.size())});
    EXPECT_TRUE(pcm) << path.toStdString();
    return pcm.value_or(PcmBuffer{});
}

QStringList tests()
{
    return QDir(kCorpus)
        .entryList({"*"}, QDir::Dirs | QDir::NoDotAndDotDot)
        .filter(QRegularExpression("^[^_]"));
}

QJsonObject expectations(const QString &test)
{
    return QJsonDocument::fromJson(readAll(kCorpus + "/" + test + "/expect.json")).object();
}

std::shared_ptr<const Movie> movieOf(const QString &test)
{
    auto movie = loadMovieFile((kCorpus + "/" + test + "/test.swf").toStdString());
    EXPECT_TRUE(movie) << test.toStdString();
    return movie ? *movie : nullptr;
}

// Compares a decode with its reference under the bar of its codec.
void expectDecodeMatches(const PcmBuffer &mine, const PcmBuffer &reference, int codec, std::size_t compared)
{
    ASSERT_EQ(mine.channels, reference.channels);
    EXPECT_EQ(static_cast<int>(mine.rate), static_cast<int>(reference.rate));
    const bool exact = codec == 0 || codec == 1 || codec == 3;
    if (exact) {
        compared = std::min(compared * static_cast<std::size_t>(mine.channels), reference.samples.size());
        ASSERT_GE(mine.samples.size(), compared);
        EXPECT_TRUE(std::equal(reference.samples.begin(),
                               reference.samples.begin() + static_cast<long>(compared),
                               mine.samples.begin()));
        return;
    }
    ASSERT_EQ(mine.samples.size(), reference.samples.size());
    double error = 0, signal = 0;
    int worst = 0;
    for (std::size_t i = 0; i < mine.samples.size(); ++i) {
        const int d = mine.samples[i] - reference.samples[i];
        worst = std::max(worst, std::abs(d));
        error += double(d) * d;
        signal += double(reference.samples[i]) * reference.samples[i];
    }
    const double n = std::max<double>(1, static_cast<double>(mine.samples.size()));
    if (codec == 2) {
        EXPECT_LE(worst, 4);
        EXPECT_LE(std::sqrt(error / n), 0.5);
    } else {
        EXPECT_GE(10 * std::log10(signal / std::max(error, 1e-9)), 60.0);
    }
}

TEST(SoundCorpus, DecodersMatchTheNativeReferences)
{
    if (tests().isEmpty())
        GTEST_SKIP() << "corpus not found in " << kCorpus.toStdString();
    int checked = 0;
    for (const QString &test : tests()) {
        SCOPED_TRACE(test.toStdString());
        const QJsonObject expect = expectations(test);
        auto movie = movieOf(test);
        ASSERT_TRUE(movie);
        for (const QJsonValue v : expect.value("define_sounds").toArray()) {
            const QJsonObject s = v.toObject();
            const auto id = static_cast<std::uint16_t>(s.value("id").toInt());
            SCOPED_TRACE("sound " + std::to_string(id));
            ASSERT_TRUE(movie->sounds.count(id));
            auto mine = decodeSound(movie->sounds.at(id));
            ASSERT_TRUE(mine);
            const PcmBuffer reference =
                readWav(kCorpus + "/" + test + "/" + s["reference"]["native"].toString());
            expectDecodeMatches(*mine, reference, s.value("format").toInt(),
                                static_cast<std::size_t>(s.value("sample_count").toInt()));
            ++checked;
        }
        for (const QJsonValue v : expect.value("streams").toArray()) {
            const QJsonObject s = v.toObject();
            if (s.value("blocks").toArray().isEmpty())
                continue;
            ASSERT_EQ(s.value("timeline").toString(), "root");
            ASSERT_TRUE(movie->root.stream);
            auto mine = decodeStream(*movie->root.stream);
            ASSERT_TRUE(mine);
            const PcmBuffer reference =
                readWav(kCorpus + "/" + test + "/" + s["reference"]["native"].toString());
            expectDecodeMatches(mine->pcm, reference, s.value("format").toInt(), reference.frames());
            ++checked;
        }
    }
    EXPECT_GE(checked, 29);
}

// One sound as the references say it should play: a 44.1 kHz reference placed at a
// frame's time, with SOUNDINFO's cut, loops and envelope applied.
struct Placed {
    int soundId = 0;
    long onset = 0;
    QJsonObject info;
    long end = 0; // set when assembled
};

long frameStart(int frame, double rate)
{
    return static_cast<long>(std::floor((frame - 1) * kMixRate / rate));
}

std::vector<Placed> expectedStarts(const QJsonObject &expect)
{
    const double rate = expect["swf"]["frame_rate"].toDouble();
    std::vector<Placed> starts;
    for (const QJsonValue v : expect["timeline"]["start_sound"].toArray()) {
        const QJsonObject s = v.toObject();
        if (s.value("tag").toString() == "StartSound")
            starts.push_back(
                {s["sound_id"].toInt(), frameStart(s["frame"].toInt(), rate), s["soundinfo"].toObject()});
    }
    for (const QJsonValue v : expect["expected"]["sound_starts"].toArray()) {
        const QJsonObject s = v.toObject();
        if (!s["sound_id"].isNull())
            starts.push_back({s["sound_id"].toInt(), frameStart(s["after_frame"].toInt() + 1, rate),
                              s["soundinfo"].toObject()});
    }
    return starts;
}

void addSound(std::vector<float> &track, const PcmBuffer &ref, Placed &p, std::vector<Placed> &all)
{
    const QJsonObject &info = p.info;
    if (info["sync_stop"].toBool()) {
        for (Placed &q : all) {
            if (q.soundId == p.soundId && q.onset < p.onset && q.end > p.onset) {
                std::fill(track.begin() + 2 * p.onset,
                          track.begin() + 2 * std::min<long>(q.end, long(track.size() / 2)), 0.0f);
                q.end = p.onset;
            }
        }
        return;
    }
    if (info["sync_no_multiple"].toBool() && std::any_of(all.begin(), all.end(), [&](const Placed &q) {
            return q.soundId == p.soundId && q.onset < p.onset && q.end > p.onset;
        }))
        return;
    const long in = info["in_point"].toInt(0);
    const long out =
        std::min<long>(info["out_point"].toInt(static_cast<int>(ref.frames())), long(ref.frames()));
    const int loops = std::max(1, info["loops"].toInt(1));
    std::vector<std::array<double, 3>> envelope;
    for (const QJsonValue e : info["envelope"].toArray()) {
        // Points are {pos44, left, right} objects, or [pos44, left, right] in the button list.
        const QJsonObject o = e.toObject();
        const QJsonArray a = e.toArray();
        const bool isArray = e.isArray();
        envelope.push_back({isArray ? a[0].toDouble() : o["pos44"].toDouble(),
                            (isArray ? a[1].toDouble() : o["left"].toDouble()) / 32768,
                            (isArray ? a[2].toDouble() : o["right"].toDouble()) / 32768});
    }
    auto gain = [&](long t, int ch) {
        if (envelope.empty())
            return 1.0;
        auto next = std::find_if(envelope.begin(), envelope.end(), [&](const auto &e) { return e[0] > t; });
        if (next == envelope.begin() || next == envelope.end())
            return (next == envelope.end() ? envelope.back() : envelope.front())[1 + ch];
        const auto &a = *(next - 1), &b = *next;
        return a[1 + ch] + (b[1 + ch] - a[1 + ch]) * (t - a[0]) / (b[0] - a[0]);
    };
    long t = 0;
    for (int loop = 0; loop < loops; ++loop) {
        for (long i = in; i < out; ++i, ++t) {
            const long at = p.onset + t;
            if (at >= long(track.size() / 2))
                break;
            for (int ch = 0; ch < 2; ++ch)
                track[2 * at + ch] += ref.samples[2 * i + ch] * gain(t, ch);
        }
    }
    p.end = p.onset + t;
}

double windowDb(const std::vector<float> &x, long window, int ch)
{
    double sum = 0;
    for (long i = window * kWindow; i < (window + 1) * kWindow; ++i)
        sum += double(x[2 * i + ch]) * x[2 * i + ch];
    return 10 * std::log10(std::max(sum / kWindow, 1e-3) / (32768.0 * 32768.0));
}

// The first and last frame at or above kActive in [from, to).
std::pair<long, long> activeSpan(const std::vector<float> &x, long from, long to)
{
    long first = -1, last = -1;
    for (long i = std::max(0L, from); i < std::min(to, long(x.size() / 2)); ++i) {
        if (std::abs(x[2 * i]) >= kActive || std::abs(x[2 * i + 1]) >= kActive) {
            first = first < 0 ? i : first;
            last = i;
        }
    }
    return {first, last};
}

TEST(SoundCorpus, TimelinePlaysAtTheFramesTheMovieGives)
{
    if (tests().isEmpty())
        GTEST_SKIP() << "corpus not found";
    int checked = 0;
    for (const QString &test : tests()) {
        const QJsonObject expect = expectations(test);
        std::vector<Placed> starts = expectedStarts(expect);
        const QJsonArray streams = expect["streams"].toArray();
        const bool hasStream = !streams.isEmpty() && !streams[0]["blocks"].toArray().isEmpty();
        const bool needsInput = expect["expected"].toObject().contains("sound_starts");
        const QString inputPath = kCorpus + "/" + test + "/input.json";
        if ((starts.empty() && !hasStream) || (needsInput && !QFile::exists(inputPath)))
            continue;
        SCOPED_TRACE(test.toStdString());
        auto movie = movieOf(test);
        ASSERT_TRUE(movie);
        const int frames =
            std::max(expect["swf"]["frame_count"].toInt(), expect["expected"]["num_frames"].toInt());
        Player player(movie);
        InputBatches input;
        if (QFile::exists(inputPath)) {
            auto parsed = parseInputEvents(readAll(inputPath));
            ASSERT_TRUE(parsed) << parsed.error().description;
            input = std::move(*parsed);
        }
        const PcmBuffer rendered = renderAudio(player, frames, input);
        std::vector<float> actual(rendered.samples.begin(), rendered.samples.end());
        std::vector<float> wanted(actual.size());

        std::vector<Placed> placed;
        for (Placed &p : starts) {
            const PcmBuffer ref =
                readWav(kCorpus + "/" + test + "/sound_" + QString::number(p.soundId) + ".44k.wav");
            addSound(wanted, ref, p, placed);
            placed.push_back(p);
        }
        if (hasStream) {
            const double rate = expect["swf"]["frame_rate"].toDouble();
            Placed p{-1, frameStart(streams[0]["blocks"][0]["frame"].toInt(), rate), {}};
            addSound(wanted, readWav(kCorpus + "/" + test + "/stream_root.44k.wav"), p, placed);
            placed.push_back(p);
        }

        // Level: 10 ms windows per channel, where the reference is audible.
        double total = 0;
        int compared = 0, far = 0;
        double worst = 0;
        for (long w = 0; w < long(actual.size() / 2) / kWindow; ++w) {
            for (int ch = 0; ch < 2; ++ch) {
                const double ref = windowDb(wanted, w, ch);
                if (ref < kQuietDb)
                    continue;
                const double d = std::abs(windowDb(actual, w, ch) - ref);
                total += d;
                ++compared;
                far += d > 3;
                worst = std::max(worst, d);
            }
        }
        std::printf("%-32s %5d windows: mean %.2f dB, worst %.2f dB\n", qPrintable(test), compared,
                    total / std::max(1, compared), worst);
        EXPECT_GT(compared, 0);
        EXPECT_EQ(far, 0) << "windows off by more than 3 dB";
        EXPECT_LE(total / std::max(1, compared), 1.0);
        // Onsets and ends, for sounds that do not overlap another one.
        for (const Placed &p : placed) {
            if (p.end <= p.onset || std::any_of(placed.begin(), placed.end(), [&](const Placed &q) {
                    return &q != &p && q.end > q.onset && q.onset < p.end + kWindow &&
                           q.end + kWindow > p.onset;
                }))
                continue;
            const auto want = activeSpan(wanted, p.onset - kWindow, p.end + kWindow);
            const auto got = activeSpan(actual, p.onset - kWindow, p.end + kWindow);
            EXPECT_NEAR(got.first, want.first, kOnsetSlack) << "onset of sound " << p.soundId;
            EXPECT_NEAR(got.second, want.second, kOnsetSlack) << "end of sound " << p.soundId;
            ++checked;
        }
    }
    EXPECT_GE(checked, 10);
}

} // namespace
} // namespace velmora::swf
