#include "mainwindow/sidecommands.h"

#include "common/casepath.h"
#include "controls/browserview.h"
#include "controls/shellopen.h"
#include "mainwindow/controlaccess.h"
#include "mainwindow/mainform.h"
#include "startup/runtime.h"

#include <QLineEdit>

namespace velmora::mainwindow {
namespace {

constexpr int kHelpButton = 2;
constexpr int kQuitButton = 3;
constexpr const char *kHelpProgram = "\\pic\\help.exe";

void help(MainForm &form)
{
    const std::string path = forms::applicationPath().toStdString() + kHelpProgram;
    controls::shellOpen(resolveWindowsPath(path));
    control(form.Text1, "Text1").setFocus();
}

void makerLink(MainForm &form)
{
    form.pagepath = QString::fromLatin1(kMakerAddress);
    control(form.WebBrowser1, "WebBrowser1").Navigate(form.pagepath);
}

} // namespace

void installSideCommands(MainForm &form)
{
    form.setFocusHandler(kHelpButton, [&form] { help(form); });
    // At once: no Unload, so the page file stays on disk and rsxs is not closed.
    form.setFocusHandler(kQuitButton, [] { forms::endProcess(0); });
    form.setLabel1ClickHandler([&form] { makerLink(form); });
}

} // namespace velmora::mainwindow
