// The main window: the browser view with the page on show, the Flash buttons around it,
// the state the page commands share (pageno, pagepath, rsxs) and the procedures that
// show and hide the button groups. The commands behind the buttons are installed from
// the command table (installCommands), through the handler table.
#pragma once

#include "content/recordset.h"
#include "mainwindow/buttonnames.h"
#include "navigation/writtenpages.h"
#include "startup/autoobject.h"
#include "startup/form.h"
#include "startup/formreference.h"

#include <QMargins>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>

class QLabel;
class QLineEdit;

namespace velmora::controls {
class BrowserView;
class FlashButton;
} // namespace velmora::controls

namespace velmora::mainwindow {

class MainForm : public forms::Form {
public:
    using Handler = std::function<void()>;

    static constexpr const char *kPageQuery = "select m1 from b1";
    static constexpr const char *kCaption = "Velmora";
    // Label1's text.
    static constexpr const char *kMakerName = "Brevanto Team";

    MainForm();
    ~MainForm() override;

    // The page recordset, made on first use; open from Load to Unload.
    forms::AutoObject<content::Recordset> rsxs;
    // The page number of the page on show (0 to 33).
    std::int16_t pageno = 0;
    // The full path (or web address) of the document on show.
    QString pagepath;

    // The controls, while the form is loaded (null otherwise).
    controls::BrowserView *WebBrowser1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLabel *Label1 = nullptr;
    // ShockwaveFlash<number>; a Failure for a number that is no button of the window,
    // or while the form is not loaded.
    controls::FlashButton *ShockwaveFlash(int number) const;

    // The panel procedures.
    void buttonvisible(); // hides ShockwaveFlash19 to 51, in ascending order
    void buttontrue();    // shows ShockwaveFlash19 to 51, in ascending order
    void dong1();         // buttonvisible, then shows ShockwaveFlash11, then 12

    // The command run when ShockwaveFlash<number> raises its focus event. Buttons without
    // a handler do nothing. Each runs through the runtime's dispatcher. The table outlives
    // loads: set it once.
    void setFocusHandler(int number, Handler handler);
    // Pages whose files could not be written, served to WebBrowser1 at their files' addresses.
    navigation::WrittenPages &writtenPages() { return m_writtenPages; }

    // The command run on a click on Label1.
    void setLabel1ClickHandler(Handler handler);

protected:
    void buildWindow(forms::FormWindow &window) override;
    void formLoad() override;
    void formUnload(int &cancel) override;
    void windowReleased() override;

private:
    void setOuterSize();
    QMargins currentFrame() const;
    void raiseFocusEvent(int number);

    std::map<int, controls::FlashButton *> m_buttons;
    std::map<int, Handler> m_focusHandlers;
    navigation::WrittenPages m_writtenPages;
    ButtonNames m_buttonNames;
    Handler m_label1Click;
    // The frame the outer size was made exact for. Only the window manager's first
    // framing of the window corrects the size again: never maximising, tiling or the
    // user's resizing.
    QMargins m_sizedForFrame;
    QObject *m_watcher = nullptr; // on the window; goes with it, or when the window is released
    friend class WindowWatcher;
};

} // namespace velmora::mainwindow

namespace velmora {
// The main window's global reference.
inline forms::FormReference<mainwindow::MainForm> Form1;
} // namespace velmora
