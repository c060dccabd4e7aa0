#include "navigation/pagetable.h"

#include <gtest/gtest.h>

#include <set>

using namespace velmora::navigation;
using Op = Step::Op;

namespace {

bool hasOp(const StepList &list, Op op)
{
    for (const Step &s : list.view()) {
        if (s.op == op)
            return true;
    }
    return false;
}

} // namespace

TEST(PageTable, EveryPageButTheEndsIsReachableBothWays)
{
    const auto &table = pageTable();
    EXPECT_EQ(table[0].byPageDown.size, 0) << "page down never arrives at page 0";
    EXPECT_EQ(table[kLastPage].byPageUp.size, 0) << "page up never arrives at page 33";
    for (int page = 1; page <= kLastPage; ++page) {
        SCOPED_TRACE(page);
        EXPECT_GT(table[page].byPageDown.size, 0);
        if (page < kLastPage) {
            EXPECT_GT(table[page].byPageUp.size, 0);
        }
    }
}

TEST(PageTable, RecordPagesMoveTheCursorOnlyForwardAndAlwaysWriteARecord)
{
    const auto &table = pageTable();
    for (int page = kFirstRecordPage; page <= kLastPage; ++page) {
        SCOPED_TRACE(page);
        const int record = page - kFirstRecordPage;
        const StepList &down = table[page].byPageDown;
        EXPECT_TRUE(hasOp(down, page == kFirstRecordPage ? Op::RecordTo : Op::MoveNext));
        if (page == kLastPage)
            continue;
        const StepList &up = table[page].byPageUp;
        ASSERT_GE(up.size, 2);
        EXPECT_EQ(up.steps[0].op, Op::Rewind);
        if (record > 0) {
            EXPECT_EQ(up.steps[1], (Step{Op::Forward, {}, record}));
        }
        for (const Step &s : up.view()) {
            EXPECT_TRUE(s.count >= 0 && s.count <= 24);
        }
    }
    for (int page = 0; page < kFirstRecordPage; ++page) {
        SCOPED_TRACE(page);
        for (const StepList *list : {&table[page].byPageDown, &table[page].byPageUp}) {
            EXPECT_FALSE(hasOp(*list, Op::Rewind) || hasOp(*list, Op::Forward) || hasOp(*list, Op::MoveNext))
                << "file pages leave the cursor where it is";
        }
    }
}

TEST(ChapterTable, ThirtyThreeButtonsCoverEveryPageButTheContents)
{
    std::set<int> pages;
    std::set<int> controls;
    for (const ChapterButton &b : chapterTable()) {
        SCOPED_TRACE(b.control);
        controls.insert(b.control);
        pages.insert(b.page);
        EXPECT_NE(b.page, kContentsPage);
        if (b.page >= kFirstRecordPage) {
            EXPECT_EQ(b.record, b.control - 26);
            EXPECT_EQ(b.path, kPageFile);
        } else {
            EXPECT_EQ(b.record, -1);
        }
    }
    EXPECT_EQ(controls.size(), 33u);
    EXPECT_EQ(*controls.begin(), 19);
    EXPECT_EQ(*controls.rbegin(), 51);
    EXPECT_EQ(pages.size(), 33u);
    EXPECT_EQ(chapterTable().front().buttons, ChapterButtons::FirstPage);
    EXPECT_EQ(chapterTable().back().buttons, ChapterButtons::LastPage);
}
