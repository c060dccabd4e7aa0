#include "mainwindow/readingcommands.h"

#include "controls/browserview.h"
#include "controls/flashbutton.h"
#include "mainwindow/controlaccess.h"
#include "mainwindow/mainform.h"
#include "mainwindow/mainformtables.h"
#include "navigation/navigator.h"
#include "navigation/readerwindow.h"
#include "startup/runtime.h"

#include <QLineEdit>

#include <memory>

namespace velmora::mainwindow {
namespace {

// The main window as the reading commands see it.
class MainFormReader : public navigation::ReaderWindow {
public:
    explicit MainFormReader(MainForm &form) : m_form(form) {}

    std::int16_t pageno() const override { return m_form.pageno; }
    void setPageno(std::int16_t page) override { m_form.pageno = page; }
    void setPagepath(const std::string &path) override { m_form.pagepath = QString::fromStdString(path); }
    std::string applicationPath() const override { return forms::applicationPath().toStdString(); }
    content::Recordset &rsxs() override { return *m_form.rsxs; }
    navigation::PageFallback &pageFallback() override { return m_form.pageFallback(); }

    void buttonvisible() override { m_form.buttonvisible(); }
    void buttontrue() override { m_form.buttontrue(); }
    void dong1() override { m_form.dong1(); }
    void setTurnButtonVisible(navigation::TurnButton button, bool visible) override
    {
        const int control = button == navigation::TurnButton::PageUp ? kPageUpButton : kPageDownButton;
        m_form.ShockwaveFlash(control)->setVisible(visible);
    }

    void navigateToPagepath() override
    {
        control(m_form.WebBrowser1, "WebBrowser1").Navigate(m_form.pagepath);
    }
    void focusText1() override { control(m_form.Text1, "Text1").setFocus(); }
    void setText2(const std::string &text) override
    {
        control(m_form.Text2, "Text2").setText(QString::fromStdString(text));
    }

private:
    MainForm &m_form;
};

struct ReadingCommands {
    explicit ReadingCommands(MainForm &form) : reader(form), navigator(reader) {}
    MainFormReader reader;
    navigation::Navigator navigator;
};

} // namespace

void installReadingCommands(MainForm &form)
{
    // Shared by the handlers, which live as long as the form: for the process.
    auto commands = std::make_shared<ReadingCommands>(form);
    form.setFocusHandler(kPageDownButton, [commands] { commands->navigator.pageDown(); });
    form.setFocusHandler(kPageUpButton, [commands] { commands->navigator.pageUp(); });
    form.setFocusHandler(kContentsButton, [commands] { commands->navigator.contents(); });
    for (int n = kFirstChapterButton; n <= kLastChapterButton; ++n)
        form.setFocusHandler(n, [commands, n] { commands->navigator.chapter(n); });
}

} // namespace velmora::mainwindow
