#include "soundcommands.h"

#include "controls/swf/player.h"
#include "controls/swf/sound/decoder.h"
#include "controls/swf/sound/offlineaudio.h"
#include "controls/swf/sound/wavfile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace velmora::swftool {

using namespace swf;

namespace {

constexpr int kMaxFrames = 1 << 20;

const char *codecName(SoundCodec codec)
{
    static const char *names[] = {"pcm-native-endian", "adpcm",         "mp3",       "pcm-little-endian",
                                  "nellymoser-16k",    "nellymoser-8k", "nellymoser"};
    return names[static_cast<int>(codec)];
}

std::string formatText(const SoundFormat &f)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s %g Hz %d-bit %s", codecName(f.codec), f.rate(),
                  f.sixteenBit ? 16 : 8, f.channels == 2 ? "stereo" : "mono");
    return text;
}

std::string infoText(const SoundInfo &info)
{
    std::string text;
    if (info.syncStop)
        text += " sync-stop";
    if (info.syncNoMultiple)
        text += " no-multiple";
    if (info.inPoint)
        text += " in " + std::to_string(*info.inPoint);
    if (info.outPoint)
        text += " out " + std::to_string(*info.outPoint);
    if (info.loops != 1)
        text += " loops " + std::to_string(info.loops);
    for (const EnvelopePoint &p : info.envelope)
        text += " env " + std::to_string(p.position) + ":" + std::to_string(p.left) + "/" +
                std::to_string(p.right);
    return text;
}

bool writeFile(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Every timeline with its name: "root" or the sprite's id.
std::vector<std::pair<std::string, const Timeline *>> timelines(const Movie &movie)
{
    std::vector<std::pair<std::string, const Timeline *>> all{{"root", &movie.root}};
    for (const auto &[id, c] : movie.characters) {
        if (const auto *sprite = std::get_if<Sprite>(&c))
            all.emplace_back(std::to_string(id), &sprite->timeline);
    }
    return all;
}

void printTable(const Movie &movie)
{
    for (const auto &[id, s] : movie.sounds) {
        std::printf("sound %u: %s, %u samples", id, formatText(s.format).c_str(), s.sampleCount);
        if (s.format.codec == SoundCodec::Mp3)
            std::printf(", seek %u", s.seekSamples);
        std::printf(", %zu bytes\n", s.data.size());
    }
    for (const auto &[name, timeline] : timelines(movie)) {
        for (std::size_t f = 0; f < timeline->frames.size(); ++f) {
            for (const StartSound &s : timeline->frames[f].sounds) {
                const std::string sound =
                    s.className.empty() ? std::to_string(s.soundId) : "\"" + s.className + "\"";
                std::printf("start %s frame %zu: sound %s%s\n", name.c_str(), f + 1, sound.c_str(),
                            infoText(s.info).c_str());
            }
        }
        if (const auto &stream = timeline->stream) {
            std::printf("stream %s: %s, %u samples per frame, latency %d, %zu blocks from frame %d\n",
                        name.c_str(), formatText(stream->head.format).c_str(), stream->head.samplesPerBlock,
                        stream->head.latencySeek, stream->blocks.size(),
                        stream->blocks.empty() ? 0 : stream->blocks.front().frame + 1);
        }
    }
    static const char *transitions[] = {"roll-out", "roll-over", "press", "release"};
    for (const auto &[id, c] : movie.characters) {
        const auto *button = std::get_if<Button>(&c);
        for (std::size_t t = 0; button && t < button->sounds.size(); ++t) {
            if (const auto &s = button->sounds[t])
                std::printf("button %u %s: sound %u%s\n", id, transitions[t], s->soundId,
                            infoText(s->info).c_str());
        }
    }
}

int decodeAll(const Movie &movie, const std::filesystem::path &dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    int failures = 0;
    auto write = [&](const std::string &name, const Result<PcmBuffer> &pcm) {
        if (!pcm) {
            std::fprintf(stderr, "%s: %s\n", name.c_str(), pcm.error().description.c_str());
            ++failures;
        } else if (!writeFile(dir / (name + ".wav"), encodeWav(*pcm))) {
            std::fprintf(stderr, "cannot write %s\n", (dir / (name + ".wav")).c_str());
            ++failures;
        }
    };
    for (const auto &[id, s] : movie.sounds)
        write("sound_" + std::to_string(id), decodeSound(s));
    for (const auto &[name, timeline] : timelines(movie)) {
        if (!timeline->stream)
            continue;
        auto stream = decodeStream(*timeline->stream);
        write("stream_" + name, stream ? Result<PcmBuffer>(stream->pcm) : Result<PcmBuffer>(stream.error()));
    }
    return failures ? 1 : 0;
}

} // namespace

int soundsCommand(const Movie &movie, int argc, char **argv)
{
    printTable(movie);
    if (argc >= 5 && !std::strcmp(argv[3], "--decode"))
        return decodeAll(movie, argv[4]);
    return argc == 3 ? 0 : 2;
}

bool readInput(const char *path, swf::InputBatches &input)
{
    auto parsed = swf::loadInputEventsFile(path);
    if (!parsed) {
        std::fprintf(stderr, "%s\n", parsed.error().description.c_str());
        return false;
    }
    input = std::move(*parsed);
    return true;
}

int audioCommand(std::shared_ptr<const Movie> movie, int argc, char **argv)
{
    int frames = movie->header.frameCount;
    InputBatches input;
    for (int i = 4; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--frames")) {
            frames = std::clamp(std::atoi(argv[i + 1]), 1, kMaxFrames);
        } else if (!std::strcmp(argv[i], "--input")) {
            if (!readInput(argv[i + 1], input))
                return 1;
        } else {
            return 2;
        }
    }
    Player player(std::move(movie));
    if (!writeFile(argv[3], encodeWav(renderAudio(player, frames, input)))) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}

} // namespace velmora::swftool
