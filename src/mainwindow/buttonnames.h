// The names assistive technology gives the main window's movie buttons: the top row by
// their commands, the maker's emblem and the title banner by what they show, and each
// chapter button by the title of the page it opens. A chapter's title is read when a
// name is first asked for (the record pages' all at once, in one pass over the records)
// and kept: a reader used without assistive technology never reads them.
#pragma once

#include "content/connection.h"
#include "navigation/pagetable.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora::mainwindow {

class ButtonNames {
public:
    // The connection the page records are read on; null while there is none.
    using ConnectionSource = std::function<std::shared_ptr<content::Connection>()>;

    ButtonNames(std::function<QString()> applicationPath, ConnectionSource connection);

    // The name of ShockwaveFlash<control>; empty for a number that is no button, or a
    // chapter whose page has no title.
    QString nameOf(int control);

private:
    QString chapterTitle(const navigation::ChapterButton &button);
    const std::vector<std::string> &recordTitles();

    std::function<QString()> m_applicationPath;
    ConnectionSource m_connection;
    std::map<int, QString> m_chapterTitles;                 // by control
    std::optional<std::vector<std::string>> m_recordTitles; // by record, once read
};

} // namespace velmora::mainwindow
