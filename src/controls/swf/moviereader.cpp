#include "controls/swf/moviereader.h"

#include "controls/swf/bitreader.h"
#include "controls/swf/definitionreader.h"
#include "controls/swf/movieerror.h"
#include "controls/swf/sound/soundtags.h"
#include "controls/swf/swfcodes.h"
#include "controls/swf/timelinereader.h"

namespace velmora::swf {

int Timeline::findLabel(const std::string &label) const
{
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].label.size() == label.size() &&
            std::equal(label.begin(), label.end(), frames[i].label.begin(),
                       [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
            return static_cast<int>(i);
    }
    return -1;
}

namespace {

// Reads a tag stream, the root's or a sprite's, frame by frame: control tags go to
// the timeline reader, defining tags (on the root only) to the definition reader.
class TagStreamReader {
public:
    explicit TagStreamReader(Movie &movie)
        : m_movie(movie), m_definitions(movie), m_timeline(movie.header.version)
    {
    }

    void readTimeline(BitReader &in, Timeline &timeline, int declaredFrames, bool root)
    {
        Frame frame;
        std::vector<int> tags;
        while (!in.atEnd()) {
            // Frame numbers are 16-bit, and a movie of nothing but tiny tags (a
            // compressed bomb) must not grow the model without end.
            if (timeline.frames.size() >= kMaxFrames || ++m_tagCount > kMaxTags) {
                m_movie.warnings.push_back("too many frames or tags; the rest is ignored");
                break;
            }
            int code = 0;
            std::size_t length = 0;
            try {
                std::uint16_t header = in.u16();
                code = header >> 6;
                length = header & 0x3F;
                if (length == 0x3F)
                    length = in.u32();
            } catch (const TruncatedData &) {
                break;
            }
            if (length > in.remaining()) {
                m_movie.warnings.push_back("tag " + std::to_string(code) + " runs past the end of the data");
                length = in.remaining();
            }
            BitReader body(in.bytes(length));
            const auto tag = static_cast<TagCode>(code);
            if (tag == TagCode::End)
                break;
            if (root)
                tags.push_back(code);
            if (tag == TagCode::ShowFrame) {
                timeline.frames.push_back(std::move(frame));
                frame = {};
                if (root) {
                    m_movie.tagsPerFrame.push_back(std::move(tags));
                    tags.clear();
                }
                continue;
            }
            try {
                if (!readSoundTag(tag, body, m_movie, timeline, frame, root))
                    readTag(tag, body, frame, root);
            } catch (const std::exception &e) {
                m_movie.warnings.push_back("tag " + std::to_string(code) + ": " + e.what());
            }
        }
        if (!frame.commands.empty() || !frame.actions.empty() || !frame.initActions.empty() ||
            !frame.sounds.empty())
            timeline.frames.push_back(
                std::move(frame)); // a stream that ends early still shows its last frame
        if (root && !tags.empty())
            m_movie.tagsPerFrame.push_back(std::move(tags));
        // A header that counts fewer frames than the file holds does not hide them:
        // Flash plays every frame it reads.
        timeline.frameCount = std::max<int>({1, declaredFrames, static_cast<int>(timeline.frames.size())});
    }

private:
    void readTag(TagCode code, BitReader &body, Frame &frame, bool root)
    {
        if (m_timeline.read(code, body, frame, root) || !root)
            return; // definitions only count on the root timeline
        switch (code) {
        case TagCode::FileAttributes:
            m_timeline.setScriptsElsewhere((body.u8() & 0x08) != 0);
            return;
        case TagCode::DefineSprite:
            readSprite(body);
            return;
        case TagCode::ScriptLimits:
            m_movie.scriptLimits.maxRecursion = body.u16();
            m_movie.scriptLimits.timeoutSeconds = body.u16();
            return;
        default:
            // Metadata, scripts for another runtime: not needed to draw.
            m_definitions.read(code, body);
            return;
        }
    }

    void readSprite(BitReader &in)
    {
        const std::uint16_t id = in.u16();
        const int frames = in.u16();
        Sprite sprite;
        sprite.byteLength = static_cast<std::uint32_t>(in.remaining());
        readTimeline(in, sprite.timeline, frames, false);
        m_movie.characters.insert_or_assign(id, std::move(sprite));
    }

    Movie &m_movie;
    DefinitionReader m_definitions;
    TimelineReader m_timeline;
    std::size_t m_tagCount = 0;
    static constexpr std::size_t kMaxFrames = 65535;
    static constexpr std::size_t kMaxTags = 500000;
};

} // namespace

Result<std::shared_ptr<Movie>> readMovie(std::span<const std::uint8_t> file)
{
    Result<MovieBody> body = decompressMovie(file);
    if (!body)
        return body.error();
    auto movie = std::make_shared<Movie>();
    movie->header.version = body->version;
    movie->fileLength = body->declaredLength;
    BitReader in(body->bytes);
    try {
        movie->header.frameRect = in.rect();
        int fraction = in.u8();
        movie->header.frameRate = in.u8() + fraction / 256.0;
        movie->header.frameCount = in.u16();
    } catch (const TruncatedData &) {
        return movieError(MovieError::HeaderEndsEarly);
    }
    if (body->bytes.size() + 8 < body->declaredLength)
        movie->warnings.push_back("the movie is shorter than its header says");
    TagStreamReader(*movie).readTimeline(in, movie->root, movie->header.frameCount, true);
    return movie;
}

} // namespace velmora::swf
