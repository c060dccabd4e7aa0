// main() of the test programs that need a Qt application (velmora_add_test with GUI,
// OFFSCREEN or WEBENGINE): a QApplication must exist before any widget, font or pixmap,
// and the browser view's URL scheme must be registered before the QApplication.
#include <QApplication>
#include <gtest/gtest.h>

#ifdef VELMORA_TEST_WEBENGINE
#include "controls/browserview.h"
#endif
#ifndef VELMORA_TEST_OFFSCREEN
#include "startup/formreference.h"
#endif

int main(int argc, char **argv)
{
#ifdef VELMORA_TEST_OFFSCREEN
    // Fonts, painting and widgets that are never shown: no display is used.
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
#ifdef VELMORA_TEST_WEBENGINE
    velmora::controls::BrowserView::prepareProcess();
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
#ifndef VELMORA_TEST_OFFSCREEN
    // Forms a failed test left behind must go while the application still exists.
    velmora::forms::releaseFormInstances();
#endif
    return status;
}
