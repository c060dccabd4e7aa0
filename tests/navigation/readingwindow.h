// The real main window with the reading and side commands installed, loaded by the real
// start-up over a made-up installation, and driven the way a user drives it: mouse
// clicks on its buttons and on the maker's label.
#pragma once

#include "formtesting.h"
#include "installfolder.h"

#include <QString>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace velmora::testing {

class ReadingWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The start-up over `folder`, as the program runs it; false when the window did not
    // come up active (a focus event needs an active window).
    bool startUp(const InstallFolder &folder);

    // A click on ShockwaveFlash<number>, then events until its queued command has run:
    // the click puts the focus on the button, the command hands it back to Text1.
    // Empty when all went so, otherwise what went wrong.
    std::string clickButton(int number);
    // A click on Label1 (the maker link), whose command runs on the mouse release.
    void clickLabel1();

    // Waits until the browser view has loaded a document titled `title`; the title it
    // last had otherwise.
    QString waitForTitle(const QString &title, int timeoutMs = 20000);
    // The body text of the document on show, read by the page itself.
    QString bodyText(int timeoutMs = 10000);

    // The bytes of `relative` ('/'-separated) in the installation, or nothing.
    static std::optional<std::string> fileBytes(const InstallFolder &folder, const std::string &relative);

    RuntimeRecorder recorder;
};

} // namespace velmora::testing
