// Scripts that ask for much work with few instructions: copies of long strings share
// the text, work on it counts against the frame's budget by length, searches stay
// linear, gotos count the frames they replay, and a headless run keeps a bounded
// trace, and the long strings a movie keeps stay within a bound across frames.
#include "controls/swf/avm1/array.h"
#include "controls/swf/avm1/headless.h"
#include "controls/swf/avm1/interpreter.h"
#include "controls/swf/avm1/runtime.h"
#include "controls/swf/player.h"
#include "swfwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace velmora::swf::avm1 {
namespace {

// How many times `work` runs in one frame before the budget stops it (at most `cap`).
template <class Work> int runsInOneFrame(Runtime &rt, int cap, Work &&work)
{
    rt.beginFrame();
    for (int i = 0; i < cap; ++i) {
        try {
            work();
        } catch (const ScriptAbort &) {
            return i;
        }
    }
    return cap;
}

TEST(ScriptStrings, CopiesShareTheTextAndWorkOnItIsChargedByLength)
{
    Runtime rt(6, {});
    const std::size_t size = std::size_t{1} << 21;
    const Value text(std::string(size, '7')), same(std::string(size, '7'));
    const Value copy = text;
    EXPECT_EQ(&copy.asString(), &text.asString());
    EXPECT_TRUE(Value(1.0).asString().empty());
    // Each operation reads the whole text: the budget allows it about
    // kInstructionsPerFrame * kBytesPerInstruction / size times a frame.
    const int allowed =
        static_cast<int>(Limits::kInstructionsPerFrame * Limits::kBytesPerInstruction / size) + 1;
    const int cap = 20 * allowed;
    Object *o = rt.newObject();
    std::vector<std::pair<const char *, std::function<void()>>> work{
        {"toString", [&] { (void)rt.toString(text); }},
        {"toNumber", [&] { (void)rt.toNumber(text); }},
        {"toBoolean", [&] { (void)rt.toBoolean(text); }},
        {"concatenation", [&] { (void)add2(rt, text, Value("x")); }},
        {"equality", [&] { (void)strictEquals(rt, text, same); }},
        {"comparison", [&] { (void)less2(rt, text, same); }},
        {"length", [&] { (void)rt.getMember(text, "length"); }},
        {"long property name", [&] { (void)rt.get(o, text.asString()); }},
    };
    for (const auto &[name, run] : work)
        EXPECT_LE(runsInOneFrame(rt, cap, run), allowed) << name;
}

TEST(ScriptStrings, LongNeedlesAreFoundAtTheirFirstAndLastPlaces)
{
    // A needle of many equal characters in a text of the same: the plain search
    // compares almost the whole needle at every place.
    Runtime rt(8, {});
    const std::string run(200000, 'a');
    const Value text(run + "b" + run + "b" + run);
    std::vector<Value> needle{Value(std::string(100000, 'a') + "b")};
    EXPECT_EQ(rt.callMethod(text, "indexOf", needle).asNumber(), 100000);
    EXPECT_EQ(rt.callMethod(text, "lastIndexOf", needle).asNumber(), 300001);
    needle.emplace_back(300000.0);
    EXPECT_EQ(rt.callMethod(text, "lastIndexOf", needle).asNumber(), 100000);
    needle.back() = 100001.0;
    EXPECT_EQ(rt.callMethod(text, "indexOf", needle).asNumber(), 300001);
    needle.back() = 300002.0;
    EXPECT_EQ(rt.callMethod(text, "indexOf", needle).asNumber(), -1);
    std::vector<Value> separator{Value(std::string(50, 'a') + "b")};
    const Value parts = rt.callMethod(text, "split", separator);
    ASSERT_TRUE(parts.isObject());
    EXPECT_EQ(rt.toString(rt.get(parts.asObject(), "length")), "3");
    EXPECT_EQ(rt.toString(rt.get(parts.asObject(), "2")), run);
}

TEST(ScriptTrace, AHeadlessRunCutsItsTraceWithAMarker)
{
    // a = new Array(262143); s = a.join(); for (;;) trace(s);
    // Every frame traces some 30 MiB, within its budget; the run keeps 16 MiB.
    const QByteArray actions = QByteArray::fromHex("961400"
                                                   "006100"
                                                   "07ffff0300"
                                                   "0701000000"
                                                   "0041727261790040"
                                                   "1d"
                                                   "960b00"
                                                   "007300"
                                                   "0700000000"
                                                   "006100"
                                                   "1c"
                                                   "960600006a6f696e00"
                                                   "521d"
                                                   "960300007300"
                                                   "1c26"
                                                   "990200f3ff");
    swfwriter::MovieBuilder builder(QSize(20, 20));
    builder.setVersion(8);
    builder.timeline().doAction(actions);
    builder.showFrame();
    builder.showFrame();
    const QByteArray bytes = builder.build();
    auto movie = loadMovie(
        {reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
    ASSERT_TRUE(movie.ok());
    const std::string trace = runHeadless(*movie, 2, {});
    const std::string marker = std::string(kTraceCutMarker) + "\n";
    ASSERT_GE(trace.size(), marker.size());
    EXPECT_LE(trace.size(), kMaxTraceBytes + marker.size());
    EXPECT_EQ(trace.substr(trace.size() - marker.size()), marker);
    EXPECT_EQ(trace.substr(0, 20), "undefined,undefined,");
}

TEST(ScriptBudget, LengthsPastTheIntegersAreHeldToTheLimits)
{
    // An array-like object whose length no integer holds: its elements and the
    // arguments apply passes stop at the array limit.
    Runtime rt(8, {});
    Object *like = rt.newObject();
    rt.set(like, "length", Value(1e300));
    EXPECT_EQ(arrayElements(rt, like).size(), Limits::kMaxArrayLength);
    std::vector<Value> counted;
    const Value counter =
        rt.newNative([&counted](Runtime &, const Value &, std::vector<Value> &args) -> Value {
            counted = args;
            return {};
        });
    std::vector<Value> apply{Value(Null{}), Value(like)};
    rt.callMethod(counter, "apply", apply);
    EXPECT_EQ(counted.size(), Limits::kMaxArrayLength);
}

TEST(ScriptBudget, GotosCountTheFramesAndPlacementsTheyReplay)
{
    // A sprite of 2000 frames, each moving its one object; the root's script sends
    // it to its last frame and back for ever, tracing a line a round trip.
    swfwriter::MovieBuilder builder(QSize(20, 20));
    builder.setVersion(6);
    const quint16 inner = builder.defineSprite(swfwriter::Timeline());
    swfwriter::Timeline frames;
    frames.placeObject(1, inner);
    frames.showFrame();
    for (int f = 1; f < 2000; ++f) {
        frames.moveObject(1, {QTransform::fromTranslate(f, 0), {}, {}, {}, {}});
        frames.showFrame();
    }
    const quint16 sprite = builder.defineSprite(frames);
    builder.placeObject(1, sprite, {{}, {}, {}, {}, "s"});
    builder.timeline().doAction(QByteArray::fromHex("8b02007300"     // tellTarget("s")
                                                    "810200cf07"     //   gotoAndStop(2000)
                                                    "8102000000"     //   gotoAndStop(1)
                                                    "8b010000"       // end tellTarget
                                                    "96030000780026" // trace("x")
                                                    "990200e1ff"));
    builder.showFrame();
    const QByteArray bytes = builder.build();
    auto movie = loadMovie(
        {reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
    ASSERT_TRUE(movie.ok());
    const std::string trace = runHeadless(*movie, 1, {});
    const auto rounds = std::count(trace.begin(), trace.end(), '\n');
    EXPECT_GT(rounds, 0);
    // Each round replays some 4000 placements.
    EXPECT_LT(rounds, Limits::kInstructionsPerFrame / 2000);
}

TEST(ScriptBudget, KeptStringsStayWithinTheirBoundAndTheMoviePlaysOn)
{
    // Frame 1: a = []; k = 0; s = a 1 MiB string. Frame 2: trace(k), then four
    // times a.push(s + k) (or a[s + k] = 1, a long property name), k++. Frame 3:
    // gotoAndPlay(2). Every round keeps 4 MiB of new strings for good.
    const auto push = [](std::initializer_list<const char *> strings) {
        QByteArray body;
        for (const char *s : strings)
            body.append('\0').append(s).append('\0');
        return QByteArray(1, '\x96') + char(body.size() & 0xff) + char(body.size() >> 8) + body;
    };
    const QByteArray zero = QByteArray::fromHex("9605000700000000"),
                     one = QByteArray::fromHex("9605000701000000");
    QByteArray init = push({"a"}) + zero + "\x42\x1d" + push({"k"}) + zero + "\x1d" +
                      push({"s", "xxxxxxxxxxxxxxxx"}) + "\x1d";
    for (int i = 0; i < 16; ++i)
        init += push({"s", "s"}) + "\x1c" + push({"s"}) + "\x1c\x47\x1d";
    const QByteArray text = push({"s"}) + "\x1c" + push({"k"}) + "\x1c\x47";
    const QByteArray stores[] = {text + one + push({"a"}) + "\x1c" + push({"push"}) + "\x52\x17",
                                 push({"a"}) + "\x1c" + text + one + "\x4f"};
    for (const QByteArray &store : stores) {
        QByteArray round = push({"k"}) + "\x1c\x26";
        for (int i = 0; i < 4; ++i)
            round += store + push({"k", "k"}) + "\x1c\x50\x1d";
        swfwriter::MovieBuilder builder(QSize(20, 20));
        builder.setVersion(6);
        builder.timeline().doAction(init);
        builder.showFrame();
        builder.timeline().doAction(round);
        builder.showFrame();
        builder.timeline().doAction(QByteArray::fromHex("810200010006"));
        builder.showFrame();
        const QByteArray bytes = builder.build();
        auto movie = loadMovie({reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                static_cast<std::size_t>(bytes.size())});
        ASSERT_TRUE(movie.ok());
        const int frames = 120;
        std::vector<int> kept;
        std::istringstream lines(runHeadless(*movie, frames, {}));
        for (std::string line; std::getline(lines, line);)
            kept.push_back(std::stoi(line));
        // Frame 2 ran in every frame after the first (frame 3 goes back to it at
        // once), to the end of the run; the strings stopped growing at the bound
        // (some 470 MiB would be kept otherwise).
        ASSERT_EQ(kept.size(), static_cast<std::size_t>(frames - 1));
        const int mib = static_cast<int>(Limits::kMaxLiveStringBytes >> 20);
        EXPECT_LE(kept.back(), mib);
        EXPECT_GE(kept.back(), mib / 4);
        EXPECT_EQ(kept.back(), kept[kept.size() - 2]);
    }
}

} // namespace
} // namespace velmora::swf::avm1
