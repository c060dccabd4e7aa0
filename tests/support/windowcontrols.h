// Where a test clicks in the reader's main window: the centre of a control, in pixels
// from the client area's top left, and the chapter button that shows a page.
#pragma once

#include <QPoint>

namespace velmora::testing {

QPoint buttonCentre(int control);
// The chapter button that shows `page`; 0 when no chapter button does.
int chapterButtonFor(int page);

} // namespace velmora::testing
