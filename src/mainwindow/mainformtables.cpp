#include "mainwindow/mainformtables.h"

#include <algorithm>

namespace velmora::mainwindow {
namespace {

std::array<ButtonMovie, kFlashButtonCount> makeMovieTable()
{
    std::array<ButtonMovie, kFlashButtonCount> table{{
        {2, QStringLiteral("\\pic\\help.swf")},
        {3, QStringLiteral("\\pic\\exit.swf")},
        {4, QStringLiteral("\\pic\\brevanto.swf")},
        {5, QStringLiteral("\\pic\\g.swf")},
        {10, QStringLiteral("\\pic\\index.swf")},
        {11, QStringLiteral("\\pic\\up.swf")},
        {12, QStringLiteral("\\pic\\down.swf")},
    }};
    // The chapter buttons play the movie named after their own number.
    for (int n = kFirstChapterControl; n <= kLastChapterControl; ++n)
        table[static_cast<size_t>(7 + n - kFirstChapterControl)] = {n,
                                                                    QStringLiteral("\\pic\\%1.swf").arg(n)};
    return table;
}

// Top row: Top 210, Height 780. Chapter panel: Height 225 for 19 and 20, 240 for the
// others; 21 to 46 are laid out hidden.
constexpr std::array<ButtonPlace, kFlashButtonCount> kLayout{{
    {10, {380, 210, 1215, 780}, true},     {2, {1590, 210, 780, 780}, true},
    {3, {3580, 210, 780, 780}, true},      {4, {6680, 210, 720, 780}, true},
    {5, {7490, 210, 4695, 780}, true},     {11, {12890, 210, 780, 780}, true},
    {12, {13670, 210, 960, 780}, true},    {19, {1920, 2280, 1215, 225}, true},
    {20, {1920, 3000, 1215, 225}, true},   {21, {1920, 4920, 2520, 240}, false},
    {22, {4487, 4920, 2745, 240}, false},  {23, {7279, 4920, 1125, 240}, false},
    {24, {8451, 4920, 1305, 240}, false},  {25, {9803, 4920, 1185, 240}, false},
    {26, {11035, 4920, 1395, 240}, false}, {27, {12480, 4920, 1380, 240}, false},
    {28, {1920, 5400, 870, 240}, false},   {29, {2835, 5400, 1185, 240}, false},
    {30, {4065, 5400, 1320, 240}, false},  {31, {5430, 5400, 1155, 240}, false},
    {32, {6630, 5400, 1335, 240}, false},  {33, {8010, 5400, 1245, 240}, false},
    {34, {9300, 5400, 1215, 240}, false},  {35, {10560, 5400, 1125, 240}, false},
    {36, {1920, 6360, 2055, 240}, false},  {37, {3960, 6360, 2085, 240}, false},
    {38, {6125, 6360, 2550, 240}, false},  {39, {8755, 6360, 1965, 240}, false},
    {40, {10800, 6360, 2250, 240}, false}, {41, {1920, 6720, 2130, 240}, false},
    {42, {4117, 6720, 2295, 240}, false},  {43, {6480, 6720, 2820, 240}, false},
    {44, {1920, 7680, 2325, 240}, false},  {45, {4305, 7680, 2475, 240}, false},
    {46, {6840, 7680, 1635, 240}, false},  {47, {1920, 9120, 2880, 240}, true},
    {48, {4890, 9120, 3180, 240}, true},   {49, {8160, 9120, 4155, 240}, true},
    {50, {1920, 9480, 2370, 240}, true},   {51, {4400, 9480, 3135, 240}, true},
}};

} // namespace

std::span<const ButtonMovie> movieTable()
{
    static const auto table = makeMovieTable();
    return table;
}

std::span<const ButtonPlace> buttonLayout()
{
    return kLayout;
}

ButtonPlace buttonPlace(int control)
{
    const auto it = std::find_if(kLayout.begin(), kLayout.end(),
                                 [&](const ButtonPlace &p) { return p.control == control; });
    return it == kLayout.end() ? ButtonPlace{control, {0, 0, 0, 0}, false} : *it;
}

} // namespace velmora::mainwindow
