// The stuck-page watch on a real page: a page that answers at first and only then
// starts a loop that never ends is still found out; a page that keeps answering is
// never taken for stuck, however long the navigation takes.
#include "controls/stuckpagewatch.h"

#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <gtest/gtest.h>

namespace velmora::controls {
namespace {

TEST(StuckPageWatchTest, APageThatLoopsAfterItsFirstAnswerIsFoundStuck)
{
    QWebEnginePage page;
    QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
    page.setHtml(QStringLiteral("<script>setTimeout(function () { for (;;) {} }, 200);</script>"));
    ASSERT_TRUE(loaded.wait(30000));
    StuckPageWatch watch(page);
    bool stuck = false;
    watch.watch([&stuck] { stuck = true; });
    EXPECT_TRUE(QTest::qWaitFor([&stuck] { return stuck; }, 10000));
}

TEST(StuckPageWatchTest, APageThatKeepsAnsweringIsNeverFoundStuck)
{
    QWebEnginePage page;
    QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
    page.setHtml(QStringLiteral("<p>alive</p>"));
    ASSERT_TRUE(loaded.wait(30000));
    StuckPageWatch watch(page);
    bool stuck = false;
    watch.watch([&stuck] { stuck = true; });
    QTest::qWait(static_cast<int>((StuckPageWatch::kGrace + 3 * StuckPageWatch::kPatience).count()));
    EXPECT_FALSE(stuck);
}

} // namespace
} // namespace velmora::controls
