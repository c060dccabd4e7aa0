// main() of the GUI test programs: a QApplication must exist before any widget (and the
// browser view's URL scheme must be registered before the QApplication).
#include "startup/formreference.h"

#include <QApplication>
#include <gtest/gtest.h>

#ifdef VELMORA_TEST_WEBENGINE
#include "controls/browserview.h"
#endif

int main(int argc, char **argv)
{
#ifdef VELMORA_TEST_WEBENGINE
    velmora::controls::BrowserView::prepareProcess();
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    // Forms a failed test left behind must go while the application still exists.
    velmora::forms::releaseFormInstances();
    return status;
}
