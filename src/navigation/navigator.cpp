#include "navigation/navigator.h"

#include "content/recordset.h"
#include "navigation/pagetable.h"
#include "navigation/readerwindow.h"
#include "navigation/recordpages.h"

#include <string>

namespace velmora::navigation {
namespace {

void runStep(ReaderWindow &window, const Step &step)
{
    const std::string app = window.applicationPath();
    switch (step.op) {
    case Step::Op::ButtonVisible:
        window.buttonvisible();
        break;
    case Step::Op::ButtonTrue:
        window.buttontrue();
        break;
    case Step::Op::Path:
        window.setPagepath(app + std::string(step.path));
        break;
    case Step::Op::RecordTo:
        writepage(window, app + std::string(step.path));
        window.setPagepath(app + std::string(step.path));
        break;
    case Step::Op::Rewind:
        // An empty table has no first record to return to; its pages stay empty.
        if (!(window.rsxs().bof() && window.rsxs().eof()))
            window.rsxs().moveFirst().check();
        break;
    case Step::Op::Forward:
        if (!window.rsxs().eof())
            window.rsxs().move(step.count).check();
        break;
    case Step::Op::MoveNext:
        movenext(window);
        break;
    case Step::Op::FocusText1:
        window.focusText1();
        break;
    case Step::Op::Show:
        window.setTurnButtonVisible(step.button, true);
        break;
    case Step::Op::Hide:
        window.setTurnButtonVisible(step.button, false);
        break;
    }
}

} // namespace

void Navigator::pageDown()
{
    turnTo(m_window.pageno() + 1, true);
}

void Navigator::pageUp()
{
    turnTo(m_window.pageno() - 1, false);
}

void Navigator::turnTo(int page, bool byPageDown)
{
    // The button that would leave the book is hidden on its first and last page; should
    // the command run anyway, it leaves the reader where it is.
    if (page < kFirstPage || page > kLastPage)
        return;
    m_window.setPageno(static_cast<std::int16_t>(page));
    const PageRow &row = pageTable()[page];
    for (const Step &step : (byPageDown ? row.byPageDown : row.byPageUp).view())
        runStep(m_window, step);
    m_window.navigateToPagepath();
    m_window.setText2(std::to_string(page));
    m_window.focusText1();
}

void Navigator::contents()
{
    m_window.buttontrue();
    m_window.setTurnButtonVisible(TurnButton::PageUp, true);
    m_window.setTurnButtonVisible(TurnButton::PageDown, true);
    m_window.setPageno(kContentsPage);
    m_window.setPagepath(m_window.applicationPath() + std::string(kContentsPath));
    m_window.navigateToPagepath();
    m_window.focusText1();
}

void Navigator::chapter(int control)
{
    if (control < kFirstChapterControl || control > kLastChapterControl)
        return;
    const ChapterButton &button = chapterTable()[control - kFirstChapterControl];
    switch (button.buttons) {
    case ChapterButtons::FirstPage:
        m_window.buttonvisible();
        m_window.setTurnButtonVisible(TurnButton::PageUp, false);
        m_window.setTurnButtonVisible(TurnButton::PageDown, true);
        break;
    case ChapterButtons::Dong1:
        m_window.dong1();
        break;
    case ChapterButtons::LastPage:
        m_window.dong1();
        m_window.setTurnButtonVisible(TurnButton::PageDown, false);
        break;
    }
    m_window.setPageno(button.page);
    const std::string path = m_window.applicationPath() + std::string(button.path);
    if (button.record >= 0) {
        positionOnRecord(button.record);
        writepage(m_window, path);
    }
    m_window.setPagepath(path);
    m_window.navigateToPagepath();
    m_window.focusText1();
}

// Always from the first record: the cursor only moves forward.
void Navigator::positionOnRecord(int record)
{
    runStep(m_window, {Step::Op::Rewind});
    if (record >= 1)
        runStep(m_window, {Step::Op::Forward, {}, record});
}

} // namespace velmora::navigation
