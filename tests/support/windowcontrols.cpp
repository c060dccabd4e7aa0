#include "windowcontrols.h"

#include "mainwindow/mainformtables.h"
#include "navigation/pagetable.h"

namespace velmora::testing {

QPoint buttonCentre(int control)
{
    const WindowTwipsRect r = mainwindow::buttonPlace(control).rect;
    return QPoint((r.left + r.width / 2) / 15, (r.top + r.height / 2) / 15);
}

int chapterButtonFor(int page)
{
    for (const navigation::ChapterButton &button : navigation::chapterTable()) {
        if (button.page == page)
            return button.control;
    }
    return 0;
}

} // namespace velmora::testing
