#include "readingwindow.h"

#include "controls/browserview.h"
#include "controls/flashbutton.h"
#include "mainwindow/commands.h"
#include "mainwindow/mainform.h"
#include "startup/loaderform.h"
#include "startup/runtime.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWebEnginePage>

#include <fstream>
#include <memory>
#include <sstream>

namespace velmora::testing {

void ReadingWindowTest::SetUp()
{
    forms::registerForm(QStringLiteral("Form1"), []() -> forms::Form & { return *Form1; });
    // The handler table belongs to the instance, which each test makes afresh.
    mainwindow::installCommands(*Form1);
}

void ReadingWindowTest::TearDown()
{
    forms::releaseFormInstances();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool ReadingWindowTest::startUp(const InstallFolder &folder)
{
    if (!folder.isValid())
        return false;
    forms::setApplicationPath(folder.path());
    forms::dispatch([] { Form2->load(); });
    return Form1->isLoaded() && QTest::qWaitForWindowActive(Form1->window());
}

// Other test programs may run on the same display and take the activation away; a click
// in an inactive window raises no focus event, so the window is made active first.
static bool activate(QWidget *window)
{
    if (window->isActiveWindow())
        return true;
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

std::string ReadingWindowTest::clickButton(int number)
{
    controls::FlashButton *button = Form1->ShockwaveFlash(number);
    QWidget *window = Form1->window();
    if (button->isHidden())
        return "ShockwaveFlash" + std::to_string(number) + " is hidden";
    // The focus as the window keeps it, which survives a loss of activation.
    for (int attempt = 0; attempt < 3 && window->focusWidget() != button; ++attempt) {
        activate(window);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    if (window->focusWidget() != button)
        return "the click did not put the focus on ShockwaveFlash" + std::to_string(number);
    QElapsedTimer clock;
    clock.start();
    while (window->focusWidget() != Form1->Text1) {
        if (clock.elapsed() > 5000)
            return "the focus did not come back to Text1 after ShockwaveFlash" + std::to_string(number);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return {};
}

void ReadingWindowTest::clickLabel1()
{
    QTest::mouseClick(Form1->Label1, Qt::LeftButton, {}, QPoint(5, 5));
}

QString ReadingWindowTest::waitForTitle(const QString &title, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (Form1->WebBrowser1->title() == title && !bodyText(2000).isNull())
            return title;
        QTest::qWait(20);
    }
    return Form1->WebBrowser1->title();
}

QString ReadingWindowTest::bodyText(int timeoutMs)
{
    // Shared: the answer may come after this call has given up waiting.
    auto text = std::make_shared<std::optional<QString>>();
    Form1->WebBrowser1->page()->runJavaScript(QStringLiteral("document.body ? document.body.innerText : ''"),
                                              [text](const QVariant &result) { *text = result.toString(); });
    QElapsedTimer clock;
    clock.start();
    while (!*text && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return text->value_or(QString());
}

std::optional<std::string> ReadingWindowTest::fileBytes(const InstallFolder &folder,
                                                        const std::string &relative)
{
    std::ifstream in(folder.root() / relative, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace velmora::testing
