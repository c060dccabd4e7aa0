// What the reading commands act on: the main window's state, its button groups and
// controls. The main window implements it; tests can stand in for it.
#pragma once

#include "navigation/pagetable.h"

#include <cstdint>
#include <string>

namespace velmora::content {
class Recordset;
}

namespace velmora::navigation {

class WrittenPages;

class ReaderWindow {
public:
    virtual ~ReaderWindow() = default;

    virtual std::int16_t pageno() const = 0;
    virtual void setPageno(std::int16_t page) = 0;
    virtual void setPagepath(const std::string &path) = 0;
    // The folder the reader runs from, without a trailing separator.
    virtual std::string applicationPath() const = 0;
    virtual content::Recordset &rsxs() = 0;
    // Where a page that could not be written to its file is kept for the browser view.
    virtual WrittenPages &writtenPages() = 0;

    virtual void buttonvisible() = 0;
    virtual void buttontrue() = 0;
    virtual void dong1() = 0;
    virtual void setTurnButtonVisible(TurnButton button, bool visible) = 0;

    // WebBrowser1.Navigate with pagepath.
    virtual void navigateToPagepath() = 0;
    virtual void focusText1() = 0;
    virtual void setText2(const std::string &text) = 0;
};

} // namespace velmora::navigation
