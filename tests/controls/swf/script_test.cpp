// The script engine's arrays and sort under hostile sizes: lengths that scripts
// may set freely must not turn into allocations or unbounded loops; clips that
// leave the stage with unload handlers; the root's own enterFrame handler; scales
// and rotation as scripts set them.
#include "controls/swf/avm1/array.h"
#include "controls/swf/avm1/headless.h"
#include "controls/swf/avm1/runtime.h"
#include "controls/swf/inputevents.h"
#include "controls/swf/movieerror.h"
#include "controls/swf/player.h"
#include "swfwriter.h"

#include <gtest/gtest.h>

namespace velmora::swf::avm1 {
namespace {

TEST(ScriptArrays, LengthsAreIntegersThatBoundTheirElements)
{
    Runtime rt(8, {});
    ArrayObject *a = rt.newArray({Value("x"), Value("y")});
    // Flash reads index names as 32-bit integers: 4294967295 is -1, so it does not
    // lengthen the array; 2147483647 does, and the length wraps below zero.
    rt.set(a, "4294967295", Value(1));
    EXPECT_EQ(a->length, 2);
    rt.set(a, "2147483647", Value(1));
    EXPECT_EQ(a->length, INT32_MIN);
    EXPECT_TRUE(rt.get(a, "0").isUndefined());
    // A length of 2^31 - 1 with no elements: joining it stays bounded (each hole
    // reads "undefined" in SWF 7 and later).
    rt.set(a, "length", Value(2147483647.0));
    std::vector<Value> none;
    const Value joined = rt.callMethod(a, "join", none);
    ASSERT_TRUE(joined.isString());
    EXPECT_EQ(joined.asString().size(), Limits::kMaxArrayLength * std::string("undefined,").size() - 1);
}

TEST(ScriptArrays, SortingSortedInputStaysWithinTheBudget)
{
    Runtime rt(8, {});
    std::vector<Value> values;
    values.reserve(20000);
    for (int i = 0; i < 20000; ++i)
        values.emplace_back(static_cast<double>(i));
    ArrayObject *a = rt.newArray(values);
    std::vector<Value> numeric{Value(16)};
    rt.beginFrame();
    rt.callMethod(a, "sort", numeric);
    const std::vector<Value> sorted = arrayElements(rt, a);
    ASSERT_EQ(sorted.size(), values.size());
    for (std::size_t i = 0; i < sorted.size(); ++i)
        ASSERT_EQ(sorted[i].asNumber(), static_cast<double>(i));
}

TEST(InputEvents, WaitsCloseBatchesAndAFileThatIsNoArrayIsNamed)
{
    auto batches = parseInputEvents(R"([{"type":"KeyDown","key":{"Char":"a"}},{"type":"Wait"},
        {"type":"TextInput","codepoint":"a"},{"type":"MouseDown","pos":[3,4]}])");
    ASSERT_TRUE(batches);
    ASSERT_EQ(batches->size(), 2U);
    ASSERT_EQ(batches->at(0).size(), 1U);
    EXPECT_EQ(batches->at(0)[0].key.code, 'A');
    EXPECT_EQ(batches->at(0)[0].key.character, 'a');
    ASSERT_EQ(batches->at(1).size(), 1U) << "text input is skipped";
    EXPECT_EQ(batches->at(1)[0].position, QPointF(3, 4));
    auto notArray = parseInputEvents(R"({"type":"Wait"})");
    ASSERT_FALSE(notArray);
    EXPECT_EQ(notArray.error(), movieError(MovieError::InputEventsNotArray));
    auto missing = loadInputEventsFile("/nonexistent/input.json");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().number, movieError(MovieError::InputEventsCannotOpen).number);
}

QByteArray traceAction(const QByteArray &text)
{
    QByteArray push;
    push.append('\x96');
    const int length = static_cast<int>(text.size()) + 2;
    push.append(static_cast<char>(length & 0xff)).append(static_cast<char>(length >> 8));
    push.append('\0').append(text).append('\0');
    return push.append('\x26');
}

// PlaceObject2 of `character` at `depth` with one onClipEvent(unload) handler.
QByteArray placeWithUnload(quint16 depth, quint16 character, const QByteArray &actions)
{
    swfwriter::BitWriter out;
    out.writeU8(0x80 | 0x02); // clip actions, character
    out.writeU16(depth);
    out.writeU16(character);
    out.writeU16(0);
    out.writeU32(ClipEvent::Unload);
    out.writeU32(ClipEvent::Unload);
    out.writeU32(static_cast<std::uint32_t>(actions.size() + 1));
    out.writeBytes(actions);
    out.writeU8(0);
    out.writeU32(0);
    return out.bytes();
}

