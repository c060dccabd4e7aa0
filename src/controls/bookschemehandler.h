// Serves the files of the installation folder to the browser view through the program's
// own URL scheme, read from disk at the moment each request arrives (large files other
// than pages from then on, as the page takes them).
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace velmora::controls {

class BookSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    static constexpr const char *kScheme = "velmora";

    // Must run before the QApplication is made: the web engine fixes its schemes at start.
    static void registerScheme();

    // The address of a file on disk: "velmora://book/abs/path". The host names only the
    // site the page belongs to (all pages of one site share a renderer process);
    // `site` above 0 gives another one ("velmora://book2/abs/path"), for the same file.
    static QUrl urlForFile(const std::filesystem::path &file, int site = 0);
    static QString hostOfSite(int site);

    // The MIME type of the reply for `fileName` holding `data`. A page whose encoding the
    // program knows, having written it (`charset`), is marked so; pages that declare no
    // character set (no byte-order mark, no <meta charset>) are marked GBK, the encoding
    // the book's pages were written in.
    static QByteArray mimeTypeFor(const QString &fileName, const QByteArray &data,
                                  const QByteArray &charset = {});

    explicit BookSchemeHandler(std::filesystem::path root, QObject *parent = nullptr);

    const std::filesystem::path &root() const { return m_root; }

    // What the program knows of a file of the installation that it wrote itself.
    struct WrittenPage {
        // Served in place of the file (a page that could not be written to its file is
        // still shown at that file's address).
        std::optional<std::string> document;
        // The encoding the program wrote the page's text in; empty: as the page declares.
        QByteArray charset;
    };
    // Asked first for every address inside the installation; an empty WrittenPage lets
    // the file on disk be read as it declares itself.
    using PageSource = std::function<WrittenPage(const std::filesystem::path &file)>;
    void setPageSource(PageSource source) { m_pageSource = std::move(source); }

    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    std::filesystem::path m_root;
    PageSource m_pageSource;
};

} // namespace velmora::controls
