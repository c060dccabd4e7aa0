// A made-up installation folder in a temporary directory, for the tests of the loader,
// the main window and the executable: the content database (written by our Jet 4
// writer), the fixed pages and the button movies (written by our movie writer).
#pragma once

#include "content/jetwriter.h"

#include <QColor>
#include <QString>
#include <QTemporaryDir>

#include <filesystem>
#include <string>
#include <vector>

namespace velmora::testing {

struct InstallOptions {
    bool database = true;
    std::string password = "64tolvaner82";
    std::string table = "b1";
    int records = 26;
    // The documents of the first records, in place of recordDocument(k).
    std::vector<std::string> recordDocuments{};
    content::FieldType fieldType = content::FieldType::LongBinary;
    bool pages = true;
    bool movies = true;
};

class InstallFolder {
public:
    explicit InstallFolder(const InstallOptions &options = {});

    bool isValid() const { return m_dir.isValid(); }
    // The application path: no trailing separator.
    QString path() const { return m_dir.path(); }
    std::filesystem::path root() const { return std::filesystem::path(m_dir.path().toStdString()); }

    // Writes `bytes` to `relative` ('/'-separated), making the folders on the way.
    void writeFile(const std::string &relative, const std::string &bytes) const;
    void remove(const std::string &relative) const;

    // The document of record k of the test database, and of the fixed page `name`.
    static std::string recordDocument(int k);
    static std::string pageDocument(const std::string &title, const QColor &background);
    // The background colour of the first page "\res\1p.html".
    static QColor firstPageColor() { return QColor(0x33, 0x66, 0xcc); }
    // The background colour of page `page` of the sequence: each fixed page (0 to 7) its
    // own, the record pages white.
    static QColor pageColor(int page);
    // A small movie of `sizePx` that changes every frame (animated) or never.
    static QByteArray movieBytes(QSize sizePx, const QColor &color, bool animated);

private:
    QTemporaryDir m_dir;
};

} // namespace velmora::testing