TEST(ScriptTimeline, ClipsKeptForUnloadHandlersUnloadOnce)
{
    // The parent's timeline takes the clip off, then the root takes the parent off in
    // the same frame: the parent stays for its nested handler, which runs once.
    swfwriter::MovieBuilder builder(QSize(20, 20));
    builder.setVersion(8);
    const quint16 inner = builder.defineSprite(swfwriter::Timeline());
    swfwriter::Timeline parent;
    parent.addTag(TagCode::PlaceObject2, placeWithUnload(1, inner, traceAction("unload")));
    parent.showFrame();
    parent.removeObject(1);
    parent.showFrame();
    const quint16 outer = builder.defineSprite(parent);
    builder.placeObject(1, outer);
    builder.showFrame();
    builder.removeObject(1);
    builder.timeline().doAction(traceAction("frame 2"));
    builder.showFrame();
    builder.timeline().doAction(traceAction("frame 3").append('\x07'));
    builder.showFrame();
    const QByteArray bytes = builder.build();
    auto movie = loadMovie(
        {reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
    ASSERT_TRUE(movie.ok());
    EXPECT_EQ(runHeadless(*movie, 3, {}), "unload\nframe 2\nframe 3\n");
}

TEST(ScriptTimeline, RootOnEnterFrameRunsEveryFrameOfAStillMovie)
{
    // One frame: onEnterFrame = function() { trace("tick"); }; the root's own
    // handler keeps the movie running though no timeline moves.
    const QByteArray body = traceAction("tick");
    QByteArray define("\x9b\x05\x00\x00\x00\x00", 6); // DefineFunction "" with no parameters
    define.append(static_cast<char>(body.size())).append('\0').append(body);
    QByteArray name = traceAction("onEnterFrame");
    name.chop(1); // the push alone
    swfwriter::MovieBuilder builder(QSize(20, 20));
    builder.setVersion(8);
    builder.timeline().doAction(name + define + QByteArray("\x1d", 1)); // SetVariable
    builder.showFrame();
    const QByteArray bytes = builder.build();
    auto movie = loadMovie(
        {reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
    ASSERT_TRUE(movie.ok());
    EXPECT_EQ(runHeadless(*movie, 4, {}), "tick\ntick\ntick\n");
    int ticks = 0;
    Player player(*movie, {[&ticks](const std::string &) { ++ticks; }, {}});
    EXPECT_TRUE(player.isAnimated()) << "the host keeps a timer for the root's handler";
    player.stepFrame();
    EXPECT_EQ(ticks, 1);
}

// A Push of the root's target ("") and whole numbers, followed by `then`.
QByteArray pushRoot(std::initializer_list<qint32> numbers, const char *then)
{
    QByteArray values("\0\0", 2); // type string, empty
    for (const qint32 n : numbers) {
        values.append('\x07');
        for (int b = 0; b < 4; ++b)
            values.append(static_cast<char>((n >> (8 * b)) & 0xff));
    }
    QByteArray push("\x96", 1);
    push.append(static_cast<char>(values.size())).append('\0').append(values);
    return push.append(then);
}

TEST(ScriptProperties, ScalesAndRotationReadBackAsSet)
{
    // _xscale = 0 - _xscale twice flips the root and back; a rotation set while the
    // scale is zero is still there. Read from the matrix, the flip read 100, so the
    // second assignment flipped it again, and the rotation read 0.
    constexpr qint32 kXScale = 2, kRotation = 10;
    const QByteArray flip = pushRoot({kXScale, 0}, "") + pushRoot({kXScale}, "\x22\x0b\x23");
    const QByteArray traceX = pushRoot({kXScale}, "\x22\x26");
    const QByteArray traceRotation = pushRoot({kRotation}, "\x22\x26");
    swfwriter::MovieBuilder builder(QSize(20, 20));
    builder.setVersion(6);
    builder.timeline().doAction(flip + traceX + flip + traceX + pushRoot({kXScale, 0}, "\x23") +
                                pushRoot({kRotation, 30}, "\x23") + traceRotation + traceX);
    builder.showFrame();
    const QByteArray bytes = builder.build();
    auto movie = loadMovie(
        {reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
    ASSERT_TRUE(movie.ok());
    EXPECT_EQ(runHeadless(*movie, 1, {}), "-100\n100\n30\n0\n");
}

} // namespace
} // namespace velmora::swf::avm1
