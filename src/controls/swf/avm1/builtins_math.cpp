// Math: every method is one entry of Flash's numeric table (the one ASnative(200, n)
// reaches), and each entry reads its first two arguments as numbers whether it
// uses them or not; an entry past the table's end gives NaN.
#include "controls/swf/avm1/builtins.h"

#include <cmath>
#include <limits>
#include <random>

namespace velmora::swf::avm1 {

namespace {

constexpr int kMathTable = 200;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInfinity = std::numeric_limits<double>::infinity();

enum class MathEntry : std::uint8_t {
    Abs,
    Min,
    Max,
    Sin,
    Cos,
    Atan2,
    Tan,
    Exp,
    Log,
    Sqrt,
    Round,
    Random,
    Floor,
    Ceil,
    Atan,
    Asin,
    Acos,
    Pow,
    Count
};

constexpr const char *kMathNames[] = {"abs",   "min",  "max",  "sin",  "cos",   "atan2",
                                      "tan",   "exp",  "log",  "sqrt", "round", "random",
                                      "floor", "ceil", "atan", "asin", "acos",  "pow"};
static_assert(std::size(kMathNames) == static_cast<std::size_t>(MathEntry::Count));

std::mt19937 &engine()
{
    static std::mt19937 e{std::random_device{}()};
    return e;
}

double minMax(bool max, std::size_t count, double a, double b)
{
    if (count == 0)
        return max ? -kInfinity : kInfinity;
    if (count == 1 || std::isnan(a) || std::isnan(b))
        return kNaN;
    return max ? (a > b ? a : b) : (a < b ? a : b);
}

double compute(int entry, std::size_t count, double x, double y)
{
    switch (static_cast<MathEntry>(entry)) {
    case MathEntry::Abs:
        return std::fabs(x);
    case MathEntry::Min:
        return minMax(false, count, x, y);
    case MathEntry::Max:
        return minMax(true, count, x, y);
    case MathEntry::Sin:
        return std::sin(x);
    case MathEntry::Cos:
        return std::cos(x);
    case MathEntry::Atan2:
        return std::atan2(x, y);
    case MathEntry::Tan:
        return std::tan(x);
    case MathEntry::Exp:
        return std::exp(x);
    case MathEntry::Log:
        return std::log(x);
    case MathEntry::Sqrt:
        return std::sqrt(x);
    case MathEntry::Round:
        return std::floor(x + 0.5);
    case MathEntry::Random:
        return std::uniform_real_distribution<double>(0.0, 1.0)(engine());
    case MathEntry::Floor:
        return std::floor(x);
    case MathEntry::Ceil:
        return std::ceil(x);
    case MathEntry::Atan:
        return std::atan(x);
    case MathEntry::Asin:
        return std::asin(x);
    case MathEntry::Acos:
        return std::acos(x);
    case MathEntry::Pow:
        return std::pow(x, y); // the C rules: pow(1, NaN) is 1
    default:
        return kNaN;
    }
}

NativeFunction mathFunction(int entry)
{
    return [entry](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
        const double x = args.empty() ? kNaN : r.toNumber(args[0]);
        const double y = args.size() < 2 ? kNaN : r.toNumber(args[1]);
        return compute(entry, args.size(), x, y);
    };
}

} // namespace

void installMath(Runtime &rt, Object *global)
{
    Object *math = rt.newObject();
    rt.define(global, "Math", math, DontEnum);
    const std::pair<const char *, double> constants[] = {
        {"E", M_E},         {"LN10", M_LN10}, {"LN2", M_LN2},         {"LOG10E", M_LOG10E},
        {"LOG2E", M_LOG2E}, {"PI", M_PI},     {"SQRT1_2", M_SQRT1_2}, {"SQRT2", M_SQRT2},
    };
    for (const auto &[name, v] : constants)
        rt.define(math, name, v, DontEnum | DontDelete | ReadOnly);
    for (int entry = 0; entry < static_cast<int>(MathEntry::Count); ++entry)
        rt.defineMethod(math, kMathNames[entry], mathFunction(entry));
    // ASnative(table, entry): only the numeric table is reachable this way.
    rt.defineMethod(global, "ASnative", [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
        if (args.size() < 2 || toInt32(r.toNumber(args[0])) != kMathTable)
            return {};
        const std::int32_t entry = toInt32(r.toNumber(args[1]));
        return r.newNative(mathFunction(entry < 0 ? static_cast<int>(MathEntry::Count) : entry));
    });
}

} // namespace velmora::swf::avm1
