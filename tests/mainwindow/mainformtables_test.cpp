// The main window's tables: every button has one movie and one place, the chapter
// panel is complete, and everything lies where the window can show it.
#include "mainwindow/mainformtables.h"

#include "mainwindow/commandtable.h"

#include <gtest/gtest.h>

#include <set>

namespace velmora::mainwindow {
namespace {

TEST(MainFormTables, EveryButtonHasExactlyOneMovieAndOnePlace)
{
    std::set<int> movies;
    std::set<QString> files;
    for (const ButtonMovie &entry : movieTable()) {
        SCOPED_TRACE(entry.control);
        EXPECT_TRUE(movies.insert(entry.control).second) << "listed twice";
        EXPECT_TRUE(files.insert(entry.movie.toLower()).second) << "movie shared";
        EXPECT_TRUE(entry.movie.startsWith(QLatin1String("\\pic\\")));
        EXPECT_TRUE(entry.movie.endsWith(QLatin1String(".swf")));
    }
    std::set<int> places;
    for (const ButtonPlace &place : buttonLayout())
        EXPECT_TRUE(places.insert(place.control).second) << place.control;
    EXPECT_EQ(movies, places);
    EXPECT_EQ(movies.size(), static_cast<size_t>(kFlashButtonCount));
}

TEST(MainFormTables, LoadGivesMoviesInTheProgramsOrder)
{
    const int fixed[] = {2, 3, 4, 5, 10, 11, 12};
    const auto table = movieTable();
    for (size_t i = 0; i < std::size(fixed); ++i)
        EXPECT_EQ(table[i].control, fixed[i]);
    // Then the chapter panel in ascending number, each playing the movie named after it.
    for (int n = kFirstChapterControl; n <= kLastChapterControl; ++n) {
        const ButtonMovie &entry = table[std::size(fixed) + static_cast<size_t>(n - kFirstChapterControl)];
        EXPECT_EQ(entry.control, n);
        EXPECT_EQ(entry.movie, QStringLiteral("\\pic\\%1.swf").arg(n));
    }
}

TEST(MainFormTables, ButtonsLieInTheWindowAndTheTopRowAboveThePage)
{
    const int pageTop = kStoredBrowserRect.top;
    const int pageBottom = kStoredBrowserRect.top + kStoredBrowserRect.height;
    for (const ButtonPlace &place : buttonLayout()) {
        SCOPED_TRACE(place.control);
        const WindowTwipsRect &r = place.rect;
        EXPECT_GT(r.width, 0);
        EXPECT_GT(r.height, 0);
        EXPECT_LE(r.left + r.width, kStoredBrowserRect.width);
        const bool chapter = place.control >= kFirstChapterControl;
        if (chapter) {
            // Over the browser view's rectangle once Load has moved it to the left edge.
            EXPECT_GE(r.top, pageTop);
            EXPECT_LE(r.top + r.height, pageBottom);
        } else {
            EXPECT_LE(r.top + r.height, pageTop);
        }
    }
    EXPECT_EQ(buttonPlace(99).rect.width, 0);
}

TEST(MainFormTables, TopRowButtonsDoNotOverlap)
{
    for (const ButtonPlace &a : buttonLayout()) {
        for (const ButtonPlace &b : buttonLayout()) {
            if (a.control >= b.control || a.control >= kFirstChapterControl ||
                b.control >= kFirstChapterControl)
                continue;
            const bool apart = a.rect.left + a.rect.width <= b.rect.left + 15 ||
                               b.rect.left + b.rect.width <= a.rect.left + 15;
            EXPECT_TRUE(apart) << a.control << " and " << b.control;
        }
    }
}

// Each control runs at most one command, and each command is on a control the window has.
TEST(CommandTable, EveryCommandSitsOnOneControlOfTheWindow)
{
    std::set<int> controls;
    for (const ControlCommand &row : commandTable()) {
        SCOPED_TRACE(row.control);
        EXPECT_TRUE(controls.insert(row.control).second) << "listed twice";
        if (row.control != kLabel1Control) {
            EXPECT_GT(buttonPlace(row.control).rect.width, 0) << "no such button";
        }
        EXPECT_EQ(commandFor(row.control), row.command);
    }
    const struct {
        int control;
        std::optional<Command> command;
    } rows[] = {
        {kHelpButton, Command::Help},
        {kQuitButton, Command::Quit},
        {kLabel1Control, Command::MakerLink},
        {kContentsButton, Command::Contents},
        {kPageUpButton, Command::PageUp},
        {kPageDownButton, Command::PageDown},
        {4, std::nullopt},
        {5, std::nullopt}, // the logo and the title
        {kFirstChapterControl - 1, std::nullopt},
        {kLastChapterControl + 1, std::nullopt},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.control);
        EXPECT_EQ(commandFor(row.control), row.command);
    }
    for (int n = kFirstChapterControl; n <= kLastChapterControl; ++n)
        EXPECT_EQ(commandFor(n), Command::Chapter) << n;
}

} // namespace
} // namespace velmora::mainwindow
