#include "mainwindow/commands.h"

#include "common/casepath.h"
#include "controls/browserview.h"
#include "controls/flashbutton.h"
#include "controls/shellopen.h"
#include "mainwindow/commandtable.h"
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
    navigation::WrittenPages &writtenPages() override { return m_form.writtenPages(); }

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

constexpr const char *kHelpProgram = "\\pic\\help.exe";

// One per form, shared by its handlers: the reading commands' view of the window and
// the navigator over it.
class CommandRunner {
public:
    explicit CommandRunner(MainForm &form) : m_form(form), m_reader(form), m_navigator(m_reader) {}

    void run(Command command, int button)
    {
        switch (command) {
        case Command::Help:
            help();
            break;
        case Command::Quit:
            // At once: no Unload, so the page file stays on disk and rsxs is not closed.
            forms::endProcess(0);
        case Command::MakerLink:
            m_form.pagepath = QString::fromLatin1(kMakerAddress);
            control(m_form.WebBrowser1, "WebBrowser1").Navigate(m_form.pagepath);
            break;
        case Command::Contents:
            m_navigator.contents();
            break;
        case Command::PageUp:
            m_navigator.pageUp();
            break;
        case Command::PageDown:
            m_navigator.pageDown();
            break;
        case Command::Chapter:
            m_navigator.chapter(button);
            break;
        }
    }

private:
    void help()
    {
        const std::string app = forms::applicationPath().toStdString();
        controls::shellOpen(resolveInstallationPath(app, app + kHelpProgram));
        control(m_form.Text1, "Text1").setFocus();
    }

    MainForm &m_form;
    MainFormReader m_reader;
    navigation::Navigator m_navigator;
};

} // namespace

void installCommands(MainForm &form)
{
    auto runner = std::make_shared<CommandRunner>(form);
    for (const ControlCommand &row : commandTable()) {
        auto handler = [runner, row] { runner->run(row.command, row.control); };
        if (row.control == kLabel1Control)
            form.setLabel1ClickHandler(handler);
        else
            form.setFocusHandler(row.control, handler);
    }
}

} // namespace velmora::mainwindow
