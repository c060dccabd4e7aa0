// The script engine's arrays and sort under hostile sizes: lengths that scripts
// may set freely must not turn into allocations or unbounded loops.
#include "controls/swf/avm1/array.h"
#include "controls/swf/avm1/runtime.h"
#include "controls/swf/inputevents.h"
#include "controls/swf/movieerror.h"

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

} // namespace
} // namespace velmora::swf::avm1
