#include "controls/shellopen.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace velmora::controls {

void shellOpen(const std::filesystem::path &file)
{
    const QFileInfo info(QString::fromStdString(file.string()));
    if (!info.isFile())
        return;
    if (info.isExecutable()) {
        // The program keeps the reader's working directory, not its own folder.
        QProcess::startDetached(info.absoluteFilePath(), {}, QDir::currentPath());
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}

} // namespace velmora::controls
