// The main window as data: which movie each button plays, where every control stands
// (in window twips, from the top left of the client area), and the button groups.
#pragma once

#include "controls/twips.h"
#include "navigation/pagetable.h"

#include <QString>

#include <array>
#include <span>

namespace velmora::mainwindow {

struct ButtonMovie {
    int control;   // n of ShockwaveFlash<n>
    QString movie; // relative to the application path, Windows-style
};

struct ButtonPlace {
    int control;
    WindowTwipsRect rect;
    bool storedVisible; // as the window is laid out, before Load hides any
};

// The chapter panel, ShockwaveFlash19 to ShockwaveFlash51, numbered where the chapter
// table that its buttons run is.
using navigation::kChapterButtonCount;
using navigation::kFirstChapterControl;
using navigation::kLastChapterControl;
// The side buttons, the page-turning buttons and the contents button.
inline constexpr int kHelpButton = 2;
inline constexpr int kQuitButton = 3;
inline constexpr int kPageUpButton = 11;
inline constexpr int kPageDownButton = 12;
inline constexpr int kContentsButton = 10;
// The two that only show their movies: the maker's emblem and the book's title.
inline constexpr int kEmblemButton = 4;
inline constexpr int kTitleButton = 5;
inline constexpr int kFlashButtonCount = 40;

// In the order Load gives the buttons their movies.
std::span<const ButtonMovie> movieTable();
// Every Flash button's place, top row first, then the chapter panel in ascending number.
std::span<const ButtonPlace> buttonLayout();
// The place of ShockwaveFlash<control>; a zero rectangle for a number that is no button.
ButtonPlace buttonPlace(int control);

// The window and its other controls.
inline constexpr int kOuterWidthTwips = 15070;
inline constexpr int kOuterHeightTwips = 11715;
inline constexpr WindowTwipsRect kStoredBrowserRect{14000, 1080, 15000, 9375};
inline constexpr WindowTwipsRect kText1Rect{6720, 4320, 540, 270};
inline constexpr WindowTwipsRect kText2Rect{8760, 4080, 855, 375};
inline constexpr WindowTwipsRect kLabel1Rect{13080, 10440, 1695, 255};

} // namespace velmora::mainwindow
