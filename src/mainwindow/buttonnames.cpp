#include "mainwindow/buttonnames.h"

#include "common/casepath.h"
#include "content/recordset.h"
#include "mainwindow/commandtable.h"
#include "mainwindow/mainform.h"
#include "mainwindow/mainformtables.h"
#include "navigation/pagetitle.h"

#include <algorithm>
#include <fstream>

namespace velmora::mainwindow {
namespace {

// The head of the page file at `path` (a full path in the program's Windows style).
std::string pageHead(const std::string &applicationPath, std::string_view path)
{
    std::ifstream in(resolveInstallationPath(applicationPath, applicationPath + std::string(path)),
                     std::ios::binary);
    std::string head(navigation::kTitleSearchBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return head;
}

int recordsNamed()
{
    int count = 0;
    for (const navigation::ChapterButton &button : navigation::chapterTable())
        count = std::max(count, button.record + 1);
    return count;
}

} // namespace

ButtonNames::ButtonNames(std::function<QString()> applicationPath, ConnectionSource connection)
    : m_applicationPath(std::move(applicationPath)), m_connection(std::move(connection))
{
}

QString ButtonNames::nameOf(int control)
{
    if (control == kEmblemButton)
        return QString::fromLatin1(MainForm::kMakerName);
    if (control == kTitleButton)
        return QString::fromLatin1(MainForm::kCaption);
    const std::optional<Command> command = commandFor(control);
    if (!command)
        return {};
    if (*command != Command::Chapter) {
        const std::string_view name = commandName(*command);
        return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    }
    const auto &chapters = navigation::chapterTable();
    const auto chapter =
        std::find_if(chapters.begin(), chapters.end(),
                     [&](const navigation::ChapterButton &b) { return b.control == control; });
    if (chapter == chapters.end())
        return {};
    const auto known = m_chapterTitles.find(control);
    if (known != m_chapterTitles.end())
        return known->second;
    return m_chapterTitles[control] = chapterTitle(*chapter);
}

QString ButtonNames::chapterTitle(const navigation::ChapterButton &button)
{
    if (button.record < 0)
        return QString::fromStdString(
            navigation::pageTitle(pageHead(m_applicationPath().toStdString(), button.path)));
    const std::vector<std::string> &titles = recordTitles();
    const auto record = static_cast<size_t>(button.record);
    return record < titles.size() ? QString::fromStdString(titles[record]) : QString();
}

const std::vector<std::string> &ButtonNames::recordTitles()
{
    static const std::vector<std::string> kNone;
    if (m_recordTitles)
        return *m_recordTitles;
    const std::shared_ptr<content::Connection> connection = m_connection ? m_connection() : nullptr;
    if (!connection)
        return kNone; // not connected yet: asked again later
    m_recordTitles.emplace();
    // A recordset of its own: the page recordset stays on the record shown.
    content::Recordset records;
    records.setActiveConnection(connection);
    records.setSource(MainForm::kPageQuery);
    if (!records.open())
        return *m_recordTitles;
    const char *charset = records.givesText() ? content::kTextCharset : "";
    for (int k = recordsNamed(); k > 0 && !records.eof(); --k) {
        const Result<content::FieldValue> value = records.fields("m1");
        m_recordTitles->push_back(value && value->has_value() ? navigation::pageTitle(**value, charset)
                                                              : std::string());
        if (!records.moveNext())
            break;
    }
    (void)records.close();
    return *m_recordTitles;
}

} // namespace velmora::mainwindow
