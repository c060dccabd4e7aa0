// The reading commands: page down, page up, contents, and the 33 chapter buttons. Each
// runs its steps in a fixed order on the main window and ends with the focus on Text1.
#pragma once

namespace velmora::navigation {

class ReaderWindow;

class Navigator {
public:
    explicit Navigator(ReaderWindow &window) : m_window(window) {}

    void pageDown(); // ShockwaveFlash12
    void pageUp();   // ShockwaveFlash11
    void contents(); // ShockwaveFlash10
    // ShockwaveFlash19 … ShockwaveFlash51; other numbers are no chapter button and do nothing.
    void chapter(int control);

private:
    void turnTo(int page, bool byPageDown);
    void positionOnRecord(int record);

    ReaderWindow &m_window;
};

} // namespace velmora::navigation
